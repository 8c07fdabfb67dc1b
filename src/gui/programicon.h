#pragma once

#include <QIcon>
#include <QPixmap>

namespace tessaloom::gui {

/// The program's picture, `size` pixels square, drawn from the PNG nearest in size
/// that the build embeds.
QPixmap ProgramPicture(int size);

/// The program's icon in every embedded size, for window icons.
QIcon ProgramIcon();

} // namespace tessaloom::gui
