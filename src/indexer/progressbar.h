#pragma once

#include <optional>

namespace tessaloom {

/// Geometry of the progress window's bar, in twips: the empty bar and the filled
/// part that lies inside it, 30 twips in from its left and top edges.
inline constexpr int kEmptyBarLeft = 1000;
inline constexpr int kEmptyBarTop = 3960;
inline constexpr int kEmptyBarWidth = 7560;
inline constexpr int kEmptyBarHeight = 345;
inline constexpr int kFilledBarLeft = 1030;
inline constexpr int kFilledBarTop = 3990;
inline constexpr int kFilledBarHeight = 300;

/// The filled bar's width for a timed report: the empty bar's width × `position`
/// (counter ÷ total) − 50 twips, in floating point, rounded to the nearest twip.
/// Empty when the width would be negative (early in a long run) or `position` is
/// not a number: the bar then keeps the width it has.
std::optional<int> FilledBarWidth(int emptyWidth, double position);

} // namespace tessaloom
