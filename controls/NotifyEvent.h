#pragma once
// The controls' notification events: a handler bound to its owner, told which control raised
// it (one handler may serve several controls). An event that was never assigned is not raised.

#include <functional>

class QObject;

using TNotifyEvent = std::function<void(QObject* Sender)>;
