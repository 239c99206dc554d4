#include "support/EngineTestSupport.h"

#include "engine/DeviceCheck.h"
#include "platform/testing/ScriptedTempFiles.h"

#include <algorithm>

namespace engine_test {

namespace {

std::mutex devicesMutex;
std::vector<FakeDevice> fakeDevices;

BOOL FakeCheckDeviceProblem(DeviceCallbackProc callback) {
    std::vector<FakeDevice> devices;
    {
        std::lock_guard lock(devicesMutex);
        devices = fakeDevices;
    }
    for (const FakeDevice& device : devices) {
        DeviceRecord record{device.text.c_str(), device.hardwareIds.c_str(), 7, device.flags};
        callback(&record);
    }
    return 1;
}

BOOL FakeQueryDeviceHwids(const char* query) {
    return std::string(query).find("HDAUDIO") != std::string::npos ? 1 : 0;
}

// Hands the double to the slot (which owns it from then on) and keeps a reference.
template <class Interface, class Double>
Double& Install(platform::BackendSlot<Interface>& slot, std::unique_ptr<Double> backend,
                std::vector<std::function<void()>>& restore) {
    Double& installed = *backend;
    auto previous = std::make_shared<std::unique_ptr<Interface>>(
        slot.Replace(std::unique_ptr<Interface>(std::move(backend))));
    restore.push_back([&slot, previous] { slot.Replace(std::move(*previous)); });
    return installed;
}

} // namespace

void Timeline::Add(std::string entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
}

std::vector<std::string> Timeline::Entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

int Timeline::First(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].rfind(prefix, 0) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int Timeline::Last(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = entries_.size(); i-- > 0;) {
        if (entries_[i].rfind(prefix, 0) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool StallingMixer::Passes() {
    if (!stall.Armed()) {
        stuck_ = false;
        return true;
    }
    if (stuck_) {
        return false;
    }
    if (!stall.Pass(bound)) {
        stuck_ = true;
        return false;
    }
    return true;
}

bool StallingMixer::Open(UINT id, HWND window, HMIXER& handle, platform::MixerDevice& device) {
    timeline_.Add("mixer open");
    return Passes() && inner_.Open(id, window, handle, device);
}

bool StallingMixer::Read(HMIXER handle, DWORD controlId, std::vector<std::int32_t>& values) {
    return Passes() && inner_.Read(handle, controlId, values);
}

bool StallingMixer::Write(HMIXER handle, DWORD controlId, const std::vector<std::int32_t>& values) {
    std::string entry = "mixer set " + std::to_string(controlId);
    for (std::int32_t value : values) {
        entry += " " + std::to_string(value);
    }
    timeline_.Add(entry);
    return inner_.Write(handle, controlId, values);
}

BOOL StallingServices::QueryStatus(SC_HANDLE service, SERVICE_STATUS* status) {
    if (!stall.Pass(bound)) {
        return 0;
    }
    return inner_.QueryStatus(service, status);
}

BOOL StallingServices::Start(SC_HANDLE service) {
    timeline_.Add("service start");
    return inner_.Start(service);
}

HINSTANCE RecordingShell::Execute(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                                  LPCSTR directory, INT showCommand) {
    timeline_.Add(std::string("shell ") + (file != nullptr ? file : "") + " " +
                  (parameters != nullptr ? parameters : ""));
    return ScriptedShell::Execute(owner, operation, file, parameters, directory, showCommand);
}

platform::SoundServerState HealthyDevices() {
    platform::SoundServerState state;
    state.serverName = "pulseaudio";
    platform::SoundCard card;
    card.index = 0;
    card.name = "alsa_card.pci-0000_00_1f.3";
    card.profiles = {{"output:analog-stereo", "Analog Stereo Output", 1, 0, 6500, true},
                     {"off", "Off", 0, 0, 0, true}};
    card.activeProfile = "output:analog-stereo";
    state.cards.push_back(card);
    platform::SoundEndpoint sink;
    sink.index = 1;
    sink.name = "alsa_output.pci-0000_00_1f.3.analog-stereo";
    sink.driver = "module-alsa-card.c";
    sink.card = 0;
    sink.ports = {{"analog-output-speaker", "Speakers", 10000, platform::PortAvailable::Unknown},
                  {"analog-output-headphones", "Headphones", 9900, platform::PortAvailable::No}};
    sink.activePort = "analog-output-speaker";
    state.sinks.push_back(sink);
    state.defaultSink = sink.name;
    state.streams.push_back({7, 1});
    return state;
}

ScriptedWorld::ScriptedWorld(WorldOptions options)
    : sound(Install(platform::SoundSlot(), std::make_unique<platform::testing::ScriptedSound>(),
                    restore_)),
      stallingMixer(Install(platform::MixerBackendSlot(),
                            std::make_unique<StallingMixer>(mixer, timeline), restore_)),
      stallingServices(Install(platform::ServiceSlot(),
                               std::make_unique<StallingServices>(services, timeline), restore_)),
      library(Install(platform::LibrarySlot(), std::make_unique<platform::ScriptedLibrary>(),
                      restore_)),
      shell(Install(platform::ShellSlot(), std::make_unique<RecordingShell>(timeline), restore_)),
      soundDevices(Install(platform::SoundDevicesSlot(),
                           std::make_unique<platform::testing::ScriptedSoundDevices>(), restore_)) {
    soundDevices.SetState(HealthyDevices());
    Install(platform::TempFileSlot(),
            std::make_unique<platform::testing::ScriptedTempFiles>(tempFolder.Path()), restore_);
    if (options.mixer) {
        UINT device = mixer.AddDevice("Scripted Audio");
        DWORD speakers = mixer.AddDestination(device, "Speakers", 2);
        masterVolume = mixer.AddControl(device, speakers, platform::MixerControl::Type::Volume, 0,
                                        {40000, 40000});
        masterMute = mixer.AddControl(device, speakers, platform::MixerControl::Type::Mute,
                                      platform::ScriptedMixer::kUniform, {0});
        DWORD wave = mixer.AddSource(device, speakers, "Wave", 2);
        sourceVolume =
            mixer.AddControl(device, wave, platform::MixerControl::Type::Volume, 0, {40000, 40000});
        sourceMute = mixer.AddControl(device, wave, platform::MixerControl::Type::Mute,
                                      platform::ScriptedMixer::kUniform, {0});
    }
    if (options.service) {
        platform::ScriptedService running;
        running.beforeStart = {platform::StatusOf(SERVICE_RUNNING)};
        AudioSrv(running);
    }
    if (options.library) {
        library.AddLibrary(
            "tmaudiomanager.dll",
            {{"CheckDeviceProblem", platform::ScriptedLibrary::Entry(&FakeCheckDeviceProblem)},
             {"QueryDeviceHwids", platform::ScriptedLibrary::Entry(&FakeQueryDeviceHwids)}});
    }
    SetDevices({});
}

ScriptedWorld::~ScriptedWorld() {
    for (auto it = restore_.rbegin(); it != restore_.rend(); ++it) {
        (*it)();
    }
}

void ScriptedWorld::SetLine(DWORD volumeControl, DWORD muteControl, LONG volume, LONG mute) {
    mixer.SetValues(0, volumeControl, {volume, volume});
    mixer.SetValues(0, muteControl, {mute});
}

LONG ScriptedWorld::Volume(DWORD volumeControl) const {
    return mixer.Values(0, volumeControl).at(0);
}

LONG ScriptedWorld::Mute(DWORD muteControl) const {
    return mixer.Values(0, muteControl).at(0);
}

platform::ScriptedService& ScriptedWorld::AudioSrv(platform::ScriptedService service) {
    return services.Add("AudioSrv", std::move(service));
}

void ScriptedWorld::SetDevices(std::vector<FakeDevice> devices) {
    std::lock_guard lock(devicesMutex);
    fakeDevices = std::move(devices);
}

TStateChange NotificationLog::Handler(TOEVolumeFixer& engine, std::function<void(DWORD)> react) {
    return [this, &engine, react = std::move(react)](DWORD code, TSCANRESULT* result) {
        Note note;
        note.code = code;
        note.carriesResult = result == &engine.ScanResult;
        note.nullPayload = result == nullptr;
        note.idle = engine.Idle;
        note.cancelRequested = engine.CancelRequested;
        if (result != nullptr) {
            note.result = *result;
        }
        {
            std::lock_guard lock(mutex_);
            notes_.push_back(std::move(note));
        }
        changed_.notify_all();
        if (react) {
            react(code);
        }
    };
}

std::vector<DWORD> NotificationLog::Codes() const {
    std::lock_guard lock(mutex_);
    std::vector<DWORD> codes;
    for (const Note& note : notes_) {
        codes.push_back(note.code);
    }
    return codes;
}

std::vector<NotificationLog::Note> NotificationLog::Notes() const {
    std::lock_guard lock(mutex_);
    return notes_;
}

bool NotificationLog::WaitFor(DWORD code, std::chrono::milliseconds timeout, int times) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return std::count_if(notes_.begin(), notes_.end(),
                             [&](const Note& n) { return n.code == code; }) >= times;
    });
}

int NotificationLog::CountOf(DWORD code) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::count_if(notes_.begin(), notes_.end(), [&](const Note& n) { return n.code == code; }));
}

int NotificationLog::Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(notes_.size());
}

bool RunScan(TOEVolumeFixer& engine, NotificationLog& log, std::chrono::milliseconds timeout) {
    const int ended = log.CountOf(ScanCode::ScanEnded);
    if (engine.StartScan() != kScanStarted) {
        return false;
    }
    return log.WaitFor(ScanCode::ScanEnded, timeout, ended + 1);
}

} // namespace engine_test
