#pragma once
// Writing registry scripts for the tests the way the registry editor writes them.

#include "platform/Win32Types.h"

#include <string>
#include <vector>

namespace service_tests {

// The lines joined with CR LF, each line ended by one.
std::string Lines(const std::vector<std::string>& lines);

// A byte-order mark and the UTF-8 text as UTF-16LE.
std::vector<BYTE> Utf16Script(const std::string& utf8);

// A text as UTF-16LE bytes, with its terminating NUL.
std::vector<BYTE> Utf16Z(const std::string& utf8);

// "name"=hex(type):xx,xx,... wrapped like the registry editor does, with "\" line ends and
// two spaces of indent; type < 0 writes plain "hex:".
std::string HexValueLines(const std::string& quotedName, int type, const std::vector<BYTE>& bytes);

void WriteBytes(const std::string& path, const std::vector<BYTE>& bytes);

} // namespace service_tests
