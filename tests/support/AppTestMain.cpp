// The window and flow tests need the application object as the program makes it: titled, with
// its fonts and the general error report installed. It lives for the whole run.

#include "app/Application.h"

#include <QApplication>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace {

// Under ThreadSanitizer only. QtGui blends large pictures in parts on Qt's global thread pool,
// and the pool's workers keep their shared queue behind Qt's own futex locks, which the
// sanitiser cannot see: with two or more workers it reports the workers racing on that queue,
// more often the more processors the machine has. One worker that never expires keeps the
// blending on the pool (so the hand-over between the window's thread and the pool is still
// exercised) without two pool threads ever touching the queue.
void KeepQtsPoolToOneWorker() {
#if defined(__SANITIZE_THREAD__)
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
#endif
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    InitialiseApplication();
    KeepQtsPoolToOneWorker();
    // Tests close windows; that must not end the application's event handling.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
