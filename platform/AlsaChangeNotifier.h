#pragma once
// Change notifications of an open ALSA mixer, delivered as MM_MIXM_CONTROL_CHANGE and
// MM_MIXM_LINE_CHANGE to the mixer's callback window on the window's own thread.
//
// They come from a second control handle of their own, opened on a short-lived thread (opening
// may block while a sound server hangs) and then watched with socket notifiers on the window's
// thread, so that thread never reads the handle the mixer's operations use and never waits for
// the server. After Stop() returns no further message is posted.

#include "platform/AlsaMixerLayout.h"
#include "platform/Mixer.h"

#include <memory>
#include <string>

namespace platform {

class AlsaChangeNotifier {
public:
    AlsaChangeNotifier(std::string controlName, HWND window, HMIXER handle,
                       std::shared_ptr<const AlsaMixerLayout> layout);
    ~AlsaChangeNotifier(); // stops
    AlsaChangeNotifier(const AlsaChangeNotifier&) = delete;
    AlsaChangeNotifier& operator=(const AlsaChangeNotifier&) = delete;

    // Drops the current second handle and opens a fresh one (the old one's server went away).
    void Restart();
    void Stop();

    struct Shared;

private:
    void Start();
    std::shared_ptr<Shared> shared_;
};

} // namespace platform
