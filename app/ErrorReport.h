#pragma once
// The application's general error report: an error that reaches it is shown in a message box
// with the application title as caption and its message as text, and the program carries on.
// Everything Qt calls in our code runs inside Guarded (config/ExceptionGuard.h), which hands
// its errors here; so does the scan worker's routine.

#include "threading/SynchronousCall.h"

#include <exception>
#include <memory>

// Makes ShowErrorReport the reporter of every guarded call.
void InstallErrorReport();

// On the window's thread: shows the box and returns when the user closed it. On another thread:
// carries the report to the window's thread and waits; with no window to carry it to (none yet,
// or it is closing), and for errors raised while a report is already on screen, the message
// goes to standard error instead.
void ShowErrorReport(std::exception_ptr error);

// The window's channel for reports from other threads (nullptr: none any more).
void SetErrorReportChannel(std::shared_ptr<platform::SynchronousCaller::Channel> channel);
