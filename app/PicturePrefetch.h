#pragma once
// The welcome page's pictures, decoded and made ready to paint on a thread of their own while the
// application object and the fonts are made, so that the window finds them ready. The thread
// reads the configuration and the resources for itself and touches
// nothing the window shares. A picture that cannot be decoded here is not reported: the window
// then loads it the usual way, which reports it.
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
    // paths: configuration entries naming pictures, as the window looks them up.
    explicit TPicturePrefetch(std::vector<std::string> paths);
    ~TPicturePrefetch();
    TPicturePrefetch(const TPicturePrefetch&) = delete;
    TPicturePrefetch& operator=(const TPicturePrefetch&) = delete;

    // The picture decoded for the entry at path, ready to paint, handed over once; none when it
    // was not asked for, could not be decoded, or was taken already.
    std::optional<TPaintedPicture> Take(const std::string& path);

private:
    std::map<std::string, TPaintedPicture> decoded_; // the thread's until it is joined
    std::thread thread_;                      // made last: it writes decoded_
};
