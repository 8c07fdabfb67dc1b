#include "platform/localeformats.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace tessaloom
