#include "mainwindow/mainlayout.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

TEST(MainLayout, SmallerThanTheMinimumSnapsBackToIt)
{
    struct Case
    {
        int width, height, wantWidth, wantHeight;
    };
    const Case cases[] = {
        {100, 100, 6700, 6200},   {6699, 6199, 6700, 6200}, {6700, 6200, 6700, 6200},
        {9000, 5000, 9000, 6200}, {5000, 9000, 6700, 9000}, {-50, 0, 6700, 6200},
    };
    for (const Case& c : cases) {
        const MainResize r = ResizeMainLayout(c.width, c.height, InitialMainLayout());
        EXPECT_EQ(r.width, c.wantWidth) << c.width << "x" << c.height;
        EXPECT_EQ(r.height, c.wantHeight) << c.width << "x" << c.height;
    }
}

TEST(MainLayout, AtTheMinimumSize)
{
    const MainLayout l = ResizeMainLayout(6700, 6200, InitialMainLayout()).layout;
    EXPECT_EQ(l.FrameOptions.width, 6450);
    EXPECT_EQ(l.frmCacheFolders.width, 6200);
    EXPECT_EQ(l.cmboCacheFolders.width, 4900);
    EXPECT_EQ(l.Dir1.width, 3350);
    EXPECT_EQ(l.Drv_DriveList.width, 3350);
    EXPECT_EQ(l.txtFolders.width, 3350);
    // The folder list's width plus 200, not its right edge (75 + 3350) plus 200.
    EXPECT_EQ(l.File1.left, 3550);
    EXPECT_EQ(l.File1.width, 6700 - 3550 - 200);
    EXPECT_EQ(l.FrameOptions.top, 6200 - 2775 - 1700);
    EXPECT_EQ(l.File1.height, l.FrameOptions.top - 480);
    EXPECT_EQ(l.Dir1.height, l.FrameOptions.top - 1440 - 200);
    EXPECT_EQ(l.btnRefreshFolders, (WindowRect{120 + 4900 + 50, 240, 975, 375}));
    EXPECT_EQ(l.btnCreateIndex, (WindowRect{6700 / 2 - 2175 / 2, 1725 + 2775 + 50, 2175, 735}));
    EXPECT_EQ(l.lblFiles, (WindowRect{3550, 240, (6700 - 3550 - 200) / 2, 255}));
    EXPECT_EQ(l.txtFileMask, (WindowRect{4700, 120, 1695, 195}));
}

TEST(MainLayout, ATallerWindowMovesTheOptionsAndTheButtonDownAndLengthensTheLists)
{
    const MainLayout a = ResizeMainLayout(9000, 8000, InitialMainLayout()).layout;
    const MainLayout b = ResizeMainLayout(9000, 9500, a).layout;
    EXPECT_EQ(b.FrameOptions.top - a.FrameOptions.top, 1500);
    EXPECT_EQ(b.btnCreateIndex.top - a.btnCreateIndex.top, 1500);
    EXPECT_EQ(b.File1.height - a.File1.height, 1500);
    EXPECT_EQ(b.Dir1.height - a.Dir1.height, 1500);
    EXPECT_EQ(b.FrameOptions.height, 2775);
    // Nothing at the top of the window moves, and the widths stay.
    for (auto member : {&MainLayout::Drv_DriveList, &MainLayout::txtFolders, &MainLayout::Dir1,
                        &MainLayout::lblFiles, &MainLayout::txtFileMask, &MainLayout::File1,
                        &MainLayout::cmboCacheFolders, &MainLayout::btnCreateIndex}) {
        EXPECT_EQ((b.*member).left, (a.*member).left);
        EXPECT_EQ((b.*member).width, (a.*member).width);
    }
    EXPECT_EQ(b.File1.top, 480);
    EXPECT_EQ(b.Dir1.top, 1440);
}

TEST(MainLayout, AWiderWindowWidensTheListsAndKeepsTheButtonCentred)
{
    const MainLayout l = ResizeMainLayout(12001, 8000, InitialMainLayout()).layout;
    EXPECT_EQ(l.Dir1.width, 6000);
    EXPECT_EQ(l.File1.left + l.File1.width, 12001 - 200);
    EXPECT_EQ(l.btnCreateIndex.left, 12001 / 2 - 2175 / 2);
    EXPECT_EQ(l.btnRefreshFolders.left, l.cmboCacheFolders.left + l.cmboCacheFolders.width + 50);
    EXPECT_EQ(l.txtFileMask.left, 10001);
    // Controls no rule names keep their design places.
    const MainLayout design = InitialMainLayout();
    EXPECT_EQ(l.chkLaunchViewDeleteWizard, design.chkLaunchViewDeleteWizard);
    EXPECT_EQ(l.txtMinFileCount, design.txtMinFileCount);
    EXPECT_EQ(l.lblDrives, design.lblDrives);
}

} // namespace
} // namespace tessaloom
