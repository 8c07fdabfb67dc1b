#include "shell/twips.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessaloom {
namespace {

TEST(Twips, ConvertsAtTheLogicalDpiAndRoundsToTheNearest)
{
    struct Case
    {
        int twips;
        double dpi;
        int pixels;
    };
    const Case cases[] = {
        {0, 96, 0},     {15, 96, 1},      {7, 96, 0},       {8, 96, 1},      {-8, 96, -1},
        {1440, 96, 96}, {1440, 120, 120}, {9000, 144, 900}, {-300, 96, -20}, {100, 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << " at " << c.dpi;
}

TEST(Twips, PixelsSurviveTheRoundTripAtCommonDpis)
{
    for (double dpi : {72.0, 96.0, 120.0, 144.0, 192.0})
        for (int px = -2000; px <= 4000; ++px)
            ASSERT_EQ(TwipsToPixels(PixelsToTwips(px, dpi), dpi), px) << px << " at " << dpi;
}

TEST(Twips, HugeValuesSaturateInsteadOfOverflowing)
{
    EXPECT_EQ(TwipsToPixels(std::numeric_limits<int>::max(), 1e6), std::numeric_limits<int>::max());
    EXPECT_EQ(PixelsToTwips(std::numeric_limits<int>::min(), 1), std::numeric_limits<int>::min());
}

} // namespace
} // namespace tessaloom
