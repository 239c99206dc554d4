#pragma once
// Every platform interface dispatches to one backend: the Linux one by default, or a scripted
// double that a test installs. A BackendSlot holds the current backend of one interface.
//
// Get() may be called from any thread. Replace() is for tests and is called while nothing else
// uses the interface (before a scan starts, after it ended).

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

namespace platform {

template <class Interface>
class BackendSlot {
public:
    using Factory = std::unique_ptr<Interface> (*)();

    explicit BackendSlot(Factory makeDefault) : makeDefault_(makeDefault) {}

    Interface& Get() {
        Interface* current = current_.load(std::memory_order_acquire);
        if (current != nullptr) {
            return *current;
        }
        std::lock_guard lock(mutex_);
        if (!owned_) {
            owned_ = makeDefault_();
        }
        current_.store(owned_.get(), std::memory_order_release);
        return *owned_;
    }

    // Installs a backend and hands back the previous one; nullptr brings back the default
    // on the next Get().
    std::unique_ptr<Interface> Replace(std::unique_ptr<Interface> next) {
        std::lock_guard lock(mutex_);
        std::unique_ptr<Interface> previous = std::move(owned_);
        owned_ = std::move(next);
        current_.store(owned_.get(), std::memory_order_release);
        return previous;
    }

private:
    Factory makeDefault_;
    std::mutex mutex_;
    std::unique_ptr<Interface> owned_;
    std::atomic<Interface*> current_{nullptr};
};

// Installs a backend for the lifetime of a test scope and restores the previous one after.
template <class Interface>
class ScopedBackend {
public:
    ScopedBackend(BackendSlot<Interface>& slot, std::unique_ptr<Interface> backend)
        : slot_(slot), installed_(backend.get()), previous_(slot.Replace(std::move(backend))) {}
    ~ScopedBackend() { slot_.Replace(std::move(previous_)); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;

    Interface& operator*() const { return *installed_; }
    Interface* operator->() const { return installed_; }

private:
    BackendSlot<Interface>& slot_;
    Interface* installed_;
    std::unique_ptr<Interface> previous_;
};

} // namespace platform
