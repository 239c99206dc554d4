#pragma once
// Stands in for the diagnosis engine until it joins the window: the same members the window
// uses now (construction, OnStateChange, OnWorkerError, CancelRequested, Idle, destruction).
// It never scans, so it never calls its handlers.

#include "platform/Win32Types.h"

#include <atomic>
#include <exception>
#include <functional>

namespace engine_standin {

struct TSCANRESULT {};

using TStateChange = std::function<void(DWORD Code, TSCANRESULT* Result)>;
using TWorkerError = std::function<void(std::exception_ptr Error)>;

class TOEVolumeFixer {
public:
    TOEVolumeFixer() = default;
    ~TOEVolumeFixer() = default;
    TOEVolumeFixer(const TOEVolumeFixer&) = delete;
    TOEVolumeFixer& operator=(const TOEVolumeFixer&) = delete;

    std::atomic<bool> Idle{true};
    std::atomic<bool> Repaired{false};
    std::atomic<bool> CancelRequested{false};
    TStateChange OnStateChange;
    TWorkerError OnWorkerError;
};

} // namespace engine_standin
