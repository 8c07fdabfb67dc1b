#pragma once

#include "shell/placement.h"

#include <string>
#include <string_view>

// Placement where the window system places the windows itself (Wayland): the
// program can neither learn nor set a window's position there, only its size.
namespace tessaloom {

/// KeepPlacementRecord for a window whose position is unknown. Restore takes only
/// the width and height of the record under `caption` (the window stays wherever
/// the compositor put it); Save writes the window's size with the
/// position the record already holds, or the centred position when there is no
/// usable record, so that no made-up position ever reaches the settings file and a
/// later start under X11 still finds a sensible place. A restored size is held
/// within `limits` as FitRestoredPlacement holds it. Nothing happens for a blank
/// caption or an empty window. Returns true when `w` was changed or the record
/// written.
[[nodiscard]] bool KeepWindowSize(WindowRect& w, std::string_view caption, PlacementMode mode,
                                  const ScreenSize& screen, const std::string& settingsPath,
                                  const PlacementLimits& limits = {});

} // namespace tessaloom
