// DrawText: lines broken at line ends and, with DT_WORDBREAK, between words; placed left,
// centred or right; an ampersand marking the character to underline; clipped to the rectangle.

#include "graphics/Canvas.h"

#include <algorithm>
#include <numeric>

namespace {

struct Line {
    std::u32string text;
    std::vector<bool> underlined; // one flag per character of text
};

// Takes the ampersands out: "&x" underlines x, "&&" is one ampersand, a lone "&" at the end
// is dropped.
Line StripPrefixes(const std::u32string& text, bool prefixes) {
    Line line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (prefixes && text[i] == U'&') {
            if (i + 1 == text.size()) {
                break;
            }
            ++i;
            line.text.push_back(text[i]);
            line.underlined.push_back(text[i] != U'&');
            continue;
        }
        line.text.push_back(text[i]);
        line.underlined.push_back(false);
    }
    return line;
}

Line Slice(const Line& line, std::size_t from, std::size_t to) {
    return {line.text.substr(from, to - from),
            std::vector<bool>(line.underlined.begin() + static_cast<std::ptrdiff_t>(from),
                              line.underlined.begin() + static_cast<std::ptrdiff_t>(to))};
}

int WidthOf(const std::vector<int>& advances, std::size_t from, std::size_t to) {
    return std::accumulate(advances.begin() + static_cast<std::ptrdiff_t>(from),
                           advances.begin() + static_cast<std::ptrdiff_t>(to), 0);
}

bool IsSpace(char32_t c) {
    return c == U' ' || c == U'\t';
}

// Breaks one paragraph into lines no wider than width where it can: between words; inside a
// word that alone is too wide only when breakWords (the edit-control behaviour). The blanks
// at a break are dropped.
std::vector<Line> Wrap(const Line& paragraph, const std::vector<int>& advances, int width,
                       bool breakWords) {
    std::vector<Line> lines;
    const std::size_t n = paragraph.text.size();
    std::size_t start = 0;
    while (true) {
        std::size_t end = start; // past the last character that fits
        std::size_t lastBreak = std::string::npos;
        int used = 0;
        while (end < n) {
            if (IsSpace(paragraph.text[end])) {
                lastBreak = end;
            } else if (used + advances[end] > width && end > start) {
                break;
            }
            used += advances[end];
            ++end;
        }
        if (end == n) {
            lines.push_back(Slice(paragraph, start, n));
            break;
        }
        std::size_t cut = end;
        if (lastBreak != std::string::npos && lastBreak > start) {
            cut = lastBreak;
        } else if (!breakWords) {
            // A word wider than the line stays whole and runs past the edge.
            cut = end;
            while (cut < n && !IsSpace(paragraph.text[cut])) {
                ++cut;
            }
        }
        std::size_t visibleEnd = cut;
        while (visibleEnd > start && IsSpace(paragraph.text[visibleEnd - 1])) {
            --visibleEnd;
        }
        lines.push_back(Slice(paragraph, start, visibleEnd));
        start = cut;
        while (start < n && IsSpace(paragraph.text[start])) {
            ++start;
        }
        if (start == n) {
            break;
        }
    }
    return lines;
}

std::vector<int> Advances(const TextStyle& style, const std::u32string& text) {
    return TextAdvances(style, text);
}

} // namespace

int DrawTextA(TCanvas& canvas, const std::string& narrow, TRect& rect, UINT format) {
    const std::u32string text = DecodeNarrowText(narrow);
    const TextStyle style = canvas.CurrentTextStyle();
    const TextMetrics metrics = MeasureFont(style);
    const int lineHeight = metrics.Height();
    const bool singleLine = (format & DT_SINGLELINE) != 0;
    const bool prefixes = (format & DT_NOPREFIX) == 0;

    // Paragraphs at explicit line ends; a single line shows no line ends at all.
    std::vector<Line> lines;
    if (singleLine) {
        std::u32string flat;
        std::copy_if(text.begin(), text.end(), std::back_inserter(flat),
                     [](char32_t c) { return c != U'\r' && c != U'\n'; });
        lines.push_back(StripPrefixes(flat, prefixes));
    } else {
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == U'\r' || text[i] == U'\n') {
                Line paragraph = StripPrefixes(text.substr(start, i - start), prefixes);
                if (format & DT_WORDBREAK) {
                    std::vector<Line> wrapped = Wrap(paragraph, Advances(style, paragraph.text),
                                                     rect.Width(), (format & DT_EDITCONTROL) != 0);
                    lines.insert(lines.end(), wrapped.begin(), wrapped.end());
                } else {
                    lines.push_back(paragraph);
                }
                if (i < text.size() && text[i] == U'\r' && i + 1 < text.size() &&
                    text[i + 1] == U'\n') {
                    ++i;
                }
                start = i + 1;
            }
        }
        // A text ending in a line break has no empty line after it.
        if (lines.size() > 1 && lines.back().text.empty() && !text.empty() &&
            (text.back() == U'\n' || text.back() == U'\r')) {
            lines.pop_back();
        }
    }
    if (text.empty()) {
        lines.clear();
    }

    int top = rect.Top;
    if (singleLine && (format & DT_VCENTER)) {
        top = rect.Top + (rect.Height() - lineHeight) / 2;
    } else if (singleLine && (format & DT_BOTTOM)) {
        top = rect.Bottom - lineHeight;
    }

    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : lines) {
            std::vector<int> advances = Advances(style, line.text);
            widest = std::max(widest, WidthOf(advances, 0, advances.size()));
        }
        rect.Right = rect.Left + widest;
        rect.Bottom = rect.Top + lineHeight * static_cast<int>(lines.size());
        return lineHeight * static_cast<int>(lines.size());
    }

    const bool clip = (format & DT_NOCLIP) == 0;
    const TRect clipRect = clip ? rect : TRect{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28};
    const COLORREF colour = ColorToRGB(canvas.Font().Color());
    int drawn = 0;
    for (const Line& line : lines) {
        int lineTop = top + drawn * lineHeight;
        // Like an edit control, no line is shown cut off at the bottom; the first one always is.
        if ((format & DT_EDITCONTROL) && drawn > 0 && lineTop + lineHeight > rect.Bottom) {
            break;
        }
        std::vector<int> advances = Advances(style, line.text);
        int width = WidthOf(advances, 0, advances.size());
        int x = rect.Left;
        if (format & DT_CENTER) {
            x = rect.Left + (rect.Width() - width) / 2;
        } else if (format & DT_RIGHT) {
            x = rect.Right - width;
        }
        canvas.DrawTextLine(x, lineTop, line.text, clipRect);
        int pen = x;
        for (std::size_t i = 0; i < line.text.size(); ++i) {
            if (line.underlined[i]) {
                int y = lineTop + metrics.ascent + metrics.underlineOffset;
                canvas.FillSolid(
                    Intersect({pen, y, pen + advances[i], y + metrics.underlineThickness},
                              clipRect),
                    colour);
            }
            pen += advances[i];
        }
        ++drawn;
    }
    return top - rect.Top + drawn * lineHeight;
}
