#include "shell/sizeonlyplacement.h"

#include "platform/textcodec.h"
#include "shell/inistore.h"
#include "shell/settings.h"

namespace tessaloom {

bool KeepWindowSize(WindowRect& w, std::string_view caption, PlacementMode mode,
                    const ScreenSize& screen, const std::string& settingsPath,
                    const PlacementLimits& limits)
{
    // The position a window reports here is not where it is, so the margin test on
    // it would decide nothing; an empty window has nothing worth keeping.
    if (TrimSpaces(caption).empty() || w.width <= 0 || w.height <= 0)
        return false;
    const std::string record =
        ReadSetting(kSectionGeneral, caption, kNotPreviouslyLoaded, settingsPath);
    const bool recorded = record != kNotPreviouslyLoaded;
    const WindowRect saved = recorded ? ParsePlacement(record) : WindowRect{};
    if (mode == PlacementMode::Restore) {
        if (!recorded)
            return false;
        const PlacementLimits onScreen = LimitsOnScreen(limits, screen);
        const std::optional<WindowRect> fits = FitRestoredPlacement(
            {onScreen.area.left, onScreen.area.top, saved.width, saved.height}, onScreen);
        if (!fits)
            return false;
        w.width = fits->width;
        w.height = fits->height;
        return true;
    }
    WindowRect kept = CentredRect(w, screen);
    if (recorded) {
        WindowRect moved = w;
        moved.left = saved.left;
        moved.top = saved.top;
        if (IsPlacementValid(moved, screen))
            kept = moved;
    }
    return WriteSetting(kSectionGeneral, caption, EncodePlacement(kept), settingsPath).ok();
}

} // namespace tessaloom
