// The window and flow tests need the application object as the program makes it: titled, with
// its fonts and the general error report installed. It lives for the whole run.

#include "app/Application.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitialiseApplication();
    // Tests close windows; that must not end the application's event handling.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
