#pragma once
// What the flow tests share: the main window made with short waits over the engine's scripted
// platform, its message boxes answered by a script and written down, the engine's
// notifications and the window's messages logged, and the report's rows read back.

#include "app/MessageBox.h"
#include "app/uMain.h"
#include "support/EngineTestSupport.h"

#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace flow_test {

using namespace std::chrono_literals;

struct Box {
    std::string text;
    std::string caption;
    UINT flags = 0;
};

// Answers every message box through a script (by default OK, and No to a question) and writes
// each one down. Only on the window's thread.
class Boxes {
public:
    using Script = std::function<int(const Box& box)>;

    Boxes();
    ~Boxes();
    Boxes(const Boxes&) = delete;
    Boxes& operator=(const Boxes&) = delete;

    void SetScript(Script script) { script_ = std::move(script); }
    const std::vector<Box>& Calls() const { return calls_; }
    std::vector<std::string> Texts() const;
    // While the script runs: the box is "open".
    bool Open() const { return open_; }

private:
    Script script_;
    std::vector<Box> calls_;
    bool open_ = false;
    MessageBoxAnswerer previous_;
};

// The window, writing down what its window procedure handles.
class RecordingForm : public TOEM_FORM {
public:
    using TOEM_FORM::TOEM_FORM;

    std::vector<int> progress;       // each WM_SETPROGRESS's position
    std::vector<std::string> status; // the status line as each WM_SETPROGRESS found it
    std::vector<int> pagesSent;      // each WM_SHOWPAGE's page

    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The engine's notifications as the window receives them, with something to do on the worker
// at a given code (before the window's own handler runs).
class CodeLog {
public:
    std::vector<DWORD> Codes() const;
    bool Has(DWORD code) const;
    int CountOf(DWORD code) const;
    void OnCode(DWORD code, std::function<void()> action);
    // Wraps the window's handler.
    TStateChange Wrap(TStateChange inner);

private:
    mutable std::mutex mutex_;
    std::vector<DWORD> codes_;
    std::vector<std::pair<DWORD, std::function<void()>>> actions_;
};

struct Row {
    std::string title;
    std::string description;
    std::string status;
    std::string outcome;
    const TGraphic* icon = nullptr;
};

struct RigOptions {
    engine_test::WorldOptions world;
    std::chrono::milliseconds hold{0};
    std::chrono::milliseconds walk{0};
    TWorkerFactory startWorker;
};

// A window over the scripted platform. The platform is scripted before the window is made
// (its engine opens the mixer then); the window is shown.
class Rig {
public:
    explicit Rig(RigOptions options = {});
    ~Rig();

    engine_test::ScriptedWorld world;
    Boxes boxes;
    CodeLog codes;
    std::unique_ptr<RecordingForm> form;
    std::vector<SmallInt> prepared;

    void Click(QWidget* button);
    // Clicks the start button, noting how many scans had ended before.
    void ClickStart();
    // Waits until the scan the last start began has ended and the window has shown its end.
    bool WaitForScanEnd(std::chrono::milliseconds timeout = 10s);
    // Start, then wait for the end.
    bool Scan(std::chrono::milliseconds timeout = 10s);

    int ActivePage() const;
    std::vector<Row> Rows() const;
    std::vector<std::string> Titles() const;

private:
    int endsBefore_ = 0;
};

// Runs the notifications on a thread of their own, as the engine's worker would, while the
// window's thread goes on handling its messages; false when they did not all return in time.
struct Note {
    DWORD code = 0;
    std::optional<TSCANRESULT> result; // the payload, for the codes that carry one
};
bool Deliver(TOEM_FORM& form, const std::vector<Note>& notes,
             std::chrono::milliseconds timeout = 10s);

// The processor time the calling thread has used.
std::chrono::nanoseconds ThreadCpuTime();

} // namespace flow_test
