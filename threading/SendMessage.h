#pragma once
// Messages sent to a window, as the program's units send them: SendMessageA hands a message to
// the window's procedure on the window's thread and returns its result once the procedure has
// run - inline on that thread, otherwise while the sending thread waits (SynchronousCall.h).
//
// A window handle is checked against the live targets before anything is done with it, so a
// stale or made-up handle, or a window that is closing, gives 0 and is never touched.

#include "platform/Win32Types.h"
#include "threading/SynchronousCall.h"

#include <functional>
#include <memory>

constexpr UINT WM_USER = 0x0400;

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

namespace platform {

class MessageTarget {
public:
    using Procedure = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;

    // context: the window's object, on the window's thread; it must outlive the target or the
    // target must be closed first. Errors thrown by the procedure go to onError on that thread.
    MessageTarget(QObject* context, Procedure procedure,
                  SynchronousCaller::ErrorHandler onError = {});
    ~MessageTarget();
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;

    HWND Handle() { return static_cast<HWND>(this); }

    // Carries any other work to the window's thread in the same way, in order with the messages.
    SynchronousCaller& Caller() { return caller_; }

    // The window is closing: later and pending sends return 0 at once.
    void Close();

private:
    SynchronousCaller caller_;
    std::shared_ptr<Procedure> procedure_;
};

} // namespace platform
