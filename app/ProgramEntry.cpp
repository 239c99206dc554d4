#include "app/ProgramEntry.h"

#include "app/Application.h"
#include "app/MessageBox.h"
#include "app/OneInstance.h"
#include "app/PicturePrefetch.h"
#include "app/TestHooks.h"
#include "app/uMain.h"
#include "config/ExceptionGuard.h"
#include "controls/PNGExtra.h"
#include "graphics/FontFiles.h"
#include "graphics/TextRenderer.h"
#include "platform/StartupTrace.h"
#include "platform/TerminationSignals.h"
#include "platform/WindowLoss.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <malloc.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kPictureSizedBlock = 128 * 1024;

// The last safety net: an event handler of Qt's own that calls ours and lets an error through
// still does not end the program.
class TonemenderApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        return GuardedOr(false, [&] { return QApplication::notify(receiver, event); });
    }
};

// For the start-up trace: the window's first paint event, and the first frame once that paint
// has been flushed to the window system (the next turn of the event loop).
class FirstFrameWatch : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            platform::MarkStartupPhase("first-paint-event");
            QTimer::singleShot(0, this, [] { platform::FinishStartupTrace("first-frame"); });
        }
        return false;
    }
};

// fontconfig's set-up, and the files of the faces the welcome page's drawn items use (Tahoma,
// regular and bold) found and opened. Whatever fails here is done again, and reported, where
// the window needs it.
void PrepareFonts() {
    try {
        PrepareProgramFonts();
        for (bool bold : {false, true}) {
            TextStyle style;
            style.bold = bold;
            MeasureFont(style);
        }
    } catch (...) {
    }
}

// The configuration entries of the welcome page's controls with these names.
template <std::size_t Count>
std::vector<std::string> WelcomeEntries(const char* const (&names)[Count]) {
    std::vector<std::string> entries;
    for (const char* name : names) {
        entries.push_back(kWelcomePicturePrefix + std::string(name));
    }
    return entries;
}

void RunWindow(OneInstanceRule& rule) {
    // The program reads no command line, and neither does Qt: it gets only a program name.
    int argc = 1;
    char name[] = "tonemender";
    char* argv[] = {name, nullptr};
    platform::MarkStartupPhase("instance-checked");
    // Both run beside the application object's making (joined however this function is left).
    std::jthread fonts(PrepareFonts);
    TPicturePrefetch prefetch(WelcomeEntries(kWelcomePictures),
                              WelcomeEntries(kWelcomeImageButtons), false);
    TonemenderApplication application(argc, argv);
    platform::MarkStartupPhase("qapplication");
    fonts.join();
    InitialiseApplication();
    platform::MarkStartupPhase("fonts-and-error-report");

    TFormSettings settings;
    settings.Prefetched = &prefetch;
    auto form = std::make_unique<TOEM_FORM>(std::move(settings));
    platform::MarkStartupPhase("window-created");
    std::unique_ptr<FirstFrameWatch> firstFrame;
    if (platform::StartupTraceEnabled()) {
        firstFrame = std::make_unique<FirstFrameWatch>();
        form->installEventFilter(firstFrame.get());
    }
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

    // Closing, the process is as good as gone: a start made meanwhile must get a window.
    window->OnClosing = [&rule] { rule.Leave(); };

    // Asked to end from outside: the window closes as if the user closed it.
    platform::TerminationRequests termination([window] { Guarded([window] { window->close(); }); });

    // A window destroyed by another program: the process ends as if it had been closed, rather
    // than live on without a window and turn away every later start. (Closed on the loop's next
    // round, not from inside the window system's event.)
    const auto closeLostWindow = [window] {
        QTimer::singleShot(0, window, [window] {
            Guarded([window] {
                window->close();
                QApplication::quit();
            });
        });
    };
    auto lossWatch = std::make_unique<platform::WindowLossWatch>(
        [window] { return window->internalWinId(); }, closeLostWindow);

    if (hooks.startMinimized) {
        form->showMinimized();
    } else {
        form->show();
    }
    platform::MarkStartupPhase("shown");
    if (hooks.report) {
        QTimer::singleShot(0, window, [window] { ReportWindowState("ready", *window); });
    }
    if (hooks.closeAfterMs) {
        QTimer::singleShot(*hooks.closeAfterMs, window, [window] { window->close(); });
    }
    if (hooks.startScan) {
        QTimer::singleShot(0, window,
                           [window] { window->XBtnClick(window->OEM_FORM_TAB_0_TTS_0_BTN_0); });
    }
    QApplication::exec();

    rule.Leave();
    lossWatch.reset();
    SetMessageBoxOwner(nullptr);
    form.reset();
}

} // namespace

int RunTonemender() {
    platform::MarkStartupPhase("main");
#ifdef __GLIBC__
    // Blocks of a picture's size are mapped for themselves, so that freeing one - a decoder's
    // pixels once a picture is packed, on whichever thread - gives its memory back. Left to
    // itself, glibc raises this bar to the size of the first such block freed and serves the
    // next ones from a thread's heap, which keeps them resident for the window's whole life.
    mallopt(M_MMAP_THRESHOLD, kPictureSizedBlock);
#endif
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
