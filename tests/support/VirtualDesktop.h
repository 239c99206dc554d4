#pragma once
// A desktop of the test's own: an Xvfb server on a display number it picks itself (so parallel
// tests never share one), openbox managing the windows, and the X tools a person's hands and
// eyes become - xdotool to find windows and click, xprop and xwininfo to ask whose a window is
// and where, ImageMagick's import to take a screenshot. Everything it starts ends with it.

#include "support/Command.h"
#include "support/RunningProgram.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

using WindowId = unsigned long;

class VirtualDesktop {
public:
    VirtualDesktop() = default;
    ~VirtualDesktop(); // ends openbox, then the server
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    // The programs a desktop needs that are not on PATH; empty when all are there.
    static std::vector<std::string> MissingTools();

    // Starts the server and the window manager and waits (up to 20 s) until openbox manages
    // the screen. On failure returns false and says why in *error.
    bool Start(std::string* error);

    // DISPLAY for programs meant to show up on this desktop.
    std::map<std::string, std::string> Env() const { return {{"DISPLAY", display_}}; }

    // The mapped windows a process owns (by _NET_WM_PID); waits up to timeoutMs for at least one.
    std::vector<WindowId> VisibleWindowsOf(pid_t pid, int timeoutMs) const;
    // The window a dialog says it belongs to (WM_TRANSIENT_FOR), if it says so.
    std::optional<WindowId> TransientFor(WindowId window) const;
    // The window's client area in screen coordinates, the window manager's frame left out.
    std::optional<QRect> Geometry(WindowId window) const;
    // One property of the window as xprop prints it ("NAME(TYPE) = value"), if it is set.
    std::optional<std::string> Property(WindowId window, const std::string& name) const;

    // Moves the pointer to a point of the screen and clicks the left button there.
    bool Click(QPoint at) const;
    // Brings the window forward with the keyboard focus and presses keys ("alt+F4").
    bool PressKeys(WindowId window, const std::string& keys) const;

    // The whole screen, as a person sees it; also written to path when path is not empty.
    // A null image when the screenshot could not be taken.
    QImage Screenshot(const std::string& path = {}) const;

    // The last tool's output when something above failed, for the failure message.
    const std::string& LastOutput() const { return lastOutput_; }

private:
    testing_support::CommandResult Run(const std::vector<std::string>& argv,
                                       int timeoutMs = 10000) const;

    std::unique_ptr<window_test::RunningProgram> server_;
    std::unique_ptr<window_test::RunningProgram> manager_;
    std::string display_;
    mutable std::unique_ptr<testing_support::ScratchDir> shots_; // for screenshots not kept
    mutable std::string lastOutput_;
};

} // namespace e2e
