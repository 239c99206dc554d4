#include "platform/testing/ScriptedShell.h"

namespace platform {

namespace {

std::optional<std::string> Copy(LPCSTR text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

HINSTANCE ScriptedShell::Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                 LPCSTR directory, INT showCommand) {
    std::lock_guard lock(mutex_);
    calls_.push_back(ShellCall{owner, Copy(operation), Copy(file), Copy(parameters),
                               Copy(directory), showCommand});
    return reinterpret_cast<HINSTANCE>(result_);
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
