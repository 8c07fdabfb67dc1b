#include "platform/localeformats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace tessaloom {
namespace {

TEST(LocaleFormats, EnglishUsForms)
{
    const auto us = LocaleFormats::EnglishUS();
    const LocalDateTime dt{2026, 12, 7, 13, 46, 5};
    EXPECT_EQ(FormatShortDate(dt, us), "12/7/2026");
    EXPECT_EQ(FormatGeneralDate(dt, us), "12/7/2026 1:46:05 PM");
    EXPECT_EQ(FormatMediumTime(dt, us), "01:46 PM");
    EXPECT_EQ(FormatMediumTime({2026, 1, 1, 0, 5, 0}, us), "12:05 AM");
    EXPECT_EQ(FormatDateTimePicture({2004, 6, 30}, "MM/dd/yyyy", us), "06/30/2004");
}

TEST(LocaleFormats, OtherSeparatorsAndPictures)
{
    LocaleFormats de;
    de.shortDatePicture = "dd/MM/yyyy";
    de.dateSeparator = ".";
    de.longTimePicture = "HH:mm:ss";
    de.thousandsSeparator = ".";
    EXPECT_EQ(FormatGeneralDate({2026, 3, 4, 5, 6, 7}, de), "04.03.2026 05:06:07");
    EXPECT_EQ(FormatThousands(1234, de), "1.234");
}

TEST(LocaleFormats, ThousandsGrouping)
{
    const auto us = LocaleFormats::EnglishUS();
    EXPECT_EQ(FormatThousands(0, us), "0");
    EXPECT_EQ(FormatThousands(999, us), "999");
    EXPECT_EQ(FormatThousands(1250, us), "1,250");
    EXPECT_EQ(FormatThousands(1234567, us), "1,234,567");
    EXPECT_EQ(FormatThousands(-1234, us), "-1,234");
}

TEST(LocaleFormats, PlainLocaleBehavesAsEnglishUs)
{
    const auto f = LocaleFormats::FromProcessLocale(); // the test main sets "C"
    EXPECT_EQ(f.shortDatePicture, "M/d/yyyy");
    EXPECT_EQ(f.dateSeparator, "/");
    EXPECT_EQ(f.thousandsSeparator, ",");
}

// The same local times as the C library gives, in zones with clock changes on the
// hour, on the half hour and at 2 a.m. local, with offsets of odd minutes, before
// and after a change and on its very seconds, each time asked for several times
// so that the checked hours convert them. Zones as rules, so no zone files are
// needed.
TEST(LocalTimes, SameAsTheCLibrary)
{
    const char* const zones[] = {"EST5EDT,M3.2.0,M11.1.0",
                                 "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0",
                                 "<+0545>-5:45",
                                 "GMT0BST,M3.5.0/1,M10.5.0",
                                 "UTC0",
                                 "<-0330>3:30<-0230>,M3.2.0/0:30,M11.1.0/0:30"};
    const char* const old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    std::vector<std::time_t> times;
    // Every 7 minutes and 13 seconds through 2024, and the seconds around each hour.
    for (std::time_t t = 1704067200 - 86400; t < 1735689600 + 86400; t += 433)
        times.push_back(t);
    for (std::time_t hour = 1710000000 - 1710000000 % 3600; hour < 1731000000; hour += 3600 * 97)
        for (const int d : {-1, 0, 1, 3599})
            times.push_back(hour + d);
    for (const std::time_t t : {std::time_t{-2208988800}, std::time_t{0}, std::time_t{-1},
                                std::time_t{253402300799}, std::time_t{253402300800}})
        times.push_back(t);
    for (const char* zone : zones) {
        SCOPED_TRACE(zone);
        ::setenv("TZ", zone, 1);
        ::tzset();
        LocalTimes local;
        int wrong = 0;
        for (int round = 0; round < 3; ++round)
            for (const std::time_t t : times)
                wrong += local.of(t) != ToLocalDateTime(t);
        EXPECT_EQ(wrong, 0);
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace
} // namespace tessaloom
