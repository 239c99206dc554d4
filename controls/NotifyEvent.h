#pragma once
// The controls' notification events: a handler bound to its owner, told which control raised
// it (one handler may serve several controls). An event that was never assigned is not raised.

#include <functional>

class QObject;

using TNotifyEvent = std::function<void(QObject* Sender)>;

#include <Qt>

// Mouse events: which button, the modifier keys held, and the pointer in client coordinates.
using TMouseEvent = std::function<void(QObject* Sender, Qt::MouseButton Button,
                                       Qt::KeyboardModifiers Shift, int X, int Y)>;
using TMouseMoveEvent =
    std::function<void(QObject* Sender, Qt::KeyboardModifiers Shift, int X, int Y)>;
