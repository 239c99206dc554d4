#pragma once
// The file-version query, as the program's units ask the platform for it: the size of a file's
// version block, the block itself, and the fixed record inside it ("\\"). On this platform
// only the program's own file carries a version: the one compiled into it.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <memory>
#include <optional>
#include <string>

using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;
using PUINT = UINT*;
using LPDWORD = DWORD*;

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
constexpr DWORD VFT_APP = 1;

constexpr WORD HIWORD(DWORD value) {
    return static_cast<WORD>(value >> 16);
}
constexpr WORD LOWORD(DWORD value) {
    return static_cast<WORD>(value & 0xFFFF);
}

// The size of the file's version block, 0 when it has none. handle is set to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
// Copies the version block into data (at most length bytes). FALSE when the file has no
// version block or the buffer is too small for it.
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
// With subBlock "\\": points buffer at the VS_FIXEDFILEINFO inside block and sets length to its
// size. FALSE for any other sub-block and for a block that does not hold a valid record.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);

namespace platform {

class VersionBackend {
public:
    virtual ~VersionBackend() = default;
    // The fixed version record of the file, or nullopt when it carries none.
    virtual std::optional<VS_FIXEDFILEINFO> FixedFileInfo(const std::string& fileName) = 0;
};

BackendSlot<VersionBackend>& VersionSlot();

// The program's own file carries the version the build compiled into it; no other file has one.
std::unique_ptr<VersionBackend> MakeCompiledVersion();

// A fixed record for file version major.minor.release.build.
VS_FIXEDFILEINFO MakeFixedFileInfo(WORD major, WORD minor, WORD release, WORD build);

} // namespace platform
