#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaloom::records {

/// The side of the square a thumbnail fits in: sharp on a screen at twice the
/// density, where the page's cell shows it at 150.
inline constexpr int kThumbnailSide = 300;

/// Pictures up to this size are decoded for a thumbnail (a large photo too).
inline constexpr std::size_t kMaxDecodedPictureBytes = 32 * 1024 * 1024;

struct Thumbnail
{
    std::string bytes;     // the encoded square picture
    std::string extension; // "webp", "png", "jpg"
    int width = 0;         // the picture drawn inside the square
    int height = 0;
};

/// Makes thumbnails of pictures. The core names the work; a library with image
/// decoders does it, so that the core needs none. A build calls makeThumbnail from
/// several threads at once.
class PictureScaler
{
public:
    virtual ~PictureScaler() = default;
    /// Called once, on the thread that makes the build, before the first picture
    /// goes to the threads that scale: a scaler whose decoders are loaded only
    /// when a build has a picture to scale loads them there.
    virtual void prepare() {}
    /// A kThumbnailSide square with the picture scaled to fit, aspect kept, never
    /// enlarged, centred on a transparent or neutral background. Nullopt when no
    /// decoder reads the picture (or it is not worth drawing again, as a vector
    /// picture the browser scales itself).
    virtual std::optional<Thumbnail> makeThumbnail(std::string_view picture) = 0;
};

struct FittedSize
{
    int width = 0;
    int height = 0;
};

/// The size a picture of `width` x `height` is drawn at in a `side` square:
/// aspect kept (each side at least 1), never larger than the picture.
FittedSize FitInSquare(int width, int height, int side);

} // namespace tessaloom::records
