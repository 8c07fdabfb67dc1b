#include "platform/localeformats.h"

#include <charconv>
#include <climits>
#include <clocale>
#include <cstring>
#include <langinfo.h>
#include <optional>

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

namespace {

constexpr std::int64_t kSecondsPerHour = 3600;
constexpr std::int64_t kSecondsPerDay = 86400;
// Marks of LocalTimes' hours; offsets lie within a day either way.
constexpr std::int64_t kSeenOnce = INT64_MIN;
constexpr std::int64_t kUneven = INT64_MIN + 1;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// The civil date and time `seconds` after 1970-01-01 00:00:00, in the proleptic
// Gregorian calendar (days to year, month and day after H. Hinnant's algorithm).
LocalDateTime CivilTime(std::int64_t seconds)
{
    const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
    const std::int64_t inDay = seconds - days * kSecondsPerDay;
    const std::int64_t z = days + 719468;
    const std::int64_t era = FloorDiv(z, 146097);
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153; // March is 0
    const std::int64_t month = shifted < 10 ? shifted + 3 : shifted - 9;
    LocalDateTime dt;
    dt.year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    dt.month = static_cast<int>(month);
    dt.day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    dt.hour = static_cast<int>(inDay / kSecondsPerHour);
    dt.minute = static_cast<int>(inDay % kSecondsPerHour / 60);
    dt.second = static_cast<int>(inDay % 60);
    return dt;
}

// The zone's offset at `t` when the C library's time there is `t` shifted by it.
std::optional<std::int64_t> PlainOffsetAt(std::time_t t)
{
    std::tm tm{};
    if (!::localtime_r(&t, &tm))
        return std::nullopt;
    const std::int64_t offset = tm.tm_gmtoff;
    const LocalDateTime expected{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                                 tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    if (CivilTime(static_cast<std::int64_t>(t) + offset) != expected)
        return std::nullopt;
    return offset;
}

} // namespace

LocalDateTime LocalTimes::of(std::time_t t)
{
    const auto seconds = static_cast<std::int64_t>(t);
    // Far from any file's time the hour's ends could leave the type's range.
    constexpr std::int64_t kNear = std::int64_t{1} << 50;
    if (seconds < -kNear || seconds > kNear)
        return ToLocalDateTime(t);
    const std::int64_t hour = FloorDiv(seconds, kSecondsPerHour);
    constexpr std::size_t kSlots = 4096;
    if (m_hours.empty())
        m_hours.assign(kSlots, Hour{INT64_MIN, kSeenOnce, {}});
    Hour& at = m_hours[static_cast<std::size_t>(hour) % kSlots];
    if (at.number != hour) {
        at = {hour, kSeenOnce, {}};
        return ToLocalDateTime(t);
    }
    const std::int64_t start = hour * kSecondsPerHour;
    if (at.offset == kSeenOnce) {
        const auto first = PlainOffsetAt(static_cast<std::time_t>(start));
        const auto last = PlainOffsetAt(static_cast<std::time_t>(start + kSecondsPerHour - 1));
        at.offset = first && last && *first == *last ? *first : kUneven;
        if (at.offset != kUneven)
            at.start = CivilTime(start + at.offset);
    }
    if (at.offset == kUneven)
        return ToLocalDateTime(t);
    // Within the local day the hour starts in, only the clock moves on.
    const std::int64_t inDay = at.start.hour * kSecondsPerHour + at.start.minute * 60 +
                               at.start.second + (seconds - start);
    if (inDay >= kSecondsPerDay)
        return CivilTime(seconds + at.offset);
    LocalDateTime dt = at.start;
    dt.hour = static_cast<int>(inDay / kSecondsPerHour);
    dt.minute = static_cast<int>(inDay % kSecondsPerHour / 60);
    dt.second = static_cast<int>(inDay % 60);
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
