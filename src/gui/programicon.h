#pragma once

#include <QIcon>
#include <QPixmap>

namespace tessaloom::gui {

/// The program's picture, `size` pixels square, drawn from the PNG nearest in size
/// that the build embeds.
QPixmap ProgramPicture(int size);

/// The program's icon in every embedded size, for window icons.
QIcon ProgramIcon();

/// Gives every window of the program its icon, and tells the desktop which entry
/// the program is (Wayland compositors take the task bar's icon from that entry).
void SetProgramIdentity();

} // namespace tessaloom::gui
