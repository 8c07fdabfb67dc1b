#include "gui/windowops.h"

#include "gui/programcontext.h"
#include "shell/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

// First cut: geometry and placement; slides jump to their end and sounds are silent
// until the animated and audible versions land.
namespace tessaloom::gui {

namespace {

double logicalDpi(const QWidget* form)
{
    const QScreen* screen =
        form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

} // namespace

WindowRect WindowRectInTwips(const QWidget* form)
{
    const double dpi = logicalDpi(form);
    const QRect frame = form->frameGeometry();
    return {PixelsToTwips(frame.x(), dpi), PixelsToTwips(frame.y(), dpi),
            PixelsToTwips(frame.width(), dpi), PixelsToTwips(frame.height(), dpi)};
}

void SetWindowRectInTwips(QWidget* form, const WindowRect& rect)
{
    const double dpi = logicalDpi(form);
    const QRect frame = form->frameGeometry();
    const QRect inner = form->geometry();
    const int extraWidth = frame.width() - inner.width();
    const int extraHeight = frame.height() - inner.height();
    form->move(TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi));
    form->resize(std::max(0, TwipsToPixels(rect.width, dpi) - extraWidth),
                 std::max(0, TwipsToPixels(rect.height, dpi) - extraHeight));
}

ScreenSize ScreenSizeInTwips(const QWidget* form)
{
    const QScreen* screen =
        form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const double dpi = screen->logicalDotsPerInch();
    const QSize size = screen->geometry().size();
    return {PixelsToTwips(size.width(), dpi), PixelsToTwips(size.height(), dpi)};
}

void CentreForm(QWidget* form)
{
    SetWindowRectInTwips(form,
                         tessaloom::CentreForm(WindowRectInTwips(form), ScreenSizeInTwips(form)));
}

void KeepWindowPlacement(QWidget* form, int mode)
{
    WindowRect rect = WindowRectInTwips(form);
    const std::string caption = form->windowTitle().toStdString();
    if (tessaloom::KeepWindowPlacement(rect, caption, mode, ScreenSizeInTwips(form),
                                       Program().settingsPath()) &&
        mode == 1)
        SetWindowRectInTwips(form, rect);
}

void SlideIn(QWidget* form, const QString& direction)
{
    Q_UNUSED(form);
    Q_UNUSED(direction);
}

void SlideOut(QWidget* form, const QString& direction)
{
    Q_UNUSED(direction);
    form->hide();
}

void PlaySoundFile(const QString& fileName, int flags)
{
    Q_UNUSED(fileName);
    Q_UNUSED(flags);
}

} // namespace tessaloom::gui
