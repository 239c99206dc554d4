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
        registry_ =
            std::make_unique<platform::InstanceRegistry>(platform::InstanceIdentifier(program));
    }
}

OneInstanceRule::~OneInstanceRule() {
    StopListening();
    registry_.reset();
}

bool OneInstanceRule::Admit() {
    if (!registry_) {
        return true;
    }
    switch (registry_->Enter()) {
    case platform::InstanceAdmission::Admitted:
        admitted_ = true;
        return true;
    case platform::InstanceAdmission::Unguarded:
        return true;
    case platform::InstanceAdmission::Refused:
        break;
    }
    const platform::InstanceEntry& first = registry_->First();
    if (auto owner = platform::InstanceRegistry::ProcessOwner(first.pid)) {
        platform::RequestActivation(registry_->ActivationSocketPath(*owner),
                                    platform::ActivationRequestFromEnvironment(), kActivationBound);
    }
    return false;
}

void OneInstanceRule::ListenForLaterStarts(
    std::function<void(const platform::ActivationRequest&)> onRequest) {
    // Only the registered instance owns the socket; one that runs unguarded must not take it
    // from an instance it could not see.
    if (!admitted_ || !registry_) {
        return;
    }
    listener_ = std::make_unique<platform::ActivationListener>(std::move(onRequest));
    listener_->Listen(registry_->OwnActivationSocketPath());
}

void OneInstanceRule::StopListening() {
    listener_.reset();
}

void OneInstanceRule::Leave() {
    // In this order: our socket is gone before a later start can be admitted and listen there.
    StopListening();
    if (registry_) {
        registry_->Leave();
    }
}
