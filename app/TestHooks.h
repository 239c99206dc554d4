#pragma once
// What the tests that start the real program ask of it, through the environment variable
// TONEMENDER_TEST_HOOKS (a comma-separated list); the program never sets it itself.
//   start-minimized  the window is shown minimised
//   report           "ready ..." on standard output once the window is up, and
//                    "activated ..." each time a later start brought it forward
//   close-after=<ms> the window closes itself after that time, as if the user closed it
//   start-scan       the scan starts as soon as the window is up, as if Start were clicked

#include <optional>

class TOEM_FORM;

struct TestHooks {
    bool startMinimized = false;
    bool report = false;
    std::optional<int> closeAfterMs;
    bool startScan = false;
};

TestHooks ReadTestHooks();

// One line describing the window's state, for the report hook.
void ReportWindowState(const char* event, TOEM_FORM& form);
