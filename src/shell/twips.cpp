#include "shell/twips.h"

#include <cmath>
#include <limits>

namespace tessaloom {

namespace {

int RoundToInt(double value)
{
    const double rounded = std::round(value);
    if (!(rounded > std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (!(rounded < std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(rounded);
}

} // namespace

int TwipsToPixels(int twips, double dpi)
{
    if (!(dpi > 0))
        return 0;
    return RoundToInt(static_cast<double>(twips) * dpi / kTwipsPerInch);
}

int PixelsToTwips(int pixels, double dpi)
{
    if (!(dpi > 0))
        return 0;
    return RoundToInt(static_cast<double>(pixels) * kTwipsPerInch / dpi);
}

} // namespace tessaloom
