#include "threading/MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <cstdio>
#include <exception>
#include <mutex>
#include <set>
#include <utility>

namespace platform {

namespace {

// The live windows. Posting happens under this lock and a window leaves the set before its
// QObject part goes, so nothing is ever posted to a window that is being destroyed; whatever
// was posted before is removed from the queue by QObject's destructor.
std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<const void*>& Registry() {
    static std::set<const void*> windows;
    return windows;
}

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
const QEvent::Type kTaskEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class MessageEvent : public QEvent {
public:
    MessageEvent(UINT message, WPARAM wParam, LPARAM lParam)
        : QEvent(kMessageEvent), message(message), wParam(wParam), lParam(lParam) {}
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

class TaskEvent : public QEvent {
public:
    explicit TaskEvent(MessageWindow::Task task) : QEvent(kTaskEvent), task(std::move(task)) {}
    MessageWindow::Task task;
};

bool PostLocked(HWND hwnd, QEvent* event) {
    std::lock_guard lock(RegistryMutex());
    if (hwnd == nullptr || Registry().count(hwnd) == 0) {
        delete event;
        return false;
    }
    QCoreApplication::postEvent(static_cast<MessageWindow*>(hwnd), event);
    return true;
}

} // namespace

MessageWindow::MessageWindow(Procedure procedure) : procedure_(std::move(procedure)) {
    std::lock_guard lock(RegistryMutex());
    Registry().insert(static_cast<const void*>(this));
}

MessageWindow::~MessageWindow() {
    std::lock_guard lock(RegistryMutex());
    Registry().erase(static_cast<const void*>(this));
}

bool MessageWindow::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostLocked(hwnd, new MessageEvent(message, wParam, lParam));
}

bool MessageWindow::PostTask(HWND hwnd, Task task) {
    return PostLocked(hwnd, new TaskEvent(std::move(task)));
}

bool MessageWindow::IsWindow(HWND hwnd) {
    std::lock_guard lock(RegistryMutex());
    return hwnd != nullptr && Registry().count(hwnd) != 0;
}

bool MessageWindow::event(QEvent* event) {
    // Nothing may unwind through Qt's event loop; a failing handler is reported and the loop
    // carries on with the next message.
    try {
        if (event->type() == kMessageEvent) {
            auto* message = static_cast<MessageEvent*>(event);
            if (procedure_) {
                procedure_(message->message, message->wParam, message->lParam);
            }
            return true;
        }
        if (event->type() == kTaskEvent) {
            auto* task = static_cast<TaskEvent*>(event);
            if (task->task) {
                task->task(*this);
            }
            return true;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tonemender: window message handler failed: %s\n", error.what());
        return true;
    }
    return QObject::event(event);
}

} // namespace platform

LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}
