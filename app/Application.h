#pragma once
// The application object's part that is ours: its title - the caption of the window and of
// every message box - and what must be in place before the window is made (the program's
// fonts, the general error report).

#include <string>

inline constexpr const char* kApplicationTitle = "Quorvel Tonemender";

// Empty until InitialiseApplication ran.
const std::string& ApplicationTitle();

// Needs the QApplication. Titles the application, makes "Tahoma" available to Qt's widgets and
// installs the general error report.
void InitialiseApplication();
