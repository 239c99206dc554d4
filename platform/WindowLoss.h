#pragma once
// Notices when another X client destroys one of our windows (`xdotool windowclose`, a window
// manager that misbehaves). Qt carries on as if the window were still there, so without this
// the program would live on with no window at all - and, as the running instance, turn away
// every later start.

#include <QAbstractNativeEventFilter>
#include <cstdint>
#include <functional>

namespace platform {

class WindowLossWatch final : public QAbstractNativeEventFilter {
public:
    // windowId: the native id of the window as it is now (0 when it has none); asked on each
    // destruction the window system reports, so a window Qt itself made anew is not mistaken
    // for a lost one. onLost runs on the thread of the application's event loop.
    WindowLossWatch(std::function<std::uintptr_t()> windowId, std::function<void()> onLost);
    ~WindowLossWatch() override;
    WindowLossWatch(const WindowLossWatch&) = delete;
    WindowLossWatch& operator=(const WindowLossWatch&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    std::function<std::uintptr_t()> windowId_;
    std::function<void()> onLost_;
    bool lost_ = false;
};

} // namespace platform
