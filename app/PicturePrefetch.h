#pragma once
// Pictures decoded and made ready to paint on a thread of their own, so that the window finds
// them ready: the welcome page's while the application object and the fonts are made, the other
// pages' (and the report's icons) once the first frame is on the screen. The thread reads the
// configuration and the resources for itself and touches nothing the window shares. A picture
// that cannot be decoded here is not reported: the window then loads it the usual way, which
// reports it.
//
// Threads: made and used on the window's thread; the first Take() waits for the decoding.

#include "controls/Image.h"

#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TPicturePrefetch {
public:
    // Configuration entries naming pictures, as the window looks them up: pictures for image
    // controls (made ready to paint) and graphics for those that take the decoded graphic.
    // Large pictures are packed (see THeldFrame) unless pack is false: the welcome page's are
    // packed once the first frame is up, so that start-up is not kept waiting for it.
    explicit TPicturePrefetch(std::vector<std::string> pictures,
                              std::vector<std::string> graphics = {}, bool pack = true);
    ~TPicturePrefetch();
    TPicturePrefetch(const TPicturePrefetch&) = delete;
    TPicturePrefetch& operator=(const TPicturePrefetch&) = delete;

    // What was decoded for the entry at path, handed over once; none when it was not asked for,
    // could not be decoded, or was taken already.
    std::optional<TPaintedPicture> Take(const std::string& path);
    std::optional<TGraphic> TakeGraphic(const std::string& path);

    struct Decoded {
        std::map<std::string, TPaintedPicture> pictures;
        std::map<std::string, TGraphic> graphics;
    };

private:
    void Join();

    Decoded decoded_;    // the thread's until it is joined
    std::thread thread_; // made last: it writes decoded_
};
