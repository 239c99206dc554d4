// Any byte string given to the GIF decoder either decodes or raises PictureError.

#include "config/Errors.h"
#include "graphics/Picture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        TGraphic graphic = DecodeGif({data, size});
        for (std::size_t i = 0; i < graphic.FrameCount(); ++i) {
            if (graphic.Frame(i).pixels.size() !=
                static_cast<std::size_t>(graphic.Width()) * graphic.Height()) {
                __builtin_trap();
            }
        }
    } catch (const PictureError&) {
    }
    return 0;
}
