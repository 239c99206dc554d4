#include "config/ExceptionGuard.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex& ReporterMutex() {
    static std::mutex mutex;
    return mutex;
}

ExceptionReporter& Reporter() {
    static ExceptionReporter reporter;
    return reporter;
}

} // namespace

void ReportToStandardError(const std::exception_ptr& error) noexcept {
    try {
        std::fprintf(stderr, "tonemender: %s\n", ExceptionMessage(error).c_str());
    } catch (...) {
        std::fputs("tonemender: an error could not be reported\n", stderr);
    }
}

ExceptionReporter SetExceptionReporter(ExceptionReporter reporter) {
    std::lock_guard lock(ReporterMutex());
    std::swap(Reporter(), reporter);
    return reporter;
}

std::string ExceptionMessage(const std::exception_ptr& error) {
    if (!error) {
        return "";
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown error";
    }
}

void ReportException(std::exception_ptr error) noexcept {
    ExceptionReporter reporter;
    {
        std::lock_guard lock(ReporterMutex());
        reporter = Reporter();
    }
    if (!reporter) {
        ReportToStandardError(error);
        return;
    }
    try {
        reporter(error);
    } catch (...) {
        // The report itself failed (no memory for a message box, say): the error still must
        // not be lost.
        ReportToStandardError(error);
    }
}

FirstErrorReport::~FirstErrorReport() {
    if (first_) {
        ReportException(first_);
    }
}

void FirstErrorReport::Note(std::exception_ptr error) noexcept {
    if (first_ || earlierReported_) {
        ReportToStandardError(error);
    } else {
        first_ = std::move(error);
    }
}
