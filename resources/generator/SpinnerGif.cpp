// The 16x16 busy animation: a comet running clockwise round a faint ring, twelve steps of 30
// degrees, 80 ms each, looping for ever.
//
// GIF transparency is all or nothing, so edges cannot fade out. The animation always sits on
// the status panel's colour, so the antialiased edges are blended onto that colour and only
// pixels the ring barely touches become transparent.

#include "Painting.h"
#include "Products.h"

#include <QConicalGradient>
#include <algorithm>
#include <array>
#include <cmath>
#include <gif_lib.h>
#include <stdexcept>

namespace art {
namespace {

constexpr int kSize = 16;
constexpr int kFrames = 12;
constexpr int kDelayCentiseconds = 8;
constexpr int kTransparentIndex = 0;
constexpr int kCoverageThreshold = 100; // of 255: below it a pixel is left transparent
const QColor kMatte = kPanelFill;
const QColor kInk(16, 86, 222);

const QPointF kCentre(8, 8);
constexpr qreal kRadius = 5.6;
constexpr qreal kStroke = 2.5;

// Palette: index 0 transparent, then 255 even steps from the matte to the ink. Every pixel
// of a frame is a mix of exactly those two colours, so it maps onto this ramp without loss.
std::array<GifColorType, 256> RampPalette() {
    std::array<GifColorType, 256> colours{};
    colours[0] = {static_cast<GifByteType>(kMatte.red()), static_cast<GifByteType>(kMatte.green()),
                  static_cast<GifByteType>(kMatte.blue())};
    for (int i = 1; i < 256; ++i) {
        const double t = (i - 1) / 254.0;
        auto mix = [t](int a, int b) {
            return static_cast<GifByteType>(std::lround(a + (b - a) * t));
        };
        colours[static_cast<size_t>(i)] = {mix(kMatte.red(), kInk.red()),
                                           mix(kMatte.green(), kInk.green()),
                                           mix(kMatte.blue(), kInk.blue())};
    }
    return colours;
}

// Where the ring lies at all, whatever its shade in a given frame.
QImage Coverage() {
    QImage mask = NewCanvas(kSize, kSize);
    QPainter p(&mask);
    PrepareForDrawing(p);
    p.setPen(QPen(Qt::black, kStroke));
    p.drawEllipse(kCentre, kRadius, kRadius);
    return mask;
}

// One frame in full colour on the matte; the comet's head points at headAngle (degrees,
// counter-clockwise from three o'clock).
QImage Frame(qreal headAngle) {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(kMatte);
    QPainter p(&image);
    PrepareForDrawing(p);
    const QRectF ring(kCentre.x() - kRadius, kCentre.y() - kRadius, 2 * kRadius, 2 * kRadius);

    QColor track = kInk;
    track.setAlpha(34);
    p.setPen(QPen(track, kStroke));
    p.drawEllipse(ring);

    // The tail trails counter-clockwise behind the head and fades away over 300 degrees.
    QConicalGradient tail(kCentre, headAngle);
    tail.setColorAt(0.0, kInk);
    tail.setColorAt(0.83, QColor(kInk.red(), kInk.green(), kInk.blue(), 0));
    tail.setColorAt(1.0, QColor(kInk.red(), kInk.green(), kInk.blue(), 0));
    p.setPen(QPen(QBrush(tail), kStroke, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(ring, static_cast<int>(headAngle * 16), 300 * 16);
    return image;
}

// How far a colour lies along the matte-to-ink ramp, read from the channel that changes most.
int RampIndex(QRgb pixel) {
    const int spanBlue = kInk.blue() - kMatte.blue();
    const int spanRed = kInk.red() - kMatte.red();
    const int spanGreen = kInk.green() - kMatte.green();
    int span = spanRed;
    int delta = qRed(pixel) - kMatte.red();
    if (std::abs(spanGreen) > std::abs(span)) {
        span = spanGreen;
        delta = qGreen(pixel) - kMatte.green();
    }
    if (std::abs(spanBlue) > std::abs(span)) {
        span = spanBlue;
        delta = qBlue(pixel) - kMatte.blue();
    }
    const double t = std::clamp(static_cast<double>(delta) / span, 0.0, 1.0);
    return 1 + static_cast<int>(std::lround(t * 254));
}

int AppendToBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

void Check(int result, const char* what) {
    if (result != GIF_OK) {
        throw std::runtime_error(std::string("GIF encoding failed at ") + what);
    }
}

void WriteFrames(GifFileType* gif, const std::array<GifColorType, 256>& colours) {
    ColorMapObject* map = GifMakeMapObject(256, colours.data());
    if (map == nullptr) {
        throw std::runtime_error("GIF colour map");
    }
    const int screen = EGifPutScreenDesc(gif, kSize, kSize, 8, kTransparentIndex, map);
    GifFreeMapObject(map);
    Check(screen, "screen");

    // NETSCAPE2.0 with a loop count of 0: repeat for ever.
    static const GifByteType kAppName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kLoop[] = {1, 0, 0};
    Check(EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE), "loop");
    Check(EGifPutExtensionBlock(gif, sizeof kAppName, kAppName), "loop");
    Check(EGifPutExtensionBlock(gif, sizeof kLoop, kLoop), "loop");
    Check(EGifPutExtensionTrailer(gif), "loop");

    const QImage coverage = Coverage();
    for (int f = 0; f < kFrames; ++f) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSE_BACKGROUND;
        control.UserInputFlag = false;
        control.DelayTime = kDelayCentiseconds;
        control.TransparentColor = kTransparentIndex;
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension),
              "frame control");
        Check(EGifPutImageDesc(gif, 0, 0, kSize, kSize, false, nullptr), "frame");

        const QImage frame = Frame(90.0 - 30.0 * f);
        for (int y = 0; y < kSize; ++y) {
            std::array<GifPixelType, kSize> row{};
            for (int x = 0; x < kSize; ++x) {
                const bool covered = qAlpha(coverage.pixel(x, y)) >= kCoverageThreshold;
                row[static_cast<size_t>(x)] =
                    covered ? static_cast<GifPixelType>(RampIndex(frame.pixel(x, y)))
                            : static_cast<GifPixelType>(kTransparentIndex);
            }
            Check(EGifPutLine(gif, row.data(), kSize), "pixels");
        }
    }
}

} // namespace

Bytes MakeSpinnerGif() {
    Bytes out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendToBytes, &error);
    if (gif == nullptr) {
        throw std::runtime_error("GIF encoder: " + std::string(GifErrorString(error)));
    }
    EGifSetGifVersion(gif, true);
    try {
        WriteFrames(gif, RampPalette());
    } catch (...) {
        EGifCloseFile(gif, &error);
        throw;
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) {
        throw std::runtime_error("GIF encoder: " + std::string(GifErrorString(error)));
    }
    return out;
}

} // namespace art
