#include "support/VirtualDesktop.h"

#include "platform/ProcessLaunch.h"

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <thread>

namespace e2e {

using namespace std::chrono_literals;

namespace {

// What a desktop session is made of; checked up front so a machine that lacks one of them
// fails with its name instead of with a puzzling timeout later on.
constexpr const char* kTools[] = {"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import"};

std::vector<WindowId> ParseWindowIds(const std::string& text) {
    std::vector<WindowId> ids;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (!word.empty() && word.find_first_not_of("0123456789") == std::string::npos) {
            ids.push_back(std::stoul(word));
        }
    }
    return ids;
}

} // namespace

VirtualDesktop::~VirtualDesktop() {
    manager_.reset();
    server_.reset();
}

std::vector<std::string> VirtualDesktop::MissingTools() {
    std::vector<std::string> missing;
    for (const char* tool : kTools) {
        if (!platform::FindExecutable(tool)) {
            missing.emplace_back(tool);
        }
    }
    return missing;
}

bool VirtualDesktop::Start(std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = why;
        }
        manager_.reset();
        server_.reset();
        return false;
    };
    if (auto missing = MissingTools(); !missing.empty()) {
        std::string names;
        for (const std::string& name : missing) {
            names += (names.empty() ? "" : ", ") + name;
        }
        return fail("not on PATH: " + names + " (scripts/install-deps.sh installs them)");
    }

    // The server picks a free display number and writes it to the descriptor we name; a fixed
    // -dpi keeps Qt from scaling the window by whatever the server would make up.
    server_ = std::make_unique<window_test::RunningProgram>(
        *platform::FindExecutable("Xvfb"), std::map<std::string, std::string>{},
        std::vector<std::string>{"-displayfd", "1", "-screen", "0", "1024x768x24", "-dpi", "96",
                                 "-nolisten", "tcp"});
    if (!server_->Started()) {
        return fail("Xvfb could not be started");
    }
    // The display number comes on a line of its own; the server's complaints on others.
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (display_.empty() && std::chrono::steady_clock::now() < deadline) {
        auto line = server_->WaitForLine("", 1s);
        if (line && !line->empty() && line->find_first_not_of("0123456789") == std::string::npos) {
            display_ = ":" + *line;
        }
        if (server_->WaitForExit(0ms)) {
            break;
        }
    }
    if (display_.empty()) {
        return fail("Xvfb named no display within 15 s: " + server_->Output());
    }

    manager_ =
        std::make_unique<window_test::RunningProgram>(*platform::FindExecutable("openbox"), Env());
    for (int attempt = 0; attempt < 200; ++attempt) {
        auto probe = Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, 2000);
        if (probe.output.find("window id") != std::string::npos) {
            return true;
        }
        if (manager_->WaitForExit(0ms)) {
            return fail("openbox ended at start: " + manager_->Output());
        }
        std::this_thread::sleep_for(50ms);
    }
    return fail("openbox did not take over the screen within 10 s: " + manager_->Output());
}

testing_support::CommandResult VirtualDesktop::Run(const std::vector<std::string>& argv,
                                                   int timeoutMs) const {
    auto result = testing_support::RunCommand(argv, Env(), timeoutMs);
    if (result.exitCode != 0) {
        lastOutput_ = argv[0] + ": " + result.output;
    }
    return result;
}

std::vector<WindowId> VirtualDesktop::VisibleWindowsOf(pid_t pid, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // No --sync: it would wait without end for a window that never comes.
        auto found = Run({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid)});
        std::vector<WindowId> ids = ParseWindowIds(found.output);
        if (!ids.empty() || std::chrono::steady_clock::now() >= deadline) {
            return ids;
        }
        std::this_thread::sleep_for(100ms);
    }
}

std::optional<WindowId> VirtualDesktop::TransientFor(WindowId window) const {
    auto result = Run({"xprop", "-id", std::to_string(window), "WM_TRANSIENT_FOR"});
    std::smatch m;
    if (result.exitCode == 0 &&
        std::regex_search(result.output, m, std::regex(R"(window id # (0x[0-9a-fA-F]+))"))) {
        return std::stoul(m[1].str(), nullptr, 16);
    }
    return std::nullopt;
}

std::optional<QRect> VirtualDesktop::Geometry(WindowId window) const {
    // xwininfo, not xdotool getwindowgeometry: under a reparenting window manager the latter
    // counts the frame's offset twice and puts the window a title bar too low.
    auto result = Run({"xwininfo", "-id", std::to_string(window)});
    if (result.exitCode != 0) {
        return std::nullopt;
    }
    std::map<std::string, int> values;
    const std::regex entry(
        R"((Absolute upper-left X|Absolute upper-left Y|Width|Height):\s*(-?\d+))");
    for (auto it = std::sregex_iterator(result.output.begin(), result.output.end(), entry);
         it != std::sregex_iterator(); ++it) {
        values[(*it)[1].str()] = std::stoi((*it)[2].str());
    }
    if (values.size() != 4) {
        lastOutput_ = "xwininfo: " + result.output;
        return std::nullopt;
    }
    return QRect(values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
                 values["Height"]);
}

std::optional<std::string> VirtualDesktop::Property(WindowId window,
                                                    const std::string& name) const {
    auto result = Run({"xprop", "-id", std::to_string(window), name});
    // An unset property is "NAME:  not found."; a set one has its type in parentheses.
    if (result.exitCode != 0 || result.output.rfind(name + "(", 0) != 0) {
        lastOutput_ = "xprop: " + result.output;
        return std::nullopt;
    }
    return result.output;
}

bool VirtualDesktop::Click(QPoint at) const {
    // Move first and let the pointer's arrival be seen, as a hand would; mousemove's own --sync
    // can hang when the pointer is already there.
    if (Run({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y())}).exitCode !=
        0) {
        return false;
    }
    std::this_thread::sleep_for(150ms);
    return Run({"xdotool", "click", "1"}).exitCode == 0;
}

bool VirtualDesktop::PressKeys(WindowId window, const std::string& keys) const {
    if (Run({"xdotool", "windowactivate", "--sync", std::to_string(window)}, 5000).exitCode != 0) {
        return false;
    }
    return Run({"xdotool", "key", "--clearmodifiers", keys}).exitCode == 0;
}

QImage VirtualDesktop::Screenshot(const std::string& path) const {
    if (!shots_) {
        shots_ = std::make_unique<testing_support::ScratchDir>("tm-shots");
    }
    const std::string file = path.empty() ? shots_->Path() + "/screen.png" : path;
    if (!path.empty()) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    }
    if (Run({"import", "-window", "root", file}, 20000).exitCode != 0) {
        return {};
    }
    QImage shot(QString::fromStdString(file));
    return shot.convertToFormat(QImage::Format_RGB32);
}

} // namespace e2e
