#include "indexer/progressbar.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessaloom {
namespace {

TEST(FilledBarWidth, FollowsTheCounterLessFiftyTwips)
{
    // Last file: 30 twips in from the empty bar's left edge, 20 short of its right.
    EXPECT_EQ(FilledBarWidth(kEmptyBarWidth, 1.0), kEmptyBarWidth - 50);
    EXPECT_EQ(kFilledBarLeft + *FilledBarWidth(kEmptyBarWidth, 1.0),
              kEmptyBarLeft + kEmptyBarWidth - 20);
    EXPECT_EQ(FilledBarWidth(kEmptyBarWidth, 0.5), 3730);
    // 1 of 3 in floating point: 2520 - 50, not an integer division's 2519 or 0.
    EXPECT_EQ(FilledBarWidth(kEmptyBarWidth, 1.0 / 3.0), 2470);
}

TEST(FilledBarWidth, NegativeWidthIsNotApplied)
{
    // Early in a 20,000-file run the bar would be 0.378 - 50 twips wide.
    EXPECT_FALSE(FilledBarWidth(kEmptyBarWidth, 1.0 / 20000.0).has_value());
    EXPECT_FALSE(FilledBarWidth(kEmptyBarWidth, 0.0).has_value());
    // Exactly 50 twips' worth: a bar of width 0 is a width, and it is applied.
    EXPECT_EQ(FilledBarWidth(1000, 0.05), 0);
    EXPECT_FALSE(FilledBarWidth(1000, 0.0499).has_value());
}

TEST(FilledBarWidth, OddPositionsStayInsideTheBar)
{
    EXPECT_FALSE(FilledBarWidth(kEmptyBarWidth, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(FilledBarWidth(kEmptyBarWidth, 1.5), kEmptyBarWidth - 50);
    EXPECT_EQ(FilledBarWidth(kEmptyBarWidth, std::numeric_limits<double>::infinity()),
              kEmptyBarWidth - 50);
}

} // namespace
} // namespace tessaloom
