#pragma once

namespace tessaloom {

/// Twips per inch: window geometry in the settings file and in the layout rules is
/// in twips (1/1440 inch); the windows convert at the screen's logical DPI.
inline constexpr int kTwipsPerInch = 1440;

/// `twips` in pixels at `dpi` dots per inch, rounded to the nearest pixel (halves
/// away from zero), so that a value converted back and forth keeps its pixel.
int TwipsToPixels(int twips, double dpi);

/// `pixels` in twips at `dpi`, rounded to the nearest twip.
int PixelsToTwips(int pixels, double dpi);

} // namespace tessaloom
