#include "gui/programicon.h"

#include <QApplication>
#include <QFile>

#include <array>

// A resource file in a static library is not linked in unless something names
// its initialiser, and Q_INIT_RESOURCE must be used outside any namespace.
static void InitProgramIconResource()
{
    Q_INIT_RESOURCE(programicon);
}

namespace tessaloom::gui {

namespace {

constexpr std::array kSizes{16, 32, 48, 64, 128, 256};

QString ResourcePath(int size)
{
    return QStringLiteral(":/tessaloom/icons/%1.png").arg(size);
}

void EnsureResource()
{
    static const bool initialised = [] {
        InitProgramIconResource();
        return true;
    }();
    Q_UNUSED(initialised);
}

} // namespace

QPixmap ProgramPicture(int size)
{
    EnsureResource();
    int best = kSizes.back();
    for (int s : kSizes) {
        if (s >= size) {
            best = s;
            break;
        }
    }
    QPixmap picture(ResourcePath(best));
    if (picture.isNull() || best == size)
        return picture;
    return picture.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QIcon ProgramIcon()
{
    EnsureResource();
    QIcon icon;
    for (int s : kSizes)
        icon.addFile(ResourcePath(s), QSize(s, s));
    return icon;
}

void SetProgramIdentity()
{
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaloom"));
}

} // namespace tessaloom::gui
