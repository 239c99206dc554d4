#pragma once
// The engine's platform, scripted: a test sound, a mixer device with a destination and one
// source line, the audio service, the device library, the shell and the temporary folder, each
// a double a test can script, make fail or make hang. Plus a log of the notifications as the
// window would receive them.

#include "engine/OEUnitVolumeFixer.h"
#include "platform/Library.h"
#include "platform/Mixer.h"
#include "platform/Services.h"
#include "platform/Shell.h"
#include "platform/TempFiles.h"
#include "platform/testing/ScriptedLibrary.h"
#include "platform/testing/ScriptedMixer.h"
#include "platform/testing/ScriptedServices.h"
#include "platform/testing/ScriptedShell.h"
#include "platform/testing/ScriptedSound.h"
#include "platform/testing/ScriptedSoundDevices.h"
#include "platform/testing/ScriptedStall.h"
#include "support/Command.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace engine_test {

using namespace std::chrono_literals;

// What the doubles were asked to do, across all of them, in order: "sound", "mixer open",
// "mixer set <control id> <values>", "service start", "shell <file> <parameters>".
class Timeline {
public:
    void Add(std::string entry);
    std::vector<std::string> Entries() const;
    // Position of the first / last entry starting with prefix; -1 when there is none.
    int First(const std::string& prefix) const;
    int Last(const std::string& prefix) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
};

// The scripted mixer behind a switch that makes opening and reading hang (until released, or
// until the bound after which the real backend gives up and fails the call).
class StallingMixer final : public platform::MixerBackend {
public:
    StallingMixer(platform::ScriptedMixer& inner, Timeline& timeline)
        : inner_(inner), timeline_(timeline) {}

    // Armed, calls hang until released or bound; once one has overrun, the others fail at once
    // (as the real backend refuses calls while one is still stuck) until the stall is disarmed.
    platform::testing::ScriptedStall stall;
    std::chrono::milliseconds bound{2500};

    UINT DeviceCount() override { return inner_.DeviceCount(); }
    bool Open(UINT id, HWND window, HMIXER& handle, platform::MixerDevice& device) override;
    void Close(HMIXER handle) override { inner_.Close(handle); }
    void Watch(HMIXER handle, bool on) override { inner_.Watch(handle, on); }
    bool Read(HMIXER handle, DWORD controlId, std::vector<std::int32_t>& values) override;
    bool Write(HMIXER handle, DWORD controlId, const std::vector<std::int32_t>& values) override;

private:
    bool Passes();

    platform::ScriptedMixer& inner_;
    Timeline& timeline_;
    std::atomic<bool> stuck_{false};
};

// The scripted service manager behind a switch that makes status queries hang.
class StallingServices final : public platform::ServiceBackend {
public:
    StallingServices(platform::ScriptedServices& inner, Timeline& timeline)
        : inner_(inner), timeline_(timeline) {}

    platform::testing::ScriptedStall stall;
    std::chrono::milliseconds bound{2000};

    SC_HANDLE OpenManager(LPCSTR machine, LPCSTR database, DWORD access) override {
        return inner_.OpenManager(machine, database, access);
    }
    SC_HANDLE OpenService(SC_HANDLE manager, LPCSTR name, DWORD access) override {
        return inner_.OpenService(manager, name, access);
    }
    BOOL QueryStatus(SC_HANDLE service, SERVICE_STATUS* status) override;
    BOOL ChangeStartType(SC_HANDLE service, DWORD startType) override {
        return inner_.ChangeStartType(service, startType);
    }
    BOOL Start(SC_HANDLE service) override;
    BOOL Close(SC_HANDLE handle) override { return inner_.Close(handle); }
    platform::ServiceRestoreResult RestoreService(const std::string& name) override {
        return inner_.RestoreService(name);
    }

private:
    platform::ScriptedServices& inner_;
    Timeline& timeline_;
};

class RecordingShell final : public platform::ScriptedShell {
public:
    explicit RecordingShell(Timeline& timeline) : timeline_(timeline) {}
    HINSTANCE Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                      LPCSTR directory, INT showCommand) override;

private:
    Timeline& timeline_;
};

// A device the scripted library reports.
struct FakeDevice {
    std::u16string text;
    std::u16string hardwareIds;
    DWORD flags = 0;
};

struct WorldOptions {
    bool mixer = true;   // mixer device 0 exists
    bool library = true; // tmaudiomanager.dll can be loaded
    bool service = true; // "AudioSrv" exists (and runs)
};

// A sound server with nothing wrong: one card playing through its speakers, the default sink,
// one stream on it.
platform::SoundServerState HealthyDevices();

// Installs every double for its lifetime; create the engine after it.
class ScriptedWorld {
    std::vector<std::function<void()>> restore_; // first: the doubles below are installed into it

public:
    explicit ScriptedWorld(WorldOptions options = {});
    ~ScriptedWorld();
    ScriptedWorld(const ScriptedWorld&) = delete;
    ScriptedWorld& operator=(const ScriptedWorld&) = delete;

    // Device 0's "Speakers" destination and its "Wave" source, each with a stereo volume and
    // a mute control.
    void SetLine(DWORD volumeControl, DWORD muteControl, LONG volume, LONG mute);
    LONG Volume(DWORD volumeControl) const;
    LONG Mute(DWORD muteControl) const;

    // The audio service as the scan and the repair will find it (running unless changed).
    platform::ScriptedService& AudioSrv(platform::ScriptedService service = {});

    // What the scripted library reports during the next device check; the ids containing
    // "HDAUDIO" are the ones its driver data knows.
    static void SetDevices(std::vector<FakeDevice> devices);

    Timeline timeline;
    testing_support::ScratchDir tempFolder{"tm-engine"};
    platform::ScriptedMixer mixer;
    platform::ScriptedServices services;

    // Installed in the platform's slots, which own them.
    platform::testing::ScriptedSound& sound;
    StallingMixer& stallingMixer;
    StallingServices& stallingServices;
    platform::ScriptedLibrary& library;
    RecordingShell& shell;
    // A server with one card playing through its plugged-in speakers (HealthyDevices()).
    platform::testing::ScriptedSoundDevices& soundDevices;

    DWORD masterVolume = 0, masterMute = 0, sourceVolume = 0, sourceMute = 0;
};

// The notifications as the window receives them, recorded on the worker thread.
class NotificationLog {
public:
    struct Note {
        DWORD code = 0;
        bool carriesResult = false; // the payload is the engine's own ScanResult
        bool nullPayload = false;
        bool idle = false;
        bool cancelRequested = false;
        TSCANRESULT result; // a copy of the payload, when there is one
    };

    // A handler for engine.OnStateChange; react (if given) runs after recording, inside the
    // handler, on the worker thread.
    TStateChange Handler(TOEVolumeFixer& engine, std::function<void(DWORD code)> react = {});

    std::vector<DWORD> Codes() const;
    std::vector<Note> Notes() const;
    // Waits until code has been received `times` times in all.
    bool WaitFor(DWORD code, std::chrono::milliseconds timeout = 10s, int times = 1) const;
    int CountOf(DWORD code) const;
    int Count() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<Note> notes_;
};

// Runs a whole scan and waits for its code 1; false when it did not end within timeout.
bool RunScan(TOEVolumeFixer& engine, NotificationLog& log, std::chrono::milliseconds timeout = 10s);

} // namespace engine_test
