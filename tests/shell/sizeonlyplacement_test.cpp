#include "shell/sizeonlyplacement.h"

#include "shell/inistore.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

using test::TestDir;

const ScreenSize kScreen{28800, 16200}; // 1920 x 1080 pixels at 96 DPI

std::string Record(const std::string& path, std::string_view caption)
{
    return ReadSetting("General", caption, kNotPreviouslyLoaded, path);
}

TEST(SizeOnlyPlacement, RestoresTheSizeAndNeverWritesAPositionOfItsOwn)
{
    TestDir dir;
    const std::string path = (dir / "TSL.INI").string();
    // What the window reports where the compositor places it: a position of nothing.
    const WindowRect reported{0, 0, 9000, 6000};

    // No record: the restore leaves the window alone; the save writes the centred
    // position, not the reported one.
    WindowRect w = reported;
    EXPECT_FALSE(KeepWindowSize(w, "Tessaloom", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(w, reported);
    EXPECT_TRUE(KeepWindowSize(w, "Tessaloom", PlacementMode::Save, kScreen, path));
    EXPECT_EQ(Record(path, "Tessaloom"), EncodePlacement({9900, 5100, 9000, 6000}));

    // A record from an X11 session: its size comes back, its position stays in the
    // file through a save with a new size.
    ASSERT_TRUE(
        WriteSetting("General", "Tessaloom", EncodePlacement({1500, 1200, 12000, 8000}), path));
    w = reported;
    EXPECT_TRUE(KeepWindowSize(w, "Tessaloom", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(w, (WindowRect{0, 0, 12000, 8000}));
    w.width = 10000;
    EXPECT_TRUE(KeepWindowSize(w, "Tessaloom", PlacementMode::Save, kScreen, path));
    EXPECT_EQ(Record(path, "Tessaloom"), EncodePlacement({1500, 1200, 10000, 8000}));

    // A recorded position that would leave the window off this screen is not kept.
    ASSERT_TRUE(
        WriteSetting("General", "Tessaloom", EncodePlacement({40000, 1200, 9000, 6000}), path));
    w = reported;
    EXPECT_TRUE(KeepWindowSize(w, "Tessaloom", PlacementMode::Save, kScreen, path));
    EXPECT_EQ(Record(path, "Tessaloom"), EncodePlacement({9900, 5100, 9000, 6000}));

    // A record of a size no screen holds comes back as large as the screen, not as
    // a window of gigabytes.
    ASSERT_TRUE(
        WriteSetting("General", "Tessaloom", EncodePlacement({0, 0, 99999999, 99999999}), path));
    w = reported;
    EXPECT_TRUE(KeepWindowSize(w, "Tessaloom", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(w, (WindowRect{0, 0, kScreen.width, kScreen.height}));

    // A record without a usable size restores nothing.
    ASSERT_TRUE(WriteSetting("General", "Tessaloom", "garbage", path));
    w = reported;
    EXPECT_FALSE(KeepWindowSize(w, "Tessaloom", PlacementMode::Restore, kScreen, path));
    EXPECT_EQ(w, reported);

    // A blank caption or an empty window: nothing read, nothing written.
    w = reported;
    EXPECT_FALSE(KeepWindowSize(w, "  ", PlacementMode::Save, kScreen, path));
    WindowRect empty{0, 0, 0, 0};
    EXPECT_FALSE(KeepWindowSize(empty, "View/Delete Wizard", PlacementMode::Save, kScreen, path));
    EXPECT_EQ(Record(path, "View/Delete Wizard"), kNotPreviouslyLoaded);
}

} // namespace
} // namespace tessaloom
