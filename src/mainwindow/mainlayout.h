#pragma once

#include "shell/placement.h"

// The main window's geometry in twips: where every control starts, the smallest
// outer size, and how the controls follow the window when it is resized.
namespace tessaloom {

inline constexpr int kMainMinimumWidth = 6700;
inline constexpr int kMainMinimumHeight = 6200;
/// The client area the window is created with; start-up then centres it and
/// applies any saved placement.
inline constexpr int kMainInitialClientWidth = 9765;
inline constexpr int kMainInitialClientHeight = 7845;

/// Every control that takes part in the layout. Controls inside a frame are
/// placed relative to that frame: `frmCacheFolders` and the option boxes inside
/// `FrameOptions`, the combo, the button, `Label2` and the count box inside
/// `frmCacheFolders`; the rest relative to the window's client area.
struct MainLayout
{
    WindowRect lblDrives;
    WindowRect Drv_DriveList;
    WindowRect lblFolders;
    WindowRect txtFolders;
    WindowRect Dir1;
    WindowRect txtFileMask;
    WindowRect lblFiles;
    WindowRect File1;
    WindowRect FrameOptions;
    WindowRect frmCacheFolders;
    WindowRect cmboCacheFolders;
    WindowRect btnRefreshFolders;
    WindowRect Label2;
    WindowRect txtMinFileCount;
    WindowRect chkExcludeImages;
    WindowRect chkIncludeOnlyImages;
    WindowRect chkExcludeBinaryFiles;
    WindowRect chkLaunchBrowser;
    WindowRect chkLaunchViewDeleteWizard;
    WindowRect btnCreateIndex;

    friend bool operator==(const MainLayout&, const MainLayout&) = default;
};

/// The geometry the window is designed with.
MainLayout InitialMainLayout();

struct MainResize
{
    /// The outer size after the minimum has been enforced; when it differs from
    /// the size asked for, the window must be set to it.
    int width = 0;
    int height = 0;
    MainLayout layout;
};

/// The resize handler: enforces the minimum outer size, then applies the thirteen
/// rules in order to `current`, each rule seeing the values set before it. `width`
/// and `height` are the window's outer size (frame, title and menu bars included).
MainResize ResizeMainLayout(int width, int height, const MainLayout& current);

} // namespace tessaloom
