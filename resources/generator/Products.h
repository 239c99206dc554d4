#pragma once
// Everything the generator makes, one function per embedded resource (or family of them).
// Each returns the finished picture or the finished file bytes; writing is main's business.

#include <QImage>
#include <cstdint>
#include <vector>

namespace art {

using Bytes = std::vector<std::uint8_t>;

QImage MakeWindowImage();       // 606x475: header band with the product mark, light body
QImage MakeWelcomeBackground(); // 592x400 each
QImage MakeScanningBackground();
QImage MakeReportBackground();
QImage MakeSeparator();   // 562x2, the rule under the welcome page title
QImage MakeStartButton(); // 300x54, "Start Scan"
QImage MakeShareButton(); // 135x34, "Share"

enum class IconMeaning { Information, Warning, Error, Success };
QImage MakeBadgeIcon(IconMeaning meaning);   // 32x32, the report list's set
QImage MakeOutlineIcon(IconMeaning meaning); // 32x32, the second, line-drawn set

QImage MakeAppIcon(int size); // size x size, the desktop icon (not embedded)

Bytes MakeSpinnerGif(); // 16x16, 12 frames, looping, transparent
Bytes MakeChimeWav();   // short chime, 44100 Hz stereo 16-bit PCM

Bytes MakeAudioServiceScript();           // the REGEDIT5 script, UTF-16LE with BOM
Bytes FrameCompressed(const Bytes& data); // 4-byte LE size + zlib stream at the best level

} // namespace art
