#include "OutputFiles.h"

#include "PngWriter.h"

#include <fstream>
#include <stdexcept>

namespace art {

void WriteBytes(const std::filesystem::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

void WritePng(const std::filesystem::path& file, const QImage& image) {
    WriteBytes(file, EncodeRgbaPng(image));
}

} // namespace art
