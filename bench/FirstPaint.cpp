// Start-up to the first painted window, and resident memory once the window is up and idle, of
// a program against a baseline, measured from outside the same way for both: nothing in either
// program knows it is being watched.
//
//   bench_startup [--runs N] [--log FILE] PROGRAM BASELINE
//
// Needs an X display of its own (DISPLAY) with the DAMAGE extension and no other client drawing
// on it. A damage record on the root window reports every drawing operation on the screen; the
// clock runs from just before the program is started until the first operation that draws
// into the program's mapped window. Then, once the process has used no processor time for
// half a second, VmRSS is read from /proc and the program is asked to end (SIGTERM).
// The two programs run in turn, program then baseline, after one warm-up run of each; the
// ratios are taken pair by pair and their median printed, so a machine that slows down or
// speeds up between runs moves both sides of a pair alike.
//
// With --trace-runs N --trace-dir DIR the program then runs N more times on its own with its
// start-up trace asked for (TONEMENDER_STARTUP_TRACE=DIR/trace-K.txt); for each of those runs a
// "traced" line gives when it was started and when its window was first drawn on the screen
// (CLOCK_BOOTTIME, the trace's clock), and once it is idle how its resident set splits over its
// mappings (from /proc/PID/smaps, the total from /proc/PID/smaps_rollup).
//
//   bench_startup [--runs N] [--log FILE] [--trace-runs N --trace-dir DIR] PROGRAM BASELINE

#include "BenchPulse.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <poll.h>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct Options {
    int runs = 7;
    std::string log = "/dev/null";
    int traceRuns = 0;
    std::string traceDir;
    std::string program;
    std::string baseline;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            char* end = nullptr;
            const long runs = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || runs < 1 || runs > 100) {
                return std::nullopt;
            }
            options.runs = static_cast<int>(runs);
        } else if (arg == "--trace-runs" && i + 1 < argc) {
            char* end = nullptr;
            const long runs = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || runs < 0 || runs > 100) {
                return std::nullopt;
            }
            options.traceRuns = static_cast<int>(runs);
        } else if (arg == "--trace-dir" && i + 1 < argc) {
            options.traceDir = argv[++i];
        } else if (arg == "--log" && i + 1 < argc) {
            options.log = argv[++i];
        } else if (!arg.empty() && arg[0] != '-') {
            programs.push_back(arg);
        } else {
            return std::nullopt;
        }
    }
    if (programs.size() != 2 || (options.traceRuns > 0 && options.traceDir.empty())) {
        return std::nullopt;
    }
    options.program = programs[0];
    options.baseline = programs[1];
    return options;
}

struct RunResult {
    bool ok = false;
    std::string error;
    double firstPaintMs = 0;
    long rssKib = 0;
    long anonKib = 0;      // of which the process's own memory (heap, pictures, stacks)
    long fileKib = 0;      // of which mapped files (libraries, fonts)
    bool idle = false;     // the process did settle before its memory was read
    int colours = 0;       // distinct colours in the window right after its first paint
    long long spawnNs = 0; // CLOCK_BOOTTIME just before the fork
    long long paintNs = 0; // CLOCK_BOOTTIME at the first drawing into the window
    std::string mappings;  // traced runs: "group=KiB ..." of the resident set once idle
};

long long BootNs() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

bool EndsWith(const std::string& text, const char* end) {
    const std::size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// Which part of the resident set a mapping is: the program's own file, its heap, Qt's libraries
// and plugins, other shared libraries, fonts (and font caches), anonymous memory (thread stacks,
// large allocations, pixel buffers), other mapped files.
const char* MappingGroup(const std::string& path, const std::string& program) {
    if (path.empty() || path.rfind("[anon", 0) == 0 || path == "[stack]" ||
        path.rfind("[stack:", 0) == 0) {
        return "anonymous";
    }
    if (path == "[heap]") {
        return "heap";
    }
    if (path == program) {
        return "program";
    }
    if (path.find("/libQt6") != std::string::npos ||
        path.find("/qt6/plugins/") != std::string::npos) {
        return "qt";
    }
    if (path.find("/fonts/") != std::string::npos || path.find("fontconfig") != std::string::npos ||
        EndsWith(path, ".ttf") || EndsWith(path, ".ttc") || EndsWith(path, ".otf") ||
        EndsWith(path, ".pfb")) {
        return "fonts";
    }
    if (path.find(".so") != std::string::npos) {
        return "shared";
    }
    return "other";
}

// "total=KiB program=KiB heap=KiB qt=KiB shared=KiB fonts=KiB anonymous=KiB other=KiB"; empty
// when the process's maps cannot be read.
std::string MappingSplit(pid_t pid) {
    const std::string proc = "/proc/" + std::to_string(pid);
    char exe[4096];
    const ssize_t exeLength = readlink((proc + "/exe").c_str(), exe, sizeof exe - 1);
    const std::string program =
        exeLength > 0 ? std::string(exe, static_cast<std::size_t>(exeLength)) : "";
    std::ifstream smaps(proc + "/smaps");
    if (!smaps) {
        return {};
    }
    std::map<std::string, long> groups;
    for (const char* name : {"program", "heap", "qt", "shared", "fonts", "anonymous", "other"}) {
        groups[name] = 0;
    }
    std::string line;
    const char* group = "other";
    while (std::getline(smaps, line)) {
        if (line.rfind("Rss:", 0) == 0) {
            groups[group] += std::atol(line.c_str() + 4);
            continue;
        }
        // A mapping's header: "start-end perms offset dev inode [path]", the address range
        // in lower-case hex; the fields below it are "Name: value".
        const std::size_t dash = line.find('-');
        if (dash == std::string::npos || dash == 0 || line.find(':') < line.find(' ')) {
            continue;
        }
        std::istringstream fields(line);
        std::string range, perms, offset, dev, inode, path;
        fields >> range >> perms >> offset >> dev >> inode;
        std::getline(fields >> std::ws, path);
        if (EndsWith(path, " (deleted)")) {
            path.resize(path.size() - 10);
        }
        group = MappingGroup(path, program);
    }
    long total = 0;
    std::ifstream rollup(proc + "/smaps_rollup");
    while (std::getline(rollup, line)) {
        if (line.rfind("Rss:", 0) == 0) {
            total = std::atol(line.c_str() + 4);
        }
    }
    std::string out = "total=" + std::to_string(total);
    for (const char* name : {"program", "heap", "qt", "shared", "fonts", "anonymous", "other"}) {
        out += std::string(" ") + name + "=" + std::to_string(groups[name]);
    }
    return out;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The processor time the process (all its threads) has used, in clock ticks.
std::optional<long long> CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name is in parentheses and may hold blanks: count fields after its end.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    long long utime = 0, stime = 0;
    // Fields 3 to 13 come before utime (14) and stime (15).
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14) {
            utime = std::atoll(field.c_str());
        } else if (index == 15) {
            stime = std::atoll(field.c_str());
        }
    }
    return utime + stime;
}

// A "Name:   1234 kB" line of /proc/PID/status.
std::optional<long> StatusKib(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::atol(line.c_str() + name.size() + 1);
        }
    }
    return std::nullopt;
}

bool Exited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

void EndProcess(pid_t pid) {
    kill(pid, SIGTERM);
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
        if (Exited(pid)) {
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

class Observer {
public:
    Observer() : display_(XOpenDisplay(nullptr)) {
        if (display_ == nullptr) {
            return;
        }
        // A window that goes between its map and our look at it fails that request; Xlib's
        // default would end the benchmark for it. The failed call returns 0 and is handled.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        int errorBase = 0;
        if (!XDamageQueryExtension(display_, &damageEventBase_, &errorBase)) {
            return;
        }
        root_ = DefaultRootWindow(display_);
        XSelectInput(display_, root_, SubstructureNotifyMask);
        XDamageCreate(display_, root_, XDamageReportRawRectangles);
        XSync(display_, False);
        ready_ = true;
    }
    ~Observer() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    bool Ready() const { return ready_; }

    // trace: where the program writes its start-up trace; empty for a run it does not know of.
    RunResult Run(const std::string& program, const std::string& log,
                  const std::string& trace = {}) {
        RunResult result;
        Drain();
        result.spawnNs = BootNs();
        const auto started = Clock::now();
        const pid_t pid = fork();
        if (pid < 0) {
            result.error = "fork failed";
            return result;
        }
        if (pid == 0) {
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
            const int none = open("/dev/null", O_RDONLY);
            if (out >= 0 && none >= 0) {
                dup2(none, 0);
                dup2(out, 1);
                dup2(out, 2);
            }
            if (!trace.empty()) {
                setenv("TONEMENDER_STARTUP_TRACE", trace.c_str(), 1);
            }
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }

        std::optional<XRectangle> window;
        Window windowId = 0;
        std::optional<Clock::time_point> painted;
        const auto deadline = started + 30s;
        while (!painted && Clock::now() < deadline) {
            pollfd fd{ConnectionNumber(display_), POLLIN, 0};
            poll(&fd, 1, 20);
            while (!painted && XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MapNotify && event.xmap.event == root_) {
                    XWindowAttributes attributes;
                    if (XGetWindowAttributes(display_, event.xmap.window, &attributes)) {
                        window = XRectangle{static_cast<short>(attributes.x),
                                            static_cast<short>(attributes.y),
                                            static_cast<unsigned short>(attributes.width),
                                            static_cast<unsigned short>(attributes.height)};
                        windowId = event.xmap.window;
                    }
                } else if (event.type == damageEventBase_ + XDamageNotify && window) {
                    const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                    if (Overlaps(damage.area, *window)) {
                        painted = Clock::now();
                        result.paintNs = BootNs();
                    }
                }
            }
            if (!painted && Exited(pid)) {
                result.error = "ended before it painted a window";
                return result;
            }
        }
        if (!painted) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            result.error = "no painted window within 30 s";
            return result;
        }
        result.firstPaintMs = std::chrono::duration<double, std::milli>(*painted - started).count();
        result.colours = CountColours(windowId);

        result.idle = WaitUntilIdle(pid);
        if (!trace.empty()) {
            result.mappings = MappingSplit(pid);
        }
        const std::optional<long> rss = StatusKib(pid, "VmRSS");
        result.anonKib = StatusKib(pid, "RssAnon").value_or(0);
        result.fileKib = StatusKib(pid, "RssFile").value_or(0);
        EndProcess(pid);
        if (!rss) {
            result.error = "no VmRSS";
            return result;
        }
        result.rssKib = *rss;
        result.ok = true;
        return result;
    }

private:
    static bool Overlaps(const XRectangle& a, const XRectangle& b) {
        return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
               b.y < a.y + a.height;
    }

    // Everything left from the run before (its window going away) is not this run's.
    void Drain() {
        XSync(display_, False);
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }

    // Up to 4096 distinct colours; a first frame of one colour is an empty window.
    int CountColours(Window window) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display_, window, &attributes)) {
            return 0;
        }
        XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                                  static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
        if (image == nullptr) {
            return 0;
        }
        std::set<unsigned long> colours;
        for (int y = 0; y < image->height && colours.size() < 4096; ++y) {
            for (int x = 0; x < image->width; ++x) {
                colours.insert(XGetPixel(image, x, y));
            }
        }
        XDestroyImage(image);
        return static_cast<int>(colours.size());
    }

    // Settled: no processor time used over half a second. A process that keeps busy is read
    // after 5 s all the same, and the result says so.
    static bool WaitUntilIdle(pid_t pid) {
        std::optional<long long> last = CpuTicks(pid);
        int quiet = 0;
        const auto deadline = Clock::now() + 5s;
        while (Clock::now() < deadline) {
            std::this_thread::sleep_for(100ms);
            const std::optional<long long> now = CpuTicks(pid);
            if (!now) {
                return false;
            }
            quiet = (last && *now == *last) ? quiet + 1 : 0;
            last = now;
            if (quiet >= 5) {
                return true;
            }
        }
        return false;
    }

    Display* display_ = nullptr;
    Window root_ = 0;
    int damageEventBase_ = 0;
    bool ready_ = false;
};

void PrintRun(int index, const char* side, const RunResult& run) {
    if (!run.ok) {
        std::printf("run %d %s failed: %s\n", index, side, run.error.c_str());
    } else {
        std::printf("run %d %s first_paint_ms=%.1f rss_kib=%ld anon_kib=%ld file_kib=%ld "
                    "colours=%d%s\n",
                    index, side, run.firstPaintMs, run.rssKib, run.anonKib, run.fileKib,
                    run.colours, run.idle ? "" : " (not idle)");
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(
            stderr, "usage: bench_startup [--runs N] [--log FILE] [--trace-runs N --trace-dir DIR] "
                    "PROGRAM BASELINE\n");
        return 2;
    }
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "bench_startup: no DISPLAY\n");
        return 2;
    }
    // Both programs open the mixer's sound server on start; they get the same private one.
    BenchPulse pulse("bench_startup");
    if (!pulse.Ready()) {
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);

    Observer observer;
    if (!observer.Ready()) {
        std::fprintf(stderr, "bench_startup: cannot open the display, or it lacks DAMAGE\n");
        return 2;
    }

    // The first start of each fills the caches (files, fonts) the later ones find filled.
    PrintRun(0, "program", observer.Run(options->program, options->log));
    PrintRun(0, "baseline", observer.Run(options->baseline, options->log));

    std::vector<double> paintProgram, paintBaseline, paintRatio;
    std::vector<double> rssProgram, rssBaseline, rssRatio;
    std::vector<double> anonProgram, anonBaseline, fileProgram, fileBaseline;
    int failures = 0;
    for (int i = 1; i <= options->runs; ++i) {
        const RunResult program = observer.Run(options->program, options->log);
        PrintRun(i, "program", program);
        const RunResult baseline = observer.Run(options->baseline, options->log);
        PrintRun(i, "baseline", baseline);
        if (!program.ok || !baseline.ok) {
            ++failures;
            continue;
        }
        paintProgram.push_back(program.firstPaintMs);
        paintBaseline.push_back(baseline.firstPaintMs);
        paintRatio.push_back(program.firstPaintMs / baseline.firstPaintMs);
        rssProgram.push_back(static_cast<double>(program.rssKib));
        rssBaseline.push_back(static_cast<double>(baseline.rssKib));
        rssRatio.push_back(static_cast<double>(program.rssKib) /
                           static_cast<double>(baseline.rssKib));
        anonProgram.push_back(static_cast<double>(program.anonKib));
        anonBaseline.push_back(static_cast<double>(baseline.anonKib));
        fileProgram.push_back(static_cast<double>(program.fileKib));
        fileBaseline.push_back(static_cast<double>(baseline.fileKib));
    }
    if (paintRatio.empty()) {
        std::fprintf(stderr, "bench_startup: no run pair succeeded\n");
        return 1;
    }
    for (int i = 1; i <= options->traceRuns; ++i) {
        const std::string trace = options->traceDir + "/trace-" + std::to_string(i) + ".txt";
        std::remove(trace.c_str());
        const RunResult run = observer.Run(options->program, options->log, trace);
        if (!run.ok) {
            std::printf("traced run %d failed: %s\n", i, run.error.c_str());
            ++failures;
            continue;
        }
        std::printf("traced run=%d trace=%s spawn_ns=%lld paint_ns=%lld idle=%d %s\n", i,
                    trace.c_str(), run.spawnNs, run.paintNs, run.idle ? 1 : 0,
                    run.mappings.c_str());
        std::fflush(stdout);
    }
    std::printf("first_paint_ms program=%.1f baseline=%.1f ratio=%.3f pairs=%zu\n",
                Median(paintProgram), Median(paintBaseline), Median(paintRatio), paintRatio.size());
    std::printf("rss_kib program=%.0f baseline=%.0f ratio=%.3f pairs=%zu\n", Median(rssProgram),
                Median(rssBaseline), Median(rssRatio), rssRatio.size());
    std::printf("rss_parts_kib program_anon=%.0f program_file=%.0f baseline_anon=%.0f "
                "baseline_file=%.0f\n",
                Median(anonProgram), Median(fileProgram), Median(anonBaseline),
                Median(fileBaseline));
    return failures == 0 ? 0 : 1;
}
