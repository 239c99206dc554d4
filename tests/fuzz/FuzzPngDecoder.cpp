// Any byte string given to the PNG decoder either decodes or raises PictureError.

#include "config/Errors.h"
#include "graphics/Picture.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        TGraphic graphic = DecodePng({data, size});
        // Touch every pixel so that a wrong size shows up as an out-of-bounds read.
        std::uint32_t sum = 0;
        for (std::uint32_t pixel : graphic.Frame(0).pixels) {
            sum += pixel;
        }
        if (graphic.Frame(0).pixels.size() !=
            static_cast<std::size_t>(graphic.Width()) * graphic.Height()) {
            __builtin_trap();
        }
        (void)sum;
    } catch (const PictureError&) {
    }
    return 0;
}
