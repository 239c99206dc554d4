#include "app/OneInstance.h"

#include "platform/ProgramFile.h"

#include <chrono>

namespace {

// How long a refused start waits for the running instance to answer.
constexpr std::chrono::milliseconds kActivationBound{800};

} // namespace

OneInstanceRule::OneInstanceRule() {
    const std::string program = platform::OwnProgramFile();
    if (!program.empty()) {
        lock_ = std::make_unique<platform::InstanceLock>(platform::InstanceIdentifier(program));
    }
}

OneInstanceRule::~OneInstanceRule() {
    StopListening();
    lock_.reset();
}

bool OneInstanceRule::Admit() {
    if (!lock_) {
        return true;
    }
    switch (lock_->Enter()) {
    case platform::InstanceAdmission::Admitted:
        admitted_ = true;
        return true;
    case platform::InstanceAdmission::Unguarded:
        return true;
    case platform::InstanceAdmission::Refused:
        break;
    }
    const auto first = lock_->First();
    if (auto owner = first ? platform::InstanceLock::ProcessOwner(*first) : std::nullopt) {
        platform::RequestActivation(lock_->ActivationSocketPath(*owner),
                                    platform::ActivationRequestFromEnvironment(), kActivationBound);
    }
    return false;
}

void OneInstanceRule::ListenForLaterStarts(
    std::function<void(const platform::ActivationRequest&)> onRequest) {
    // Only the registered instance owns the socket; one that runs unguarded must not take it
    // from an instance it could not see.
    if (!admitted_ || !lock_) {
        return;
    }
    listener_ = std::make_unique<platform::ActivationListener>(std::move(onRequest));
    listener_->Listen(lock_->OwnActivationSocketPath());
}

void OneInstanceRule::StopListening() {
    listener_.reset();
}

void OneInstanceRule::Leave() {
    // In this order: our socket is gone before a later start can be admitted and listen there.
    StopListening();
    if (lock_) {
        lock_->Leave();
    }
}
