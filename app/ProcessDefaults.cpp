#include "app/ProcessDefaults.h"

#include <QLocale>

namespace {

TProcessDefaults FromLocale() {
    TProcessDefaults defaults;
    const QLocale locale = QLocale::system();
    for (int day = 0; day < 7; ++day) {
        // Qt counts the days from Monday (1) to Sunday (7).
        defaults.FormatSettings.ShortDayNames[static_cast<std::size_t>(day)] =
            locale.dayName(day == 0 ? 7 : day, QLocale::ShortFormat).toStdString();
    }
    for (int month = 1; month <= 12; ++month) {
        defaults.FormatSettings.LongMonthNames[static_cast<std::size_t>(month - 1)] =
            locale.monthName(month, QLocale::LongFormat).toStdString();
    }
    defaults.FormatSettings.ShortDateFormat = locale.dateFormat(QLocale::ShortFormat).toStdString();
    defaults.FormatSettings.LongDateFormat = locale.dateFormat(QLocale::LongFormat).toStdString();
    return defaults;
}

} // namespace

TProcessDefaults& ProcessDefaults() {
    static TProcessDefaults defaults = FromLocale();
    return defaults;
}

void ApplyProcessDefaults() {
    TFormatSettings& format = ProcessDefaults().FormatSettings;
    format.DateSeparator = '-';
    format.ShortDateFormat = "yyyy-mm-dd";
    format.LongDateFormat = "yyyy-mm-dd";
    format.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    format.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                             "July",    "August",   "September", "October", "November", "December"};
    ProcessDefaults().HandPointCursor = QCursor(Qt::PointingHandCursor);
}
