#include "threading/SendMessage.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

struct LiveTarget {
    std::shared_ptr<SynchronousCaller::Channel> channel;
    std::shared_ptr<MessageTarget::Procedure> procedure;
};

std::mutex& RegistryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<const void*, LiveTarget>& Registry() {
    static std::map<const void*, LiveTarget> targets;
    return targets;
}

} // namespace

MessageTarget::MessageTarget(QObject* context, Procedure procedure,
                             SynchronousCaller::ErrorHandler onError)
    : caller_(context, std::move(onError)),
      procedure_(std::make_shared<Procedure>(std::move(procedure))) {
    std::lock_guard lock(RegistryMutex());
    Registry()[this] = {caller_.SharedChannel(), procedure_};
}

MessageTarget::~MessageTarget() {
    Close();
}

void MessageTarget::Close() {
    {
        std::lock_guard lock(RegistryMutex());
        Registry().erase(this);
    }
    caller_.Close();
}

} // namespace platform

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    platform::LiveTarget target;
    {
        std::lock_guard lock(platform::RegistryMutex());
        auto found = platform::Registry().find(hwnd);
        if (found == platform::Registry().end()) {
            return 0;
        }
        target = found->second;
    }
    // The result travels in a shared cell: a sender let go by a closing window returns before
    // the procedure may have finished writing it.
    auto result = std::make_shared<LRESULT>(0);
    auto procedure = target.procedure;
    bool ran = platform::SynchronousCaller::Call(
        target.channel, [procedure, result, message, wParam, lParam] {
            if (*procedure) {
                *result = (*procedure)(message, wParam, lParam);
            }
        });
    return ran ? *result : 0;
}
