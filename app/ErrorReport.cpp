#include "app/ErrorReport.h"

#include "app/Application.h"
#include "app/MessageBox.h"
#include "config/ExceptionGuard.h"

#include <QCoreApplication>
#include <QThread>
#include <mutex>

namespace {

std::mutex& ChannelMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<platform::SynchronousCaller::Channel>& Channel() {
    static std::shared_ptr<platform::SynchronousCaller::Channel> channel;
    return channel;
}

// Only touched on the window's thread.
bool reportOnScreen = false;

bool OnWindowThread() {
    QCoreApplication* application = QCoreApplication::instance();
    return application != nullptr && QThread::currentThread() == application->thread();
}

void ShowOnWindowThread(const std::exception_ptr& error) {
    // A failure that repeats with every paint would otherwise stack boxes without end, each
    // one's event loop repainting the window under it.
    if (reportOnScreen) {
        ReportToStandardError(error);
        return;
    }
    reportOnScreen = true;
    struct Reset {
        ~Reset() { reportOnScreen = false; }
    } reset;
    ApplicationMessageBox(ExceptionMessage(error), ApplicationTitle(), MB_OK | MB_ICONSTOP);
}

} // namespace

void InstallErrorReport() {
    SetExceptionReporter([](std::exception_ptr error) { ShowErrorReport(error); });
}

void SetErrorReportChannel(std::shared_ptr<platform::SynchronousCaller::Channel> channel) {
    std::lock_guard lock(ChannelMutex());
    Channel() = std::move(channel);
}

void ShowErrorReport(std::exception_ptr error) {
    if (!error) {
        return;
    }
    if (OnWindowThread()) {
        ShowOnWindowThread(error);
        return;
    }
    std::shared_ptr<platform::SynchronousCaller::Channel> channel;
    {
        std::lock_guard lock(ChannelMutex());
        channel = Channel();
    }
    if (!platform::SynchronousCaller::Call(channel, [error] { ShowOnWindowThread(error); })) {
        ReportToStandardError(error);
    }
}
