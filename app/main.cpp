#include "app/ProgramEntry.h"

int main() {
    return RunTonemender();
}
