#include "gui/windowops.h"

#include "gui/programcontext.h"
#include "gui/windowkit.h"
#include "shell/sizeonlyplacement.h"
#include "shell/twips.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <alsa/asoundlib.h>
#include <canberra.h>

#include <algorithm>
#include <atomic>
#include <memory>

namespace tessaloom::gui {

namespace {

// The window's screen; the primary one while it has none (or without a window).
const QScreen* ScreenOf(const QWidget* form)
{
    return form && form->screen() ? form->screen() : QGuiApplication::primaryScreen();
}

} // namespace

double ScreenDpi(const QWidget* form)
{
    const QScreen* screen = ScreenOf(form);
    return screen ? screen->logicalDotsPerInch() : 96.0;
}

namespace {

// The longest a sound may hold up its caller. The program's sounds last well
// under half a second; a stuck audio device must not freeze the window.
constexpr int kLongestSoundMs = 1500;

void letEventsRun()
{
    QCoreApplication::processEvents();
}

// A Wayland compositor places the windows itself: a program can neither set nor
// learn a window's position there (what it reads is not where the window is),
// only its size. Under XWayland the program is an X client and places its
// windows as on X11.
bool PositionsAreOurs()
{
    return !QGuiApplication::platformName().startsWith(QStringLiteral("wayland"));
}

// Runs a slide plan on the real window: each step sets one coordinate and lets
// events run, so the window is repainted as it moves. The other coordinate stays
// at its pixel, so rounding between twips and pixels cannot make it wander.
void runSlide(QWidget* form, const SlidePlan& plan)
{
    if (!plan.soundBefore.empty())
        PlaySoundFile(PathToText(plan.soundBefore));
    if (!PositionsAreOurs()) {
        // No motion to show; the sounds and the hiding keep their order.
        if (plan.hideAfter)
            form->hide();
        if (!plan.soundAfter.empty())
            PlaySoundFile(PathToText(plan.soundAfter));
        return;
    }
    const double dpi = ScreenDpi(form);
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
        PlaySoundFile(PathToText(plan.soundAfter));
}

// One sound being played; the player's thread marks it finished. Shared with
// that thread, so that a sound outlasting its wait can still call back.
struct SoundPlaying
{
    std::atomic<bool> finished{false};
};

void SoundFinished(ca_context*, uint32_t, int, void* userdata)
{
    auto* handle = static_cast<std::shared_ptr<SoundPlaying>*>(userdata);
    (*handle)->finished = true;
    delete handle;
}

// ALSA writes its complaints (no card, no default device) straight to stderr;
// for us a missing device is plain silence.
void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// The process's one connection to the desktop's event sounds, made on first use;
// null when the library cannot start, and then every sound is silence.
ca_context* SoundContext()
{
    static ca_context* const context = [] {
        snd_lib_error_set_handler(IgnoreAlsaMessage);
        ca_context* made = nullptr;
        if (ca_context_create(&made) != CA_SUCCESS)
            return static_cast<ca_context*>(nullptr);
        ca_context_change_props(made, CA_PROP_APPLICATION_NAME, "Tessaloom", CA_PROP_APPLICATION_ID,
                                "tessaloom", CA_PROP_APPLICATION_ICON_NAME, "tessaloom", nullptr);
        return made;
    }();
    return context;
}

void WaitForSound(const SoundPlaying& playing)
{
    if (playing.finished)
        return;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (playing.finished)
            loop.quit();
    });
    QTimer::singleShot(kLongestSoundMs, &loop, &QEventLoop::quit);
    poll.start(10);
    loop.exec();
}

} // namespace

WindowRect WindowRectInTwips(const QWidget* form)
{
    return RectInTwips(form->frameGeometry(), ScreenDpi(form));
}

void SetWindowRectInTwips(QWidget* form, const WindowRect& rect)
{
    const double dpi = ScreenDpi(form);
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
    const QScreen* screen = ScreenOf(form);
    if (!screen)
        return {};
    const double dpi = ScreenDpi(form);
    const QSize size = screen->geometry().size();
    return {PixelsToTwips(size.width(), dpi), PixelsToTwips(size.height(), dpi)};
}

void CentreForm(QWidget* form)
{
    if (!PositionsAreOurs())
        return;
    SetWindowRectInTwips(form, CentredRect(WindowRectInTwips(form), ScreenSizeInTwips(form)));
}

PlacementLimits PlacementLimitsOf(const QWidget* form)
{
    const QScreen* screen = ScreenOf(form);
    if (!screen || !form)
        return {};
    const double dpi = ScreenDpi(form);
    const QRect area = screen->availableGeometry();
    const QSize extra = form->frameGeometry().size() - form->geometry().size();
    const QSize least = form->minimumSize() + extra;
    return {RectInTwips(area, dpi), PixelsToTwips(least.width(), dpi),
            PixelsToTwips(least.height(), dpi)};
}

void KeepWindowPlacement(QWidget* form, PlacementMode mode)
{
    WindowRect rect = WindowRectInTwips(form);
    const std::string caption = form->windowTitle().toStdString();
    if (!PositionsAreOurs()) {
        if (tessaloom::KeepWindowSize(rect, caption, mode, ScreenSizeInTwips(form),
                                      Program().settingsPath(), PlacementLimitsOf(form)) &&
            mode == PlacementMode::Restore)
            SetWindowRectInTwips(form, rect);
        return;
    }
    if (KeepPlacementRecord(rect, caption, mode, ScreenSizeInTwips(form), Program().settingsPath(),
                            PlacementLimitsOf(form)) &&
        mode == PlacementMode::Restore)
        SetWindowRectInTwips(form, rect);
}

void SlideIn(QWidget* form, const QString& direction)
{
    runSlide(form, SlideInPlan(WindowRectInTwips(form), direction.toStdString(),
                               ScreenSizeInTwips(form)));
}

void SlideOut(QWidget* form, const QString& direction)
{
    runSlide(form, SlideOutPlan(WindowRectInTwips(form), direction.toStdString(),
                                ScreenSizeInTwips(form)));
}

void PlaySoundFile(const QString& fileName, int flags)
{
    Q_UNUSED(flags); // every caller plays synchronously
    const std::string path = SoundFilePath(Program().programFolder(), TextToPath(fileName));
    if (path.empty())
        return;
    // Plays to the end as the callers expect (a slide-out moves only after its
    // sound), but inside a local event loop, so the windows keep repainting, and
    // never for longer than kLongestSoundMs. No output device: silence.
    if (ca_context* context = SoundContext()) {
        static uint32_t lastId = 0;
        const uint32_t id = ++lastId;
        auto playing = std::make_shared<SoundPlaying>();
        ca_proplist* properties = nullptr;
        if (ca_proplist_create(&properties) == CA_SUCCESS) {
            ca_proplist_sets(properties, CA_PROP_MEDIA_FILENAME, path.c_str());
            ca_proplist_sets(properties, CA_PROP_MEDIA_ROLE, "event");
            auto* handle = new std::shared_ptr<SoundPlaying>(playing);
            if (ca_context_play_full(context, id, properties, SoundFinished, handle) ==
                CA_SUCCESS) {
                WaitForSound(*playing);
                if (!playing->finished)
                    ca_context_cancel(context, id);
            } else {
                delete handle; // a refused sound never calls back
            }
            ca_proplist_destroy(properties);
        }
    }
    letEventsRun();
}

} // namespace tessaloom::gui
