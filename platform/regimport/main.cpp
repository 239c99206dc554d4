// tonemender-regimport SCRIPT: what the program starts where the original started the registry
// editor on its service script.

#include "platform/RegistryImport.h"
#include "platform/Services.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return platform::RunRegistryImport(args, platform::ServiceSlot().Get(), std::cerr);
}
