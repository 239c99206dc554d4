#pragma once
// Settings that hold for the whole process: how dates are written and named, and which cursor
// the hand-point cursor is. Qt has no process-wide counterpart, so they are kept here and read
// by whatever needs them. Only the window's thread touches them.

#include <QCursor>
#include <array>
#include <string>

struct TFormatSettings {
    char DateSeparator = '/';
    std::string ShortDateFormat;
    std::string LongDateFormat;
    std::array<std::string, 7> ShortDayNames;   // Sunday first
    std::array<std::string, 12> LongMonthNames; // January first
};

struct TProcessDefaults {
    TFormatSettings FormatSettings; // until applied: the user's locale
    QCursor HandPointCursor{Qt::PointingHandCursor};
};

TProcessDefaults& ProcessDefaults();

// Dates as "yyyy-mm-dd" with English names whatever the user's locale, and the desktop's own
// hand cursor for the hand-point cursor.
void ApplyProcessDefaults();
