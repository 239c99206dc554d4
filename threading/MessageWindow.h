#pragma once
// A hidden window in the Win32 sense: something a platform facility can post messages to from
// any thread, whose procedure then runs on the thread that owns it. It is a QObject living on
// the thread that created it, so its messages are delivered by that thread's Qt event loop.
// Its HWND is its own address; a handle is checked against the live windows before anything is
// posted to it, so a stale or made-up handle is refused rather than followed.

#include "platform/Win32Types.h"

#include <QObject>
#include <functional>

namespace platform {

class MessageWindow : public QObject {
public:
    using Procedure = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
    using Task = std::function<void(MessageWindow& window)>;

    explicit MessageWindow(Procedure procedure);
    ~MessageWindow() override;
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;

    HWND Handle() { return static_cast<HWND>(this); }

    // Queues a message for the window's procedure (PostMessage). False when hwnd is no live
    // window. Messages still queued when the window goes are dropped with it.
    static bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Runs task on the window's thread with the window, unless the window is gone by then; in
    // that case the task is destroyed unrun (on whichever thread destroys the window). False
    // when hwnd is no live window.
    static bool PostTask(HWND hwnd, Task task);

    static bool IsWindow(HWND hwnd);

protected:
    bool event(QEvent* event) override;

private:
    Procedure procedure_;
};

} // namespace platform

// What a window procedure returns for a message it does not handle itself.
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
