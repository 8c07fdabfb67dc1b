#include "platform/localeformats.h"

#include <charconv>
#include <clocale>
#include <cstring>
#include <langinfo.h>

namespace tessaloom {

namespace {

bool IsEnglishUsOrPlain(const char* name)
{
    if (!name)
        return true;
    const std::string_view n = name;
    return n == "C" || n == "POSIX" || n.starts_with("C.") || n.starts_with("en_US");
}

// The picture notation of one strftime conversion; empty for an unknown one.
std::string_view PictureOfConversion(char c, bool twelveHourPadded)
{
    switch (c) {
    case 'd':
        return "dd";
    case 'e':
        return "d";
    case 'm':
        return "MM";
    case 'Y':
        return "yyyy";
    case 'y':
        return "yy";
    case 'H':
        return "HH";
    case 'k':
        return "H";
    case 'I':
        return twelveHourPadded ? "hh" : "h";
    case 'l':
        return "h";
    case 'M':
        return "mm";
    case 'S':
        return "ss";
    case 'p':
        return "tt";
    case 'T':
        return "HH:mm:ss";
    case 'r':
        return "hh:mm:ss tt";
    case 'R':
        return "HH:mm";
    case 'D':
        return "MM/dd/yy";
    case 'F':
        return "yyyy-MM-dd";
    case '%':
        return "%";
    default:
        return {};
    }
}

// Turns a strftime format into the picture notation; unknown conversions are dropped.
std::string PictureFromStrftime(std::string_view fmt, bool twelveHourPadded)
{
    std::string out;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 == fmt.size()) {
            out += fmt[i];
            continue;
        }
        char c = fmt[++i];
        if ((c == 'E' || c == 'O') && i + 1 < fmt.size())
            c = fmt[++i];
        out += PictureOfConversion(c, twelveHourPadded);
    }
    return out;
}

void AppendPadded(std::string& out, int value, int width)
{
    char digits[16];
    const unsigned magnitude =
        value < 0 ? 0U - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    const char* const end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    const auto count = static_cast<int>(end - digits);
    if (value < 0)
        out += '-';
    if (count < width)
        out.append(static_cast<std::size_t>(width - count), '0');
    out.append(digits, static_cast<std::size_t>(end - digits));
}

} // namespace

LocaleFormats LocaleFormats::FromProcessLocale()
{
    LocaleFormats f;
    if (!IsEnglishUsOrPlain(std::setlocale(LC_TIME, nullptr))) {
        const std::string date = PictureFromStrftime(nl_langinfo(D_FMT), true);
        const std::string time = PictureFromStrftime(nl_langinfo(T_FMT), true);
        if (!date.empty())
            f.shortDatePicture = date;
        if (!time.empty())
            f.longTimePicture = time;
        for (char c : date) {
            if (c != 'd' && c != 'M' && c != 'y') {
                f.dateSeparator = std::string(1, c);
                break;
            }
        }
        if (const char* am = nl_langinfo(AM_STR); am && *am)
            f.amDesignator = am;
        if (const char* pm = nl_langinfo(PM_STR); pm && *pm)
            f.pmDesignator = pm;
    }
    if (const lconv* conv = std::localeconv(); conv && conv->thousands_sep && *conv->thousands_sep)
        f.thousandsSeparator = conv->thousands_sep;
    return f;
}

LocalDateTime ToLocalDateTime(std::time_t t)
{
    std::tm tm{};
    LocalDateTime dt;
    if (::localtime_r(&t, &tm)) {
        dt.year = tm.tm_year + 1900;
        dt.month = tm.tm_mon + 1;
        dt.day = tm.tm_mday;
        dt.hour = tm.tm_hour;
        dt.minute = tm.tm_min;
        dt.second = tm.tm_sec;
    }
    return dt;
}

std::string FormatDateTimePicture(const LocalDateTime& dt, std::string_view picture,
                                  const LocaleFormats& formats)
{
    std::string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        std::size_t run = 1;
        while (i + run < picture.size() && picture[i + run] == c)
            ++run;
        const int hour12 = dt.hour % 12 == 0 ? 12 : dt.hour % 12;
        switch (c) {
        case 'd':
            AppendPadded(out, dt.day, run >= 2 ? 2 : 1);
            break;
        case 'M':
            AppendPadded(out, dt.month, run >= 2 ? 2 : 1);
            break;
        case 'y':
            if (run >= 3)
                AppendPadded(out, dt.year, 4);
            else
                AppendPadded(out, dt.year % 100, 2);
            break;
        case 'h':
            AppendPadded(out, hour12, run >= 2 ? 2 : 1);
            break;
        case 'H':
            AppendPadded(out, dt.hour, run >= 2 ? 2 : 1);
            break;
        case 'm':
            AppendPadded(out, dt.minute, run >= 2 ? 2 : 1);
            break;
        case 's':
            AppendPadded(out, dt.second, run >= 2 ? 2 : 1);
            break;
        case 't':
            out += dt.hour < 12 ? formats.amDesignator : formats.pmDesignator;
            break;
        case '/':
            for (std::size_t k = 0; k < run; ++k)
                out += formats.dateSeparator;
            break;
        default:
            out.append(run, c);
            break;
        }
        i += run;
    }
    return out;
}

std::string FormatShortDate(const LocalDateTime& dt, const LocaleFormats& formats)
{
    return FormatDateTimePicture(dt, formats.shortDatePicture, formats);
}

std::string FormatLongTime(const LocalDateTime& dt, const LocaleFormats& formats)
{
    return FormatDateTimePicture(dt, formats.longTimePicture, formats);
}

std::string FormatGeneralDate(const LocalDateTime& dt, const LocaleFormats& formats)
{
    return FormatShortDate(dt, formats) + " " + FormatLongTime(dt, formats);
}

std::string FormatMediumTime(const LocalDateTime& dt, const LocaleFormats& formats)
{
    return FormatDateTimePicture(dt, "hh:mm tt", formats);
}

std::string FormatThousands(std::int64_t value, const LocaleFormats& formats)
{
    const bool negative = value < 0;
    // Work on the unsigned magnitude so that the smallest value does not overflow.
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const std::string digits = std::to_string(magnitude);
    std::string out = negative ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += formats.thousandsSeparator;
        out += digits[i];
    }
    return out;
}

} // namespace tessaloom
