#include "indexer/records/picturescaler.h"

#include <algorithm>
#include <cmath>

namespace tessaloom::records {

FittedSize FitInSquare(int width, int height, int side)
{
    if (width <= 0 || height <= 0 || side <= 0)
        return {};
    if (width <= side && height <= side)
        return {width, height};
    const double scale = static_cast<double>(side) / std::max(width, height);
    const auto fit = [&](int length) {
        return std::clamp(static_cast<int>(std::lround(length * scale)), 1, side);
    };
    return {fit(width), fit(height)};
}

} // namespace tessaloom::records
