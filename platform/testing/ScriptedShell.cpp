#include "platform/testing/ScriptedShell.h"

namespace platform {

namespace {

std::optional<std::string> Copy(LPCSTR text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

HINSTANCE ScriptedShell::Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                 LPCSTR directory, INT showCommand) {
    ShellCall call{owner,           Copy(operation), Copy(file), Copy(parameters),
                   Copy(directory), showCommand};
    std::function<void(const ShellCall&)> action;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        action = onCall_;
    }
    if (action) {
        action(call);
    }
    std::lock_guard lock(mutex_);
    return reinterpret_cast<HINSTANCE>(result_);
}

void ScriptedShell::OnCall(std::function<void(const ShellCall&)> action) {
    std::lock_guard lock(mutex_);
    onCall_ = std::move(action);
}

void ScriptedShell::SetResult(UINT_PTR result) {
    std::lock_guard lock(mutex_);
    result_ = result;
}

std::vector<ShellCall> ScriptedShell::Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

} // namespace platform
