#include "gui/programicon.h"

#include <QApplication>
#include <QFile>

#include <array>
#include <memory>

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
    // Adding the files decodes every size; the program, its progress window and the
    // search window all ask, so the icon is made once and shared. It goes before
    // the application does: pictures must not outlive it.
    static std::unique_ptr<QIcon> made;
    if (!made) {
        EnsureResource();
        made = std::make_unique<QIcon>();
        for (int s : kSizes)
            made->addFile(ResourcePath(s), QSize(s, s));
        qAddPostRoutine([] { made.reset(); });
    }
    return *made;
}

void SetProgramIdentity()
{
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("tessaloom"));
}

} // namespace tessaloom::gui
