#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Window geometry in twips (1/1440 inch), the unit of the placement records; the
// windows convert to and from pixels.
namespace tessaloom {

/// Read default of a placement record: the window was never saved.
inline constexpr const char* kNotPreviouslyLoaded = "NOT PREVIOUSLY LOADED";
/// How far a window must reach into the screen for its placement to count.
inline constexpr int kPlacementMargin = 700;

inline constexpr const char* kSlideInSound = "ClickBg.wav";
inline constexpr const char* kSlideOutSound = "message2.wav";

struct WindowRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

struct ScreenSize
{
    int width = 0;
    int height = 0;
};

/// `w` moved to the middle of the screen, its size unchanged (what `CentreForm` does).
WindowRect CentredRect(const WindowRect& w, const ScreenSize& screen);

/// False when the window lies almost wholly off the screen: its right or bottom
/// edge short of the margin, or its left or top edge within the margin of the
/// screen's far side.
bool IsPlacementValid(const WindowRect& w, const ScreenSize& screen);

/// The 32-character record: left, top, width, height, 8 characters each, "00000000"
/// for values from 0 and "-0000000" below 0. Values are held within what 8
/// characters can show, so the record always keeps its length.
std::string EncodePlacement(const WindowRect& w);

/// Reads a record back: at most its first 32 characters; left, top and width from
/// characters 1-8, 9-16 and 17-24, height from the last 8; each the leading
/// decimal number of its piece rounded down (0 for an empty or odd piece).
WindowRect ParsePlacement(std::string_view record);

/// Where a restored window may go: the screen's available area (without panels)
/// and the window's least outer size, all in twips. An empty area stands for the
/// whole screen.
struct PlacementLimits
{
    WindowRect area;
    int minWidth = 0;
    int minHeight = 0;
};

/// A restored record made to fit `limits`: no wider or taller than the area (but
/// at least the least size), then moved so that it lies inside the area as far
/// as its size allows. Nothing for a record no window can have (a width or
/// height of 0 or less): it counts as missing. A record of a huge size would
/// otherwise ask the window system for a window of gigabytes, and be saved back.
std::optional<WindowRect> FitRestoredPlacement(const WindowRect& record,
                                               const PlacementLimits& limits);

/// `limits` with an empty area taken as the whole of `screen`.
PlacementLimits LimitsOnScreen(const PlacementLimits& limits, const ScreenSize& screen);

/// What KeepPlacementRecord does with a window. The values are the numbers the
/// placement modes always had.
enum class PlacementMode
{
    Restore = 1,
    Save = 2
};

/// The record behind `KeepWindowPlacement`: Restore sets `w` from the record under `caption`, Save
/// writes it. Nothing happens when `w` fails IsPlacementValid or the
/// caption is blank. A missing record centres the window; a record that would put
/// the window off this screen (saved on a larger one, or edited by hand) centres it
/// too, since it could never be saved back and would stay lost at every start. A
/// restored record is fitted to `limits` (FitRestoredPlacement); one that cannot
/// be fitted centres the window as a missing one does.
/// Returns true when `w` was changed or the record written.
[[nodiscard]] bool KeepPlacementRecord(WindowRect& w, std::string_view caption, PlacementMode mode,
                                       const ScreenSize& screen, const std::string& settingsPath,
                                       const PlacementLimits& limits = {});

/// The coordinate a slide moves.
enum class SlideAxis
{
    None,
    Left,
    Top
};

/// One slide, as the window performs it: play `soundBefore` (when not empty), then
/// for each of `positions` set the `axis` coordinate and let events run; then hide
/// the window when `hideAfter`; then set `finalLeft` / `finalTop` when given; then
/// play `soundAfter` (when not empty). Sounds are looked for in the program folder.
struct SlidePlan
{
    std::string soundBefore;
    SlideAxis axis = SlideAxis::None;
    std::vector<int> positions;
    bool hideAfter = false;
    std::optional<int> finalLeft;
    std::optional<int> finalTop;
    std::string soundAfter;
};

/// The position noted before a slide: held as a 16-bit signed value, 0 when it
/// does not fit.
int NotedPosition(int value);

/// The steps of `SlideOut` in direction "UP", "DOWN", "LEFT" or "RIGHT" (any case), by 1/25 of
/// the screen per step; the window is hidden and put back where it was.
SlidePlan SlideOutPlan(const WindowRect& w, std::string_view direction, const ScreenSize& screen);

/// The steps of `SlideIn` in direction "UP", "DOWN", "LEFT" or "RIGHT" (any case), by 1/50 of
/// the screen per step, ending exactly at the window's position before the slide.
SlidePlan SlideInPlan(const WindowRect& w, std::string_view direction, const ScreenSize& screen);

/// Program folder + `fileName` when that file exists, else "" (silence).
std::string SoundFilePath(const std::string& programFolder, std::string_view fileName);

} // namespace tessaloom
