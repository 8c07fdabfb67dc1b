#include "shell/placement.h"

#include "platform/textcodec.h"
#include "shell/inistore.h"
#include "shell/settings.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <utility>

namespace tessaloom {

namespace {

// A slide is a visual effect: on a degenerate screen size it must still end soon.
constexpr std::int64_t kMaxSlideSteps = 10000;

std::string Field(int value)
{
    // "00000000" and "-0000000" both fill 8 characters only within these bounds.
    const int v = std::clamp(value, -9999999, 99999999);
    char buf[16];
    if (v < 0)
        std::snprintf(buf, sizeof buf, "-%07d", -v);
    else
        std::snprintf(buf, sizeof buf, "%08d", v);
    return buf;
}

/// The values of a counted loop from `start` to `end` inclusive: start, start +
/// step, ... while not past `end`; the step is `stepSize` downward when `down`,
/// else upward.
std::vector<int> CountedRun(std::int64_t start, std::int64_t end, std::int64_t stepSize, bool down)
{
    stepSize = std::max<std::int64_t>(stepSize, 1);
    const std::int64_t distance = down ? start - end : end - start;
    if (distance / stepSize >= kMaxSlideSteps)
        stepSize = distance / kMaxSlideSteps + 1;
    std::vector<int> out;
    if (distance < 0)
        return out;
    out.reserve(static_cast<std::size_t>(distance / stepSize + 1));
    for (std::int64_t v = start; down ? v >= end : v <= end; v += down ? -stepSize : stepSize)
        out.push_back(static_cast<int>(v));
    return out;
}

} // namespace

WindowRect CentredRect(const WindowRect& w, const ScreenSize& screen)
{
    WindowRect r = w;
    r.left = screen.width / 2 - w.width / 2;
    r.top = screen.height / 2 - w.height / 2;
    return r;
}

bool IsPlacementValid(const WindowRect& w, const ScreenSize& screen)
{
    const std::int64_t left = w.left;
    const std::int64_t top = w.top;
    return !(left + w.width < kPlacementMargin || top + w.height < kPlacementMargin ||
             left > std::int64_t{screen.width} - kPlacementMargin ||
             top > std::int64_t{screen.height} - kPlacementMargin);
}

std::string EncodePlacement(const WindowRect& w)
{
    return Field(w.left) + Field(w.top) + Field(w.width) + Field(w.height);
}

WindowRect ParsePlacement(std::string_view record)
{
    record = record.substr(0, 32);
    auto piece = [record](std::size_t from) {
        return from < record.size() ? record.substr(from, 8) : std::string_view();
    };
    const std::string_view last = record.size() > 8 ? record.substr(record.size() - 8) : record;
    WindowRect r;
    r.left = DecodeNumber(piece(0), NumberRounding::Down);
    r.top = DecodeNumber(piece(8), NumberRounding::Down);
    r.width = DecodeNumber(piece(16), NumberRounding::Down);
    r.height = DecodeNumber(last, NumberRounding::Down);
    return r;
}

std::optional<WindowRect> FitRestoredPlacement(const WindowRect& record,
                                               const PlacementLimits& limits)
{
    if (record.width <= 0 || record.height <= 0)
        return std::nullopt;
    const WindowRect& area = limits.area;
    // One axis: the size held within the area (the least size wins over a smaller
    // area), then the start moved in from either edge; 64 bits, as a record may
    // hold any 8-digit value.
    const auto fit = [](int start, int size, int areaStart, int areaSize, int least) {
        const std::int64_t fitted =
            std::max<std::int64_t>(std::min<std::int64_t>(size, areaSize), least);
        const std::int64_t lastStart = std::int64_t{areaStart} + areaSize - fitted;
        const std::int64_t at =
            std::max<std::int64_t>(std::min<std::int64_t>(start, lastStart), areaStart);
        return std::pair{static_cast<int>(at), static_cast<int>(fitted)};
    };
    const auto [left, width] =
        fit(record.left, record.width, area.left, area.width, limits.minWidth);
    const auto [top, height] =
        fit(record.top, record.height, area.top, area.height, limits.minHeight);
    return WindowRect{left, top, width, height};
}

PlacementLimits LimitsOnScreen(const PlacementLimits& limits, const ScreenSize& screen)
{
    PlacementLimits onScreen = limits;
    if (onScreen.area.width <= 0 || onScreen.area.height <= 0)
        onScreen.area = {0, 0, screen.width, screen.height};
    return onScreen;
}

bool KeepPlacementRecord(WindowRect& w, std::string_view caption, PlacementMode mode,
                         const ScreenSize& screen, const std::string& settingsPath,
                         const PlacementLimits& limits)
{
    if (!IsPlacementValid(w, screen) || TrimSpaces(caption).empty())
        return false;
    if (mode != PlacementMode::Restore)
        return WriteSetting(kSectionGeneral, caption, EncodePlacement(w), settingsPath).ok();

    const std::string record =
        ReadSetting(kSectionGeneral, caption, kNotPreviouslyLoaded, settingsPath);
    if (record == kNotPreviouslyLoaded) {
        w = CentredRect(w, screen);
        return true;
    }
    const WindowRect restored = ParsePlacement(record);
    const std::optional<WindowRect> fits =
        IsPlacementValid(restored, screen)
            ? FitRestoredPlacement(restored, LimitsOnScreen(limits, screen))
            : std::nullopt;
    w = fits ? *fits : CentredRect(w, screen);
    return true;
}

int NotedPosition(int value)
{
    return (value >= INT16_MIN && value <= INT16_MAX) ? value : 0;
}

SlidePlan SlideOutPlan(const WindowRect& w, std::string_view direction, const ScreenSize& screen)
{
    SlidePlan plan;
    plan.soundBefore = kSlideOutSound;
    const std::string d = AsciiUppered(direction);
    if (d == "UP") {
        plan.axis = SlideAxis::Top;
        plan.positions = CountedRun(w.top, -std::int64_t{w.height}, screen.height / 25, true);
    } else if (d == "DOWN") {
        plan.axis = SlideAxis::Top;
        plan.positions =
            CountedRun(w.top, std::int64_t{screen.height} + 300, screen.height / 25, false);
    } else if (d == "LEFT") {
        plan.axis = SlideAxis::Left;
        plan.positions = CountedRun(w.left, -std::int64_t{w.width}, screen.width / 25, true);
    } else if (d == "RIGHT") {
        plan.axis = SlideAxis::Left;
        plan.positions = CountedRun(w.left, screen.width, screen.width / 25, false);
    }
    // Hidden, then put back, so that the window shows where it was when shown again.
    plan.hideAfter = true;
    plan.finalLeft = NotedPosition(w.left);
    plan.finalTop = NotedPosition(w.top);
    return plan;
}

SlidePlan SlideInPlan(const WindowRect& w, std::string_view direction, const ScreenSize& screen)
{
    SlidePlan plan;
    const int targetLeft = NotedPosition(w.left);
    const int targetTop = NotedPosition(w.top);
    const std::string d = AsciiUppered(direction);
    if (d == "UP") {
        plan.axis = SlideAxis::Top;
        plan.positions = CountedRun(screen.height, targetTop, screen.height / 50, true);
    } else if (d == "DOWN") {
        plan.axis = SlideAxis::Top;
        plan.positions = CountedRun(-std::int64_t{w.height}, targetTop, screen.height / 50, false);
    } else if (d == "LEFT") {
        plan.axis = SlideAxis::Left;
        plan.positions = CountedRun(screen.width, targetLeft, screen.width / 50, true);
    } else if (d == "RIGHT") {
        plan.axis = SlideAxis::Left;
        plan.positions = CountedRun(-std::int64_t{w.width}, targetLeft, screen.width / 50, false);
    }
    if (plan.axis == SlideAxis::Top)
        plan.finalTop = targetTop;
    else if (plan.axis == SlideAxis::Left)
        plan.finalLeft = targetLeft;
    plan.soundAfter = kSlideInSound;
    return plan;
}

std::string SoundFilePath(const std::string& programFolder, std::string_view fileName)
{
    const std::string path = programFolder + std::string(fileName);
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) ? path : std::string();
}

} // namespace tessaloom
