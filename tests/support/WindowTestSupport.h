#pragma once
// What the window tests share: message boxes answered and written down, a main window made
// with the browser and the configuration under the test's control, and pixel helpers.

#include "app/MessageBox.h"
#include "app/uMain.h"
#include "platform/Backend.h"
#include "platform/ModuleResources.h"
#include "platform/Shell.h"
#include "platform/testing/ScriptedModuleResources.h"
#include "platform/testing/ScriptedShell.h"

#include <QImage>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace window_test {

struct MessageBoxCall {
    std::string text;
    std::string caption;
    UINT flags = 0;
    std::thread::id thread;
};

// Answers every message box with answer and writes each one down, for the lifetime of the
// object.
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<MessageBoxCall> Calls() const;

private:
    mutable std::mutex mutex_;
    std::vector<MessageBoxCall> calls_;
    MessageBoxAnswerer previous_;
};

// The program's own resources with some replaced or left out.
std::unique_ptr<platform::testing::ScriptedModuleResources>
ShippedResourcesExcept(const std::vector<std::string>& leftOut,
                       const std::vector<std::pair<std::string, std::string>>& replaced = {});

// The bytes of one of the program's own resources.
std::string ShippedResource(const std::string& name);

// The configuration as a fresh process has it: no document.
void ForgetConfiguration();

// A main window as the program makes it, with a browser that only records and every message
// box answered. The pages it prepared are listed in order.
struct FormUnderTest {
    platform::ScopedBackend<platform::ShellBackend> shell{
        platform::ShellSlot(), std::make_unique<platform::ScriptedShell>()};
    MessageBoxRecorder boxes;
    std::unique_ptr<TOEM_FORM> form;
    std::vector<SmallInt> prepared;

    // make runs after the browser and the message boxes are in place, with no configuration
    // loaded yet.
    explicit FormUnderTest(std::function<std::unique_ptr<TOEM_FORM>()> make = {});
    // Shows the window and waits until it is on screen and has loaded the other pages' pictures.
    void Show();
    platform::ScriptedShell& Shell() { return static_cast<platform::ScriptedShell&>(*shell); }
};

// Pixels as (red, green, blue).
struct Rgb {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
Rgb PixelAt(const QImage& image, int x, int y);

} // namespace window_test
