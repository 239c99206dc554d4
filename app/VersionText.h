#pragma once
// The running program's file version as the version label shows it: "major.minor.release.build"
// from the fixed version record of the program's own file.

#include <string>

// "0.0.0.0" when the file carries no version record.
std::string OwnFileVersionText();
