#pragma once
// Small helpers for reading and describing pixels in the controls' tests.

#include <QImage>
#include <cstdio>
#include <string>

namespace controls_test {

// A pixel as (red, green, blue), opacity ignored.
struct Px {
    int r = 0;
    int g = 0;
    int b = 0;
    friend bool operator==(const Px&, const Px&) = default;
};

inline Px Grey(int v) {
    return {v, v, v};
}

inline Px At(const QImage& image, int x, int y) {
    QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

inline std::string Describe(const Px& p) {
    char text[32];
    std::snprintf(text, sizeof text, "(%d, %d, %d)", p.r, p.g, p.b);
    return text;
}

inline bool IsGrey(const Px& p) {
    return p.r == p.g && p.g == p.b;
}

// Green clearly stronger than red and blue: the lime fill or marquee.
inline bool IsGreenish(const Px& p) {
    return p.g > p.r + 10 && p.g > p.b + 10;
}

} // namespace controls_test
