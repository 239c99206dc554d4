#pragma once
// A shell that opens nothing: it records every call and answers as scripted.

#include "platform/Shell.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ShellCall {
    HWND owner = nullptr;
    // nullopt where the caller passed a null pointer.
    std::optional<std::string> operation;
    std::optional<std::string> file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    INT showCommand = 0;
};

class ScriptedShell : public ShellBackend {
public:
    HINSTANCE Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                      LPCSTR directory, INT showCommand) override;

    // The value every call returns; above 32 is success.
    void SetResult(UINT_PTR result);
    // Runs during each call, before it returns, as the program handed over would.
    void OnCall(std::function<void(const ShellCall&)> action);
    std::vector<ShellCall> Calls() const;

private:
    mutable std::mutex mutex_;
    UINT_PTR result_ = 42;
    std::function<void(const ShellCall&)> onCall_;
    std::vector<ShellCall> calls_;
};

} // namespace platform
