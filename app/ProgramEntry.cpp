#include "app/ProgramEntry.h"

#include "app/Application.h"
#include "app/MessageBox.h"
#include "app/OneInstance.h"
#include "app/TestHooks.h"
#include "app/uMain.h"
#include "config/ExceptionGuard.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QTimer>
#include <memory>

namespace {

// The last safety net: an event handler of Qt's own that calls ours and lets an error through
// still does not end the program.
class TonemenderApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        return GuardedOr(false, [&] { return QApplication::notify(receiver, event); });
    }
};

void RunWindow(OneInstanceRule& rule) {
    // The program reads no command line, and neither does Qt: it gets only a program name.
    int argc = 1;
    char name[] = "tonemender";
    char* argv[] = {name, nullptr};
    TonemenderApplication application(argc, argv);
    InitialiseApplication();

    auto form = std::make_unique<TOEM_FORM>();
    SetMessageBoxOwner(form.get());
    const TestHooks hooks = ReadTestHooks();
    TOEM_FORM* window = form.get();
    rule.ListenForLaterStarts([window, hooks](const platform::ActivationRequest& request) {
        Guarded([&] {
            window->BringToFront(request);
            if (hooks.report) {
                ReportWindowState("activated", *window);
            }
        });
    });

    // Asked to end from outside: the window closes as if the user closed it.
    platform::TerminationRequests termination([window] { Guarded([window] { window->close(); }); });

    if (hooks.startMinimized) {
        form->showMinimized();
    } else {
        form->show();
    }
    if (hooks.report) {
        QTimer::singleShot(0, window, [window] { ReportWindowState("ready", *window); });
    }
    if (hooks.closeAfterMs) {
        QTimer::singleShot(*hooks.closeAfterMs, window, [window] { window->close(); });
    }
    QApplication::exec();

    rule.StopListening();
    SetMessageBoxOwner(nullptr);
    form.reset();
}

} // namespace

int RunTonemender() {
    try {
        OneInstanceRule rule;
        if (!rule.Admit()) {
            return 0;
        }
        RunWindow(rule);
    } catch (...) {
        ReportException(std::current_exception());
    }
    return 0;
}
