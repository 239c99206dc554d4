#pragma once
// The edge between Qt and our code. Wherever Qt calls into the program (event handlers, paint,
// timers, queued calls) the call runs inside Guarded, so no exception ever unwinds through Qt:
// it goes to the installed reporter - the application's general error report, which shows it
// and lets the program carry on - or, before one is installed, to standard error.

#include <exception>
#include <functional>
#include <string>
#include <utility>

using ExceptionReporter = std::function<void(std::exception_ptr error)>;

// Installs the reporter and hands back the one it replaces (empty: standard error).
ExceptionReporter SetExceptionReporter(ExceptionReporter reporter);

// Hands an error to the reporter. Never throws, whatever the reporter does.
void ReportException(std::exception_ptr error) noexcept;

// The text an error is shown with: the message of a std::exception (ProgramError carries the
// exact text the user sees), a fixed text for anything else.
std::string ExceptionMessage(const std::exception_ptr& error);

// Writes the error's message to standard error, for errors no box is shown for.
void ReportToStandardError(const std::exception_ptr& error) noexcept;

template <class Body> void Guarded(Body&& body) noexcept {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        ReportException(std::current_exception());
    }
}

// The same for a call with a result: fallback when it failed.
template <class Result, class Body> Result GuardedOr(Result fallback, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        ReportException(std::current_exception());
        return fallback;
    }
}

// Steps that each may fail, where one cause tends to fail many in a row (a missing resource
// fails everything loaded from it): every step still runs, but only the first error goes to
// the reporter, when this goes; the later ones go to standard error.
class FirstErrorReport {
public:
    FirstErrorReport() = default;
    // Steps that carry on from earlier ones: when those already reported their first error,
    // every error here goes to standard error.
    explicit FirstErrorReport(bool earlierReported) : earlierReported_(earlierReported) {}
    ~FirstErrorReport();
    FirstErrorReport(const FirstErrorReport&) = delete;
    FirstErrorReport& operator=(const FirstErrorReport&) = delete;

    template <class Body> void Step(Body&& body) noexcept {
        try {
            std::forward<Body>(body)();
        } catch (...) {
            Note(std::current_exception());
        }
    }

    // Whether a step has failed so far.
    bool Failed() const noexcept { return first_ != nullptr; }

private:
    void Note(std::exception_ptr error) noexcept;

    std::exception_ptr first_;
    bool earlierReported_ = false;
};
