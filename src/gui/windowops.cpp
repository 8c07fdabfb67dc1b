#include "gui/windowops.h"

#include "gui/programcontext.h"
#include "shell/twips.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMediaDevices>
#include <QScreen>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <algorithm>

namespace tessaloom::gui {

namespace {

double logicalDpi(const QWidget* form)
{
    const QScreen* screen =
        form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

// The longest a sound may hold up its caller. The program's sounds last well
// under half a second; a stuck audio device must not freeze the window.
constexpr int kLongestSoundMs = 1500;

void letEventsRun()
{
    QCoreApplication::processEvents();
}

// Runs a slide plan on the real window: each step sets one coordinate and lets
// events run, so the window is repainted as it moves. The other coordinate stays
// at its pixel, so rounding between twips and pixels cannot make it wander.
void runSlide(QWidget* form, const SlidePlan& plan)
{
    if (!plan.soundBefore.empty())
        PlaySoundFile(QString::fromStdString(plan.soundBefore));
    const double dpi = logicalDpi(form);
    const QPoint start = form->pos();
    for (const int position : plan.positions) {
        const int pixels = TwipsToPixels(position, dpi);
        form->move(plan.axis == SlideAxis::Left ? QPoint(pixels, start.y())
                                                : QPoint(start.x(), pixels));
        letEventsRun();
    }
    if (plan.hideAfter)
        form->hide();
    if (plan.finalLeft || plan.finalTop) {
        const QPoint now = form->pos();
        form->move(plan.finalLeft ? TwipsToPixels(*plan.finalLeft, dpi) : now.x(),
                   plan.finalTop ? TwipsToPixels(*plan.finalTop, dpi) : now.y());
    }
    if (!plan.soundAfter.empty())
        PlaySoundFile(QString::fromStdString(plan.soundAfter));
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

PlacementLimits PlacementLimitsOf(const QWidget* form)
{
    const QScreen* screen =
        form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    if (!screen || !form)
        return {};
    const double dpi = screen->logicalDotsPerInch();
    const QRect area = screen->availableGeometry();
    const QSize extra = form->frameGeometry().size() - form->geometry().size();
    const QSize least = form->minimumSize() + extra;
    return {{PixelsToTwips(area.x(), dpi), PixelsToTwips(area.y(), dpi),
             PixelsToTwips(area.width(), dpi), PixelsToTwips(area.height(), dpi)},
            PixelsToTwips(least.width(), dpi),
            PixelsToTwips(least.height(), dpi)};
}

void KeepWindowPlacement(QWidget* form, int mode)
{
    WindowRect rect = WindowRectInTwips(form);
    const std::string caption = form->windowTitle().toStdString();
    if (tessaloom::KeepWindowPlacement(rect, caption, mode, ScreenSizeInTwips(form),
                                       Program().settingsPath(), PlacementLimitsOf(form)) &&
        mode == 1)
        SetWindowRectInTwips(form, rect);
}

void SlideIn(QWidget* form, const QString& direction)
{
    runSlide(form, tessaloom::SlideIn(WindowRectInTwips(form), direction.toStdString(),
                                      ScreenSizeInTwips(form)));
}

void SlideOut(QWidget* form, const QString& direction)
{
    runSlide(form, tessaloom::SlideOut(WindowRectInTwips(form), direction.toStdString(),
                                       ScreenSizeInTwips(form)));
}

void PlaySoundFile(const QString& fileName, int flags)
{
    Q_UNUSED(flags); // every caller plays synchronously
    const std::string path = SoundFilePath(Program().programFolder(), fileName.toStdString());
    if (path.empty())
        return;
    // Plays to the end as the callers expect (a slide-out moves only after its
    // sound), but inside a local event loop, so the windows keep repainting, and
    // never for longer than kLongestSoundMs. No output device: silence.
    if (!QMediaDevices::defaultAudioOutput().isNull()) {
        QSoundEffect effect;
        QEventLoop loop;
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        bool started = false;
        const auto playWhenReady = [&] {
            if (effect.status() == QSoundEffect::Ready && !started) {
                started = true;
                effect.play();
            } else if (effect.status() == QSoundEffect::Error) {
                loop.quit();
            }
        };
        QObject::connect(&effect, &QSoundEffect::statusChanged, &loop, playWhenReady);
        QObject::connect(&effect, &QSoundEffect::playingChanged, &loop, [&] {
            if (!effect.isPlaying())
                loop.quit();
        });
        effect.setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
        playWhenReady();
        if (effect.status() != QSoundEffect::Error) {
            guard.start(kLongestSoundMs);
            loop.exec();
        }
        effect.stop();
    }
    letEventsRun();
}

} // namespace tessaloom::gui
