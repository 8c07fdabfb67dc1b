#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace tessaloom {

/// The date, time and number forms of the user's locale, as pictures in the
/// desktop's notation: d dd M MM yy yyyy for dates, h hh (12-hour) H HH (24-hour)
/// m mm s ss tt (AM/PM) for times; "/" in a date picture stands for the date
/// separator. Tests build these explicitly so that they never depend on the
/// machine's locale.
struct LocaleFormats
{
    std::string shortDatePicture = "M/d/yyyy";
    std::string longTimePicture = "h:mm:ss tt";
    std::string dateSeparator = "/";
    std::string thousandsSeparator = ",";
    std::string amDesignator = "AM";
    std::string pmDesignator = "PM";

    /// English (United States): also what the plain C/POSIX locale behaves as.
    static LocaleFormats EnglishUS() { return {}; }
    /// Read from the process locale (LC_TIME, LC_NUMERIC), which the caller has set
    /// with setlocale(LC_ALL, "").
    static LocaleFormats FromProcessLocale();
};

/// A broken-down local date and time.
struct LocalDateTime
{
    int year = 1900;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

/// `t` in the process's local time zone (TZ).
LocalDateTime ToLocalDateTime(std::time_t t);

/// Formats `dt` with a picture in the notation above; other characters are copied.
std::string FormatDateTimePicture(const LocalDateTime& dt, std::string_view picture,
                                  const LocaleFormats& formats);

std::string FormatShortDate(const LocalDateTime& dt, const LocaleFormats& formats);
std::string FormatLongTime(const LocalDateTime& dt, const LocaleFormats& formats);
/// Short date, a blank, long time.
std::string FormatGeneralDate(const LocalDateTime& dt, const LocaleFormats& formats);
/// Two-digit 12-hour hour, ":", two-digit minutes, a blank, the AM/PM designator.
std::string FormatMediumTime(const LocalDateTime& dt, const LocaleFormats& formats);

/// Decimal digits grouped by three with the locale's separator ("#,###"); 0 is "0".
std::string FormatThousands(std::int64_t value, const LocaleFormats& formats);

} // namespace tessaloom
