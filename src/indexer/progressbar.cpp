#include "indexer/progressbar.h"

#include <algorithm>
#include <cmath>

namespace tessaloom {

std::optional<int> FilledBarWidth(int emptyWidth, double position)
{
    // Inside the empty bar: 30 twips of margin on the left, 20 on the right.
    constexpr double kShortfall = 50.0;
    const double width = static_cast<double>(emptyWidth) * position - kShortfall;
    if (!(width >= 0.0))
        return std::nullopt;
    // A position past the end (a report that overshoots) still ends inside the bar.
    const double widest = static_cast<double>(emptyWidth) - kShortfall;
    return static_cast<int>(std::lround(std::min(width, widest)));
}

} // namespace tessaloom
