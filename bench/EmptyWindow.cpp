// The yardstick for the main window's start-up and memory: a Qt 6 window of the same client
// size at the same place, with nothing in it. It does what any Qt program must do before its
// first frame and nothing more, so what the main window costs beyond it is ours.

#include "app/FormLayout.h"

#include <QApplication>
#include <QWidget>

int main() {
    // Started the same way as the program: the program name only.
    int argc = 1;
    char name[] = "bench_empty_window";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);

    QWidget window;
    window.setWindowTitle(QStringLiteral("Empty window"));
    window.setFixedSize(kFormClientWidth, kFormClientHeight);
    window.move(kFormLeft, kFormTop);
    window.show();
    return QApplication::exec();
}
