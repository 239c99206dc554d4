#pragma once
// The window's texts, read from the configuration document by their '#'-separated paths.

#include "config/OEUnitConfig.h"
#include "config/SafeFormat.h"

#include <initializer_list>
#include <string>

inline std::string ReadConfigText(const std::string& path) {
    return ConfigerInstance().ReadText(path, '#');
}

// The text at path filled with args. A missing entry gives the empty text - a window without
// its configuration shows empty texts, not errors - while a template that does not fit its
// arguments raises FormatError.
inline std::string FormatConfigText(const std::string& path,
                                    std::initializer_list<FormatArgument> args) {
    const std::string pattern = ReadConfigText(path);
    return pattern.empty() ? std::string() : SafeFormat(pattern, args);
}
