#include "platform/MixerAlsa.h"

#include "platform/AlsaChangeNotifier.h"
#include "platform/AlsaControl.h"
#include "platform/AlsaMixerLayout.h"
#include "threading/BoundedWorker.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace platform {

namespace {

constexpr const char* kServerControl = "pulse";

struct AlsaDevice {
    std::string controlName;
    bool server = false;
};

bool FileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool ExecutableOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A PulseAudio-protocol server is installed (PulseAudio, or PipeWire's pulse server) or this
// session is configured to reach one. Whether it runs is irrelevant: a server that is down is
// still this machine's mixer, and opening it fails until it is started.
bool SoundServerInstalledOrConfigured() {
    if (!AlsaPulsePluginInstalled()) {
        return false; // ALSA could not reach it; the cards are all there is
    }
    if (!Env("PULSE_SERVER").empty()) {
        return true;
    }
    if (ExecutableOnPath("pulseaudio") || ExecutableOnPath("pipewire-pulse")) {
        return true;
    }
    std::string runtime = Env("PULSE_RUNTIME_PATH");
    if (!runtime.empty() && FileExists(runtime + "/native")) {
        return true;
    }
    std::string xdg = Env("XDG_RUNTIME_DIR");
    return !xdg.empty() && FileExists(xdg + "/pulse/native");
}

std::vector<AlsaDevice> ListDevices() {
    std::vector<AlsaDevice> devices;
    if (SoundServerInstalledOrConfigured()) {
        devices.push_back({kServerControl, true});
    }
    for (int card : AlsaCardNumbers()) {
        devices.push_back({"hw:" + std::to_string(card), false});
    }
    return devices;
}

// Per control device: how many of its calls are stuck past their bound right now.
std::shared_ptr<std::atomic<int>> OverrunsOf(const std::string& controlName) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<std::atomic<int>>> counters;
    std::lock_guard lock(mutex);
    auto& counter = counters[controlName];
    if (!counter) {
        counter = std::make_shared<std::atomic<int>>(0);
    }
    return counter;
}

// The control handle of one open mixer. Only jobs on the session's worker touch it.
struct ControlSlot {
    std::unique_ptr<AlsaControl> control;
};

struct CallResult {
    int error = 0;
    bool reopened = false;
    std::vector<long> raw;
};

// Runs one element read or write. A handle that is missing (an earlier reopen failed) is
// opened first. EIO means the server behind the handle went away: the ALSA configuration is
// read afresh, the handle reopened by name and the call made once more; elements are addressed
// by name, so line and control ids stay as they were.
CallResult ElementCall(ControlSlot& slot, const std::string& name,
                       const AlsaControlBinding& binding, const std::vector<long>* toWrite) {
    CallResult result;
    auto attempt = [&] {
        return toWrite != nullptr ? slot.control->Write(binding, *toWrite)
                                  : slot.control->Read(binding, result.raw);
    };
    if (!slot.control) {
        result.error = AlsaControl::Open(name, false, slot.control);
        if (result.error < 0) {
            return result;
        }
        result.reopened = true;
    }
    result.error = attempt();
    if (result.error == -EIO) {
        slot.control.reset();
        ReloadAlsaConfiguration();
        result.error = AlsaControl::Open(name, false, slot.control);
        if (result.error < 0) {
            return result;
        }
        result.reopened = true;
        result.error = attempt();
    }
    return result;
}

class AlsaSession {
public:
    AlsaSession(std::string controlName, std::chrono::milliseconds bound)
        : name_(std::move(controlName)), bound_(bound), overruns_(OverrunsOf(name_)),
          slot_(std::make_shared<ControlSlot>()),
          worker_(std::make_unique<BoundedWorker>(overruns_)) {}

    ~AlsaSession() {
        // Closed on the worker and bounded like everything else; a close that overruns is left
        // to finish there.
        worker_->Run([slot = std::move(slot_)]() mutable { slot.reset(); }, bound_);
    }

    AlsaSession(const AlsaSession&) = delete;
    AlsaSession& operator=(const AlsaSession&) = delete;

    // Opens the device and lists its elements.
    int Open(std::vector<AlsaElement>& elements, std::string& cardName) {
        struct Listing {
            int error = 0;
            std::vector<AlsaElement> elements;
            std::string cardName;
        };
        auto listing = std::make_shared<Listing>();
        bool done = Run([slot = slot_, listing, name = name_] {
            listing->error = AlsaControl::Open(name, false, slot->control);
            if (listing->error < 0) {
                return;
            }
            listing->cardName = slot->control->CardName();
            listing->error = slot->control->ListElements(listing->elements);
        });
        if (!done) {
            return -ETIMEDOUT;
        }
        elements = std::move(listing->elements);
        cardName = std::move(listing->cardName);
        return listing->error;
    }

    CallResult Read(const AlsaControlBinding& binding) { return Element(binding, nullptr); }

    CallResult Write(const AlsaControlBinding& binding, const std::vector<long>& raw) {
        return Element(binding, &raw);
    }

private:
    CallResult Element(const AlsaControlBinding& binding, const std::vector<long>* raw) {
        auto result = std::make_shared<CallResult>();
        std::optional<std::vector<long>> values;
        if (raw != nullptr) {
            values = *raw;
        }
        bool done = Run([slot = slot_, result, name = name_, binding, values] {
            *result = ElementCall(*slot, name, binding, values ? &*values : nullptr);
        });
        if (!done) {
            return CallResult{-ETIMEDOUT, false, {}};
        }
        return *result;
    }

    // False when the job overran or could not start because an earlier one is still stuck.
    // An overrun job keeps its handle; this session continues with a fresh worker and a
    // handle opened anew on the next call.
    bool Run(std::function<void()> job) {
        if (overruns_->load() > 0) {
            return false;
        }
        if (worker_->Run(std::move(job), bound_)) {
            return true;
        }
        worker_ = std::make_unique<BoundedWorker>(overruns_);
        slot_ = std::make_shared<ControlSlot>();
        return false;
    }

    std::string name_;
    std::chrono::milliseconds bound_;
    std::shared_ptr<std::atomic<int>> overruns_;
    std::shared_ptr<ControlSlot> slot_;
    std::unique_ptr<BoundedWorker> worker_;
};

class AlsaMixerBackend final : public MixerBackend {
public:
    explicit AlsaMixerBackend(std::chrono::milliseconds bound) : bound_(bound) {}

    ~AlsaMixerBackend() override {
        std::map<std::uintptr_t, std::shared_ptr<OpenMixer>> open;
        {
            std::lock_guard lock(mutex_);
            open.swap(open_);
        }
        for (auto& [key, mixer] : open) {
            mixer->Shut();
        }
    }

    UINT DeviceCount() override { return static_cast<UINT>(ListDevices().size()); }

    bool Open(UINT id, HWND window, HMIXER& handle, MixerDevice& device) override {
        std::vector<AlsaDevice> devices = ListDevices();
        if (id >= devices.size()) {
            return false;
        }
        auto mixer = std::make_shared<OpenMixer>();
        mixer->session = std::make_unique<AlsaSession>(devices[id].controlName, bound_);
        std::vector<AlsaElement> elements;
        std::string cardName;
        if (mixer->session->Open(elements, cardName) < 0) {
            return false;
        }
        mixer->layout = std::make_shared<const AlsaMixerLayout>(
            BuildAlsaMixerLayout(elements, devices[id].server, cardName, AlsaLibraryVersion()));
        {
            std::lock_guard lock(mutex_);
            handle = reinterpret_cast<HMIXER>(nextHandle_++);
            open_[reinterpret_cast<std::uintptr_t>(handle)] = mixer;
        }
        mixer->controlName = devices[id].controlName;
        mixer->window = window;
        device = mixer->layout->device;
        return true;
    }

    void Close(HMIXER handle) override {
        std::shared_ptr<OpenMixer> mixer;
        {
            std::lock_guard lock(mutex_);
            auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
            if (it == open_.end()) {
                return;
            }
            mixer = std::move(it->second);
            open_.erase(it);
        }
        mixer->Shut();
    }

    void Watch(HMIXER handle, bool on) override {
        std::shared_ptr<OpenMixer> mixer = FindOpen(handle);
        if (!mixer) {
            return;
        }
        std::lock_guard lock(mixer->mutex);
        if (!mixer->session || mixer->window == nullptr || on == (mixer->notifier != nullptr)) {
            return;
        }
        if (on) {
            mixer->notifier = std::make_unique<AlsaChangeNotifier>(
                mixer->controlName, mixer->window, handle, mixer->layout);
        } else {
            mixer->notifier.reset();
        }
    }

    bool Read(HMIXER handle, DWORD controlId, std::vector<std::int32_t>& values) override {
        const AlsaControlBinding* binding = nullptr;
        auto mixer = Find(handle, controlId, binding);
        if (!mixer) {
            return false;
        }
        CallResult result = mixer->Call([&](AlsaSession& s) { return s.Read(*binding); });
        if (result.error < 0) {
            return false;
        }
        values = HeldFromRaw(*binding, result.raw);
        return true;
    }

    bool Write(HMIXER handle, DWORD controlId, const std::vector<std::int32_t>& values) override {
        const AlsaControlBinding* binding = nullptr;
        auto mixer = Find(handle, controlId, binding);
        if (!mixer || values.size() != binding->heldChannels) {
            return false;
        }
        std::vector<long> raw = RawFromHeld(*binding, values);
        return mixer->Call([&](AlsaSession& s) { return s.Write(*binding, raw); }).error >= 0;
    }

private:
    struct OpenMixer {
        std::shared_ptr<const AlsaMixerLayout> layout;
        std::string controlName;
        HWND window = nullptr; // where notifications go while watched; null for none
        std::mutex mutex;      // one ALSA call at a time per open mixer
        std::unique_ptr<AlsaSession> session;
        std::unique_ptr<AlsaChangeNotifier> notifier; // while watched

        void Shut() {
            std::lock_guard lock(mutex);
            notifier.reset();
            session.reset();
        }

        template <class Op> CallResult Call(Op op) {
            std::lock_guard lock(mutex);
            if (!session) {
                return CallResult{-EBADF, false, {}};
            }
            CallResult result = op(*session);
            if (result.reopened && notifier) {
                // The notification handle was on the server that went away.
                notifier->Restart();
            }
            return result;
        }
    };

    std::shared_ptr<OpenMixer> FindOpen(HMIXER handle) {
        std::lock_guard lock(mutex_);
        auto it = open_.find(reinterpret_cast<std::uintptr_t>(handle));
        return it != open_.end() ? it->second : nullptr;
    }

    // The open mixer behind handle and the binding of one of its controls; null for either
    // missing.
    std::shared_ptr<OpenMixer> Find(HMIXER handle, DWORD controlId,
                                    const AlsaControlBinding*& binding) {
        std::shared_ptr<OpenMixer> mixer = FindOpen(handle);
        binding = mixer ? mixer->layout->BindingOf(controlId) : nullptr;
        return binding != nullptr ? mixer : nullptr;
    }

    std::chrono::milliseconds bound_;
    std::mutex mutex_;
    std::map<std::uintptr_t, std::shared_ptr<OpenMixer>> open_;
    std::uintptr_t nextHandle_ = 0x10000;
};

} // namespace

std::unique_ptr<MixerBackend> MakeAlsaMixerBackend(std::chrono::milliseconds callBound) {
    return std::make_unique<AlsaMixerBackend>(callBound);
}

std::unique_ptr<MixerBackend> MakeAlsaMixerBackend() {
    return MakeAlsaMixerBackend(kAlsaMixerCallBound);
}

BackendSlot<MixerBackend>& MixerBackendSlot() {
    static BackendSlot<MixerBackend> slot(&MakeAlsaMixerBackend);
    return slot;
}

} // namespace platform
