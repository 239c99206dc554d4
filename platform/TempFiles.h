#pragma once
// Temporary files, as the program's units ask the platform for them: the temporary folder and
// unique file names in it. Every file made here is created exclusively (never through a link
// someone planted) with mode 0600. Its user removes it as soon as it has served; whatever is
// still there when the program ends normally is removed then.

#include "platform/Backend.h"
#include "platform/Win32Types.h"

#include <cstddef>
#include <memory>
#include <string>

constexpr DWORD MAX_PATH = 260;

// Copies the temporary folder, ending in a separator, into buffer and returns its length.
// When the buffer is too small, writes nothing and returns the length it needs, terminator
// included. 0 on failure.
DWORD GetTempPathA(DWORD bufferLength, char* buffer);

// Forms pathName + the first three characters of prefix + hexadecimal digits + ".tmp" in
// tempFileName (MAX_PATH characters). With unique 0 the number is chosen here and the file is
// created, empty, before the name is returned; otherwise the name is only formed. Returns the
// number used, 0 on failure.
UINT GetTempFileNameA(const char* pathName, const char* prefix, UINT unique, char* tempFileName);

namespace platform {

enum class CreateResult { Created, AlreadyExists, Failed };

class TempFileBackend {
public:
    virtual ~TempFileBackend() = default;
    // The temporary folder, ending in '/'.
    virtual std::string TempDirectory() = 0;
    // A number for the unique part of a name; never 0.
    virtual UINT NextUniqueNumber() = 0;
    // Creates path exclusively with mode 0600 and writes data into it. An existing file or
    // link at path is left alone (AlreadyExists). A file made here is removed at program end.
    virtual CreateResult CreateNewFile(const std::string& path, const void* data,
                                       std::size_t size) = 0;
    // Writes data as the whole content of path, creating it (mode 0600) or truncating a
    // regular file; never follows a link at path. False when nothing usable was written; a
    // partial file is not left behind.
    virtual bool ReplaceFile(const std::string& path, const void* data, std::size_t size) = 0;
    // Leaves a file made here in place at program end (a child process may still read it).
    virtual void KeepAfterExit(const std::string& path) = 0;
    // Removes a file made here now, if the name still holds the very file we made (a name
    // someone else reused is theirs), and forgets it. A path not made here is left alone.
    virtual void RemoveFile(const std::string& path) = 0;
};

BackendSlot<TempFileBackend>& TempFileSlot();

// The Linux backend: $TMPDIR when it names a folder, else /tmp.
std::unique_ptr<TempFileBackend> MakeLinuxTempFiles();

// The program's own file operations on top of the backend (not platform names).
inline CreateResult CreateNewFile(const std::string& path, const void* data, std::size_t size) {
    return TempFileSlot().Get().CreateNewFile(path, data, size);
}
inline bool ReplaceFile(const std::string& path, const void* data, std::size_t size) {
    return TempFileSlot().Get().ReplaceFile(path, data, size);
}
inline void KeepAfterExit(const std::string& path) {
    TempFileSlot().Get().KeepAfterExit(path);
}
inline void RemoveFile(const std::string& path) {
    TempFileSlot().Get().RemoveFile(path);
}

} // namespace platform
