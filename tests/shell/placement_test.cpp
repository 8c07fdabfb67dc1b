#include "shell/placement.h"

#include "shell/inistore.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

using test::TestDir;

const ScreenSize kScreen{28800, 16200}; // 1920 x 1080 pixels at 96 DPI

TEST(Placement, RecordFormat)
{
    EXPECT_EQ(EncodePlacement({-300, 1200, 9000, 6000}), "-0000300000012000000900000006000");
    EXPECT_EQ(EncodePlacement({0, 1500, 99999999, -9999999}), "0000000000001500"
                                                              "99999999-9999999");
    // Values beyond 8 characters are held at the edge so the record keeps its length.
    EXPECT_EQ(EncodePlacement({123456789, -123456789, 0, 0}).size(), 32u);

    const WindowRect r{-300, 1200, 9000, 6000};
    EXPECT_EQ(ParsePlacement(EncodePlacement(r)), r);
    // Only the first 32 characters count.
    EXPECT_EQ(ParsePlacement(EncodePlacement(r) + "12345678"), r);
    // A short record still takes its height from its last 8 characters.
    EXPECT_EQ(ParsePlacement("0000150000002000000090"), (WindowRect{1500, 2000, 90, 90}));
    EXPECT_EQ(ParsePlacement("00001500"), (WindowRect{1500, 0, 0, 1500}));
    EXPECT_EQ(ParsePlacement("42"), (WindowRect{42, 0, 0, 42}));
    // Odd pieces: the leading number, rounded down; anything else 0.
    EXPECT_EQ(ParsePlacement("12.9abcd-12.5   garbage!00000100"), (WindowRect{12, -13, 0, 100}));
    EXPECT_EQ(ParsePlacement(""), WindowRect{});
}

TEST(Placement, ValidityMarginAtEachEdge)
{
    const struct
    {
        WindowRect w;
        bool valid;
    } cases[] = {
        {{-8300, 1000, 9000, 5000}, true},  // right edge at 700
        {{-8301, 1000, 9000, 5000}, false}, // right edge at 699
        {{1000, -4300, 9000, 5000}, true},  {{1000, -4301, 9000, 5000}, false},
        {{28100, 1000, 9000, 5000}, true}, // left edge 700 from the screen's right
        {{28101, 1000, 9000, 5000}, false}, {{1000, 15500, 9000, 5000}, true},
        {{1000, 15501, 9000, 5000}, false}, {{-300, 1200, 9000, 6000}, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPlacementValid(c.w, kScreen), c.valid) << c.w.left << "," << c.w.top;
}

TEST(Placement, KeepPlacementRecordRestoresAndSaves)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();

    // Never saved: centred.
    WindowRect w{0, 0, 9000, 6000};
    ASSERT_TRUE(KeepPlacementRecord(w, "Tessaloom", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(w, (WindowRect{9900, 5100, 9000, 6000}));

    // Saved under the caption, then put back as saved.
    WindowRect saved{-300, 1200, 9000, 6000};
    ASSERT_TRUE(KeepPlacementRecord(saved, "Tessaloom", PlacementMode::Save, kScreen, path));
    EXPECT_EQ(ReadSetting("General", "Tessaloom", "", path), "-0000300000012000000900000006000");
    WindowRect restored = CentredRect({0, 0, 5000, 5000}, kScreen);
    ASSERT_TRUE(KeepPlacementRecord(restored, "Tessaloom", PlacementMode::Restore, kScreen, path));
    // Put back inside the screen: the part beyond its left edge moves in.
    EXPECT_EQ(restored, (WindowRect{0, 1200, 9000, 6000}));

    // Almost off the screen: the earlier record stays; blank captions do nothing.
    WindowRect offScreen{-9000, 1200, 8000, 6000};
    EXPECT_FALSE(KeepPlacementRecord(offScreen, "Tessaloom", PlacementMode::Save, kScreen, path));
    EXPECT_FALSE(
        KeepPlacementRecord(offScreen, "Tessaloom", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(offScreen, (WindowRect{-9000, 1200, 8000, 6000}));
    EXPECT_FALSE(KeepPlacementRecord(saved, "   ", PlacementMode::Save, kScreen, path));
    EXPECT_EQ(ReadSetting("General", "Tessaloom", "", path), "-0000300000012000000900000006000");

    // A record that this screen cannot show (a larger screen's, or hand-edited)
    // would be lost for good, since it is never saved back: centred instead.
    ASSERT_TRUE(
        WriteSetting("General", "View/Delete Wizard", "00040000000010000000900000006000", path));
    WindowRect wizard{1000, 1000, 9000, 6000};
    ASSERT_TRUE(
        KeepPlacementRecord(wizard, "View/Delete Wizard", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(wizard, CentredRect({1000, 1000, 9000, 6000}, kScreen));
}

TEST(Placement, RestoredRecordsFitTheAvailableArea)
{
    // A screen of 1920 x 1080 pixels with a 40-pixel panel at its top.
    const PlacementLimits limits{{0, 600, 28800, 15600}, 6000, 4500};
    const struct
    {
        const char* record;
        std::optional<WindowRect> restored; // nothing: taken as missing, centred
    } cases[] = {
        // Inside the area: as saved.
        {"00001000000010000000900000006000", WindowRect{1000, 1000, 9000, 6000}},
        // Wider and taller than the area, from the settings file of an attack or of
        // a larger screen: the area's size, at its corner.
        {"00000000000000009999999999999999", WindowRect{0, 600, 28800, 15600}},
        {"00001000000010000048000000480000", WindowRect{0, 600, 28800, 15600}},
        // Overhanging an edge: moved in; below the least size: the least size.
        {"00025000000140000000900000006000", WindowRect{19800, 10200, 9000, 6000}},
        {"-0004000000000000000900000006000", WindowRect{0, 600, 9000, 6000}},
        {"00001000000010000000010000000100", WindowRect{1000, 1000, 6000, 4500}},
        // No window has such a size: as if never saved.
        {"00001000000010000000000000006000", std::nullopt},
        {"0000100000001000-000900000006000", std::nullopt},
        {"0000100000001000000090000000000", std::nullopt},
        {"NOT A PLACEMENT AT ALL, REALLY!!", std::nullopt},
    };
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteSetting("General", "View/Delete Wizard", c.record, path)) << c.record;
        WindowRect w{0, 0, 9000, 6000};
        ASSERT_TRUE(KeepPlacementRecord(w, "View/Delete Wizard", PlacementMode::Restore, kScreen,
                                        path, limits))
            << c.record;
        EXPECT_EQ(w, c.restored.value_or(CentredRect({0, 0, 9000, 6000}, kScreen))) << c.record;
    }
    // An area smaller than the least size: the least size, at the area's corner.
    EXPECT_EQ(FitRestoredPlacement({500, 500, 9000, 9000}, {{100, 200, 3000, 2000}, 6000, 4500}),
              (WindowRect{100, 200, 6000, 4500}));
}

TEST(Placement, SlideOutSteps)
{
    const WindowRect w{2000, 1000, 5000, 2000};
    const SlidePlan up = SlideOutPlan(w, "UP", {15000, 10000});
    EXPECT_EQ(up.soundBefore, "message2.wav");
    EXPECT_EQ(up.axis, SlideAxis::Top);
    EXPECT_EQ(up.positions, (std::vector<int>{1000, 600, 200, -200, -600, -1000, -1400, -1800}));
    EXPECT_TRUE(up.hideAfter);
    EXPECT_EQ(up.finalLeft, 2000);
    EXPECT_EQ(up.finalTop, 1000);
    EXPECT_TRUE(up.soundAfter.empty());

    const SlidePlan down = SlideOutPlan(w, "down", {15000, 10000});
    EXPECT_EQ(down.positions.front(), 1000);
    EXPECT_EQ(down.positions.back(), 10200); // the last step not past height + 300
    EXPECT_EQ(down.positions.size(), 24u);

    const SlidePlan left = SlideOutPlan(w, "Left", {15000, 10000});
    EXPECT_EQ(left.axis, SlideAxis::Left);
    EXPECT_EQ(left.positions, (std::vector<int>{2000, 1400, 800, 200, -400, -1000, -1600, -2200,
                                                -2800, -3400, -4000, -4600}));
    const SlidePlan right = SlideOutPlan(w, "RIGHT", {15000, 10000});
    EXPECT_EQ(right.positions.back(), 14600);

    const SlidePlan none = SlideOutPlan(w, "sideways", {15000, 10000});
    EXPECT_EQ(none.axis, SlideAxis::None);
    EXPECT_TRUE(none.positions.empty());
    EXPECT_TRUE(none.hideAfter);
}

TEST(Placement, SlideInSteps)
{
    const WindowRect w{2000, 1000, 5000, 2000};
    const SlidePlan down = SlideInPlan(w, "down", {15000, 10000});
    EXPECT_EQ(down.axis, SlideAxis::Top);
    ASSERT_EQ(down.positions.size(), 16u); // -2000 to 1000 by 200
    EXPECT_EQ(down.positions.front(), -2000);
    EXPECT_EQ(down.positions.back(), 1000);
    EXPECT_EQ(down.finalTop, 1000);
    EXPECT_FALSE(down.finalLeft);
    EXPECT_FALSE(down.hideAfter);
    EXPECT_TRUE(down.soundBefore.empty());
    EXPECT_EQ(down.soundAfter, "ClickBg.wav");
    EXPECT_EQ(SlideInPlan(w, "DOWN", {15000, 10000}).positions, down.positions);

    // A step that does not land on the target: the final set puts it there.
    const SlidePlan left = SlideInPlan(w, "LEFT", {15000, 10000});
    EXPECT_EQ(left.positions.front(), 15000);
    EXPECT_EQ(left.positions.back(), 2100);
    EXPECT_EQ(left.finalLeft, 2000);
    EXPECT_EQ(SlideInPlan(w, "UP", {15000, 10000}).positions.front(), 10000);
    EXPECT_EQ(SlideInPlan(w, "RIGHT", {15000, 10000}).positions.front(), -5000);

    const SlidePlan none = SlideInPlan(w, "", {15000, 10000});
    EXPECT_TRUE(none.positions.empty());
    EXPECT_FALSE(none.finalLeft);
    EXPECT_FALSE(none.finalTop);
    EXPECT_EQ(none.soundAfter, "ClickBg.wav");
}

TEST(Placement, NotedPositionsAreSixteenBit)
{
    EXPECT_EQ(NotedPosition(-32768), -32768);
    EXPECT_EQ(NotedPosition(32767), 32767);
    EXPECT_EQ(NotedPosition(32768), 0);
    EXPECT_EQ(NotedPosition(-32769), 0);

    const WindowRect farRight{40000, 1000, 5000, 2000};
    const SlidePlan out = SlideOutPlan(farRight, "UP", kScreen);
    EXPECT_EQ(out.finalLeft, 0);
    EXPECT_EQ(out.finalTop, 1000);
    const SlidePlan in = SlideInPlan(farRight, "LEFT", kScreen);
    EXPECT_EQ(in.positions.back(), 0);
    EXPECT_EQ(in.finalLeft, 0);
}

TEST(Placement, DegenerateScreenStillEndsSoon)
{
    const WindowRect w{2000, 1000, 5000, 2000};
    for (const ScreenSize screen : {ScreenSize{0, 0}, ScreenSize{10, 10}}) {
        const SlidePlan out = SlideOutPlan(w, "UP", screen);
        EXPECT_FALSE(out.positions.empty());
        EXPECT_LE(out.positions.size(), 10001u);
        EXPECT_GE(out.positions.back(), -2000);
        const SlidePlan in = SlideInPlan(w, "RIGHT", screen);
        EXPECT_LE(in.positions.size(), 10001u);
        EXPECT_EQ(in.finalLeft, 2000);
    }
    const SlidePlan tall = SlideOutPlan({0, 0, 5000, 2000000000}, "UP", {10, 10});
    EXPECT_LE(tall.positions.size(), 10001u);
    EXPECT_GE(tall.positions.back(), -2000000000);
}

TEST(Placement, MissingSoundFileIsSilence)
{
    TestDir dir;
    const std::string folder = dir.path().string() + "/";
    EXPECT_EQ(SoundFilePath(folder, "ClickBg.wav"), "");
    dir.createFile("ClickBg.wav", "RIFF");
    EXPECT_EQ(SoundFilePath(folder, "ClickBg.wav"), folder + "ClickBg.wav");
}

} // namespace
} // namespace tessaloom
