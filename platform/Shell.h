#pragma once
// Handing a file or a web address to whatever the desktop opens it with, as the program's units
// ask the platform for it. Two things are ever handed over: the registry script, to our own
// importer (the stand-in for "regedit.exe /s <script>"), and web addresses, to the browser.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <chrono>
#include <memory>
#include <string>

using LPCSTR = const char*;
using INT = int;

constexpr INT SW_HIDE = 0;
constexpr INT SW_SHOWNORMAL = 1;
constexpr INT SW_SHOW = 5;

// Results of 32 and below are failures.
constexpr UINT_PTR SE_ERR_FNF = 2;
constexpr UINT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr UINT_PTR SE_ERR_NOASSOC = 31;

// A value above 32 when the file was handed over, else one of the SE_ERR_ codes.
HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT showCommand);

namespace platform {

class ShellBackend {
public:
    virtual ~ShellBackend() = default;
    virtual HINSTANCE Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                              LPCSTR directory, INT showCommand) = 0;
};

BackendSlot<ShellBackend>& ShellSlot();

// The importer is looked for in programDirectory (the running program's own folder by
// default) and waited for up to importerWait; one that takes longer is left to finish and is
// reaped when it does.
std::unique_ptr<ShellBackend> MakeLinuxShell();
std::unique_ptr<ShellBackend> MakeLinuxShell(std::string programDirectory,
                                             std::chrono::milliseconds importerWait);

// The result value of a call that handed the file over.
HINSTANCE ShellSuccess();
// The numeric value of a result, for comparing with 32.
UINT_PTR ShellResultCode(HINSTANCE result);

// The importer's file name, beside the program.
inline constexpr const char* kRegistryImporterName = "tonemender-regimport";

} // namespace platform
