#include "platform/StartupTrace.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h>

namespace platform {

namespace {

struct Mark {
    const char* phase;
    long long ns;
    long rssKib;
};

struct Trace {
    const char* path = std::getenv("TONEMENDER_STARTUP_TRACE");
    std::array<Mark, 32> marks{};
    std::size_t count = 0;
    bool written = false;
};

Trace& State() {
    static Trace trace;
    return trace;
}

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The resident set from /proc/self/statm (its second field, in pages); -1 when unreadable.
long ResidentKib() {
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) {
        return -1;
    }
    long size = 0;
    long resident = -1;
    if (std::fscanf(file, "%ld %ld", &size, &resident) != 2) {
        resident = -1;
    }
    std::fclose(file);
    return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Field 22 of /proc/self/stat: the start in clock ticks since boot; -1 when unreadable.
long long ProcessStartNs() {
    std::FILE* file = std::fopen("/proc/self/stat", "r");
    if (file == nullptr) {
        return -1;
    }
    char text[1024];
    const std::size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[length] = '\0';
    // The command name is in parentheses and may hold blanks: count fields after its end.
    const char* at = std::strrchr(text, ')');
    if (at == nullptr) {
        return -1;
    }
    long long ticks = -1;
    for (int field = 2; field < 22 && at != nullptr; ++field) {
        at = std::strchr(at + 1, ' ');
    }
    if (at == nullptr || std::sscanf(at + 1, "%lld", &ticks) != 1) {
        return -1;
    }
    return ticks * 1000000000LL / sysconf(_SC_CLK_TCK);
}

} // namespace

bool StartupTraceEnabled() {
    return State().path != nullptr;
}

void MarkStartupPhase(const char* phase) {
    Trace& trace = State();
    if (trace.path == nullptr || trace.written || trace.count == trace.marks.size()) {
        return;
    }
    trace.marks[trace.count++] = Mark{phase, NowNs(), ResidentKib()};
}

void FinishStartupTrace(const char* phase) {
    Trace& trace = State();
    if (trace.path == nullptr || trace.written) {
        return;
    }
    MarkStartupPhase(phase);
    trace.written = true;
    std::FILE* file = std::fopen(trace.path, "w");
    if (file == nullptr) {
        return;
    }
    std::fprintf(file, "process-start %lld -\n", ProcessStartNs());
    for (std::size_t i = 0; i < trace.count; ++i) {
        std::fprintf(file, "%s %lld %ld\n", trace.marks[i].phase, trace.marks[i].ns,
                     trace.marks[i].rssKib);
    }
    std::fclose(file);
}

} // namespace platform
