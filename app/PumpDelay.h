#pragma once
// Waits while the window goes on handling its messages: clicks, painting and timers carry on,
// and the wait ends when the time is up, measured on a monotonic clock (a wall-clock change or
// a counter wrapping around cannot stretch or cut it). Only on the window's thread.

// Returns at once when Milliseconds is not above 0. True when the whole time was waited; false
// when the application began to quit during the wait, which ends it early (the nested event
// loop cannot run any more then, and waiting on without one would only burn the processor).
bool PumpDelay(float Milliseconds);
