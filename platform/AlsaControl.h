#pragma once
// A thin owner of one ALSA control device handle and the few things the mixer does with it:
// list the elements, read and write one element, and read change events. Every call may block
// (the pulse plugin talks to its server), so callers bound them (BoundedWorker) or only make the
// non-blocking ones. Errors are negative errno values, as ALSA returns them.

#include "platform/AlsaMixerLayout.h"

#include <memory>
#include <string>
#include <vector>

struct _snd_ctl;

namespace platform {

class AlsaControl {
public:
    static int Open(const std::string& name, bool nonBlocking, std::unique_ptr<AlsaControl>& out);
    ~AlsaControl();
    AlsaControl(const AlsaControl&) = delete;
    AlsaControl& operator=(const AlsaControl&) = delete;

    std::string CardName() const;
    int ListElements(std::vector<AlsaElement>& elements) const;
    int Read(const AlsaControlBinding& binding, std::vector<long>& raw) const;
    int Write(const AlsaControlBinding& binding, const std::vector<long>& raw) const;

    // Change events (on a handle opened non-blocking).
    struct Event {
        std::string name;
        unsigned index = 0;
        bool removed = false;
        bool added = false;
        bool changed = false; // value or description
    };
    int Subscribe() const;
    std::vector<int> ReadableDescriptors() const;
    // 1 with an event, 0 when none is waiting, negative on error.
    int ReadEvent(Event& event) const;

private:
    explicit AlsaControl(_snd_ctl* handle) : handle_(handle) {}
    _snd_ctl* handle_;
};

// Forgets the ALSA configuration read so far, so the next open reads it afresh.
void ReloadAlsaConfiguration();

// The ALSA library's version as a driver version (major.minor in the high and low byte).
DWORD AlsaLibraryVersion();

// ALSA's control plugin for PulseAudio-protocol servers is installed beside the ALSA library, so
// a control named "pulse" can exist at all. Looks at files only; never blocks.
bool AlsaPulsePluginInstalled();

// The numbers of the sound cards present (hw:N). Never blocks.
std::vector<int> AlsaCardNumbers();

} // namespace platform
