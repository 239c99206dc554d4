#include "platform/Shell.h"

namespace platform {

BackendSlot<ShellBackend>& ShellSlot() {
    static BackendSlot<ShellBackend> slot([] { return MakeLinuxShell(); });
    return slot;
}

HINSTANCE ShellSuccess() {
    return reinterpret_cast<HINSTANCE>(static_cast<UINT_PTR>(42));
}

UINT_PTR ShellResultCode(HINSTANCE result) {
    return reinterpret_cast<UINT_PTR>(result);
}

} // namespace platform

HINSTANCE ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                        LPCSTR directory, INT showCommand) {
    return platform::ShellSlot().Get().Execute(owner, operation, file, parameters, directory,
                                               showCommand);
}
