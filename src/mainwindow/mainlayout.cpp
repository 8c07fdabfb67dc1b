#include "mainwindow/mainlayout.h"

namespace tessaloom {

MainLayout InitialMainLayout()
{
    MainLayout l;
    l.lblDrives = {120, 120, 1575, 255};
    l.Drv_DriveList = {75, 360, 6135, 315};
    l.lblFolders = {90, 840, 735, 255};
    l.txtFolders = {120, 1080, 6015, 285};
    l.Dir1 = {75, 1440, 6015, 2010};
    l.txtFileMask = {7440, 120, 1695, 195};
    l.lblFiles = {6480, 240, 1575, 255};
    l.File1 = {6480, 480, 3135, 2970};
    l.FrameOptions = {75, 3840, 9615, 2775};
    l.frmCacheFolders = {120, 360, 9400, 1095};
    l.cmboCacheFolders = {120, 240, 8055, 330};
    l.btnRefreshFolders = {8280, 240, 975, 375};
    l.Label2 = {240, 720, 3975, 255};
    l.txtMinFileCount = {4200, 720, 615, 240};
    l.chkExcludeImages = {240, 1680, 2775, 255};
    l.chkIncludeOnlyImages = {240, 1920, 2895, 255};
    l.chkExcludeBinaryFiles = {240, 2280, 2895, 255};
    l.chkLaunchBrowser = {3960, 1920, 2535, 255};
    l.chkLaunchViewDeleteWizard = {3960, 2160, 3495, 195};
    l.btnCreateIndex = {3840, 6840, 2175, 735};
    return l;
}

MainResize ResizeMainLayout(int width, int height, const MainLayout& current)
{
    MainResize r{width, height, current};
    MainLayout& l = r.layout;
    if (r.height < kMainMinimumHeight) // 1
        r.height = kMainMinimumHeight;
    if (r.width < kMainMinimumWidth) // 2
        r.width = kMainMinimumWidth;
    const int w = r.width;
    const int h = r.height;

    l.Drv_DriveList.width = l.Dir1.width = l.txtFolders.width = w / 2;                  // 3
    l.FrameOptions.width = w - 250;                                                     // 4
    l.FrameOptions.top = h - l.FrameOptions.height - 1700;                              // 5
    l.frmCacheFolders.width = w - 500;                                                  // 6
    l.cmboCacheFolders.width = l.frmCacheFolders.width - 1300;                          // 7
    l.btnRefreshFolders.left = l.cmboCacheFolders.left + l.cmboCacheFolders.width + 50; // 8
    l.btnRefreshFolders.top = l.cmboCacheFolders.top;
    l.btnCreateIndex.top = l.FrameOptions.top + l.FrameOptions.height + 50; // 9
    l.btnCreateIndex.left = w / 2 - l.btnCreateIndex.width / 2;
    // 10: from the folder list's width, not its right edge, as the window always did.
    l.File1.left = l.Dir1.width + 200;
    l.File1.width = w - l.File1.left - 200;
    l.File1.height = l.FrameOptions.top - l.File1.top; // 11
    l.Dir1.height = l.FrameOptions.top - l.Dir1.top - 200;
    l.lblFiles.left = l.File1.left; // 12
    l.lblFiles.width = l.File1.width / 2;
    l.txtFileMask.left = w - 2000; // 13
    l.txtFileMask.height = 195;
    return r;
}

} // namespace tessaloom
