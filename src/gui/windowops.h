#pragma once

#include "shell/placement.h"

#include <QString>

class QWidget;

// The window operations every window shares: centring, the placement record in the
// settings file, sliding on and off the screen, and the two sounds. Geometry is
// converted to twips at the screen's logical DPI so the core's rules apply as written.
namespace tessaloom::gui {

/// The logical DPI of the window's screen (the primary screen's while it has none;
/// 96 without any screen): the one rate at which every window turns twips into
/// pixels and back, so that windows laid out together agree.
double ScreenDpi(const QWidget* form);
/// The window's outer frame geometry in twips.
WindowRect WindowRectInTwips(const QWidget* form);
/// Moves and resizes the window (outer frame) to `rect`, given in twips.
void SetWindowRectInTwips(QWidget* form, const WindowRect& rect);
/// The size of the screen the window is on (or the primary screen), in twips.
ScreenSize ScreenSizeInTwips(const QWidget* form);

/// Where a restored placement may put the window: its screen's available area and
/// its least outer size, in twips.
PlacementLimits PlacementLimitsOf(const QWidget* form);

/// `CentreForm`: moves the window to the middle of its screen.
void CentreForm(QWidget* form);
/// `KeepWindowPlacement`: Restore sets the window's placement from the settings
/// file (key: its caption), Save writes it.
void KeepWindowPlacement(QWidget* form, PlacementMode mode);
/// `SlideIn` / `SlideOut` in direction "UP", "DOWN", "LEFT" or "RIGHT" (any case).
void SlideIn(QWidget* form, const QString& direction);
void SlideOut(QWidget* form, const QString& direction);
/// `PlaySoundFile`: plays program folder + `fileName`; silence when the file or a
/// sound device is missing.
void PlaySoundFile(const QString& fileName, int flags = 0);

} // namespace tessaloom::gui
