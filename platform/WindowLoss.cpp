#include "platform/WindowLoss.h"

#include <QCoreApplication>
#include <xcb/xcb.h>

namespace platform {

WindowLossWatch::WindowLossWatch(std::function<std::uintptr_t()> windowId,
                                 std::function<void()> onLost)
    : windowId_(std::move(windowId)), onLost_(std::move(onLost)) {
    QCoreApplication::instance()->installNativeEventFilter(this);
}

WindowLossWatch::~WindowLossWatch() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool WindowLossWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    // Only X reports a window destroyed by someone else; elsewhere nobody can do that.
    if (lost_ || eventType != "xcb_generic_event_t" || message == nullptr) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_DESTROY_NOTIFY) {
        return false;
    }
    const auto* destroyed = static_cast<const xcb_destroy_notify_event_t*>(message);
    const std::uintptr_t ours = windowId_ ? windowId_() : 0;
    if (ours == 0 || destroyed->window != ours) {
        return false;
    }
    lost_ = true;
    if (onLost_) {
        onLost_();
    }
    return false; // Qt may see it too
}

} // namespace platform
