// The chime on an ALSA PCM. Every ALSA call runs on a worker of its own and is given up when
// the sound's length plus the grace period has passed: ALSA's pulse plugin waits without end
// for a sound server that accepts the connection and then stops answering (at open, at every
// write, at the drain), and the scan must never hang with it.

#include "platform/ModuleResources.h"
#include "platform/Sound.h"
#include "platform/WaveFile.h"
#include "threading/BoundedWorker.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

namespace {

// Short enough that the drain at the end does not add much to the sound, long enough for a
// sound server on a loaded machine.
constexpr unsigned kLatencyMicroseconds = 100000;
constexpr unsigned kChunksPerSecond = 50;

struct PcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// Opens the PCM through a configuration read afresh: ALSA decides what "default" means when
// it reads its configuration (the pulse plugin is made the default only while a server
// answers), and a program started before its sound server must reach it later all the same.
// The process-wide configuration is left alone, since other threads use it.
PcmHandle OpenPlayback(const std::string& pcmName) {
    snd_config_t* top = nullptr;
    snd_config_update_t* update = nullptr;
    if (snd_config_update_r(&top, &update, nullptr) < 0) {
        if (top != nullptr) {
            snd_config_delete(top);
        }
        if (update != nullptr) {
            snd_config_update_free(update);
        }
        return nullptr;
    }
    snd_pcm_t* pcm = nullptr;
    int err = snd_pcm_open_lconf(&pcm, pcmName.c_str(), SND_PCM_STREAM_PLAYBACK, 0, top);
    // An open PCM keeps nothing of the configuration it was made from.
    snd_config_delete(top);
    snd_config_update_free(update);
    return err < 0 ? nullptr : PcmHandle(pcm);
}

bool PlayOnAlsa(const std::string& pcmName, const WaveSound& sound, const std::atomic<bool>& stop) {
    if (stop) {
        return false;
    }
    PcmHandle pcm = OpenPlayback(pcmName);
    if (!pcm) {
        return false;
    }
    const snd_pcm_format_t format =
        sound.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (snd_pcm_set_params(pcm.get(), format, SND_PCM_ACCESS_RW_INTERLEAVED, sound.channels,
                           sound.rate, 1, kLatencyMicroseconds) < 0) {
        return false;
    }
    const unsigned char* next = sound.samples;
    snd_pcm_uframes_t left = sound.frames;
    // Handed over a little at a time, so a stop is heeded within a few milliseconds.
    const snd_pcm_uframes_t chunk = std::max<snd_pcm_uframes_t>(sound.rate / kChunksPerSecond, 1);
    while (left > 0) {
        if (stop) {
            snd_pcm_drop(pcm.get());
            return false;
        }
        snd_pcm_sframes_t written = snd_pcm_writei(pcm.get(), next, std::min(left, chunk));
        if (written < 0) {
            // An underrun or a suspend is recovered from once per write; anything else, or a
            // failing recovery, ends the play as not played.
            if (snd_pcm_recover(pcm.get(), static_cast<int>(written), 1) < 0) {
                return false;
            }
            continue;
        }
        next += static_cast<std::size_t>(written) * sound.BytesPerFrame();
        left -= static_cast<snd_pcm_uframes_t>(written);
    }
    if (stop) {
        snd_pcm_drop(pcm.get());
        return false;
    }
    return snd_pcm_drain(pcm.get()) == 0;
}

class AlsaSound final : public SoundBackend {
public:
    AlsaSound(std::string pcmName, std::chrono::milliseconds grace)
        : pcmName_(std::move(pcmName)), grace_(grace), worker_(std::make_unique<BoundedWorker>()) {}

    BOOL PlaySystemSound(LPCSTR soundName, UINT flags) override {
        if ((flags & (SND_ASYNC | SND_LOOP | SND_MEMORY)) != 0) {
            return 0;
        }
        if (soundName == nullptr) {
            Stop();
            return 1;
        }
        if ((flags & SND_NODEFAULT) != 0 && !SameResourceName(soundName, kChimeSoundName)) {
            return 0;
        }
        HMODULE own = GetModuleHandleA(nullptr);
        HRSRC resource = FindResourceA(own, kChimeResourceName, kChimeResourceType);
        const auto* bytes =
            static_cast<const unsigned char*>(LockResource(LoadResource(own, resource)));
        if (bytes == nullptr) {
            return 0;
        }
        // The job may outlive this call (and a test's resource table), so it gets its own copy.
        auto copy = std::make_shared<std::vector<unsigned char>>(
            bytes, bytes + SizeofResource(own, resource));
        std::optional<WaveSound> sound = ParseWave(copy->data(), copy->size());
        if (!sound) {
            return 0;
        }
        auto played = std::make_shared<std::atomic<bool>>(false);
        auto stop = std::make_shared<std::atomic<bool>>(false);
        std::lock_guard lock(playing_);
        {
            std::lock_guard current(currentMutex_);
            currentStop_ = stop;
        }
        bool finished =
            worker_->Run([copy, sound = *sound, played, stop,
                          pcmName = pcmName_] { played->store(PlayOnAlsa(pcmName, sound, *stop)); },
                         sound->Length() + grace_);
        {
            std::lock_guard current(currentMutex_);
            currentStop_.reset();
        }
        return finished && played->load() && !stop->load() ? 1 : 0;
    }

private:
    // The play ends at its next piece of sound; its caller stops waiting at once, also for a
    // play stuck in a sound server that stopped answering.
    void Stop() {
        std::lock_guard current(currentMutex_);
        if (currentStop_) {
            currentStop_->store(true);
            worker_->GiveUp();
        }
    }

    std::string pcmName_;
    std::chrono::milliseconds grace_;
    std::mutex playing_; // one sound at a time, as the platform plays them
    std::unique_ptr<BoundedWorker> worker_;
    std::mutex currentMutex_;
    std::shared_ptr<std::atomic<bool>> currentStop_; // of the sound playing now
};

} // namespace

std::unique_ptr<SoundBackend> MakeAlsaSound(std::string pcmName, std::chrono::milliseconds grace) {
    return std::make_unique<AlsaSound>(std::move(pcmName), grace);
}

std::unique_ptr<SoundBackend> MakeAlsaSound() {
    return MakeAlsaSound("default", kSoundGrace);
}

} // namespace platform
