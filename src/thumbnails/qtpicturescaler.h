#pragma once

#include "indexer/records/picturescaler.h"

namespace tessaloom {

/// Thumbnails through QImageReader: a JPEG is decoded at a reduced size, other
/// formats through Qt's image-format plugins (WebP, GIF, ICO, BMP, PNG, TIFF ...).
/// SVG is left to the browser, which scales it without loss. Written as WebP
/// where Qt can write it, else PNG (transparency) or JPEG. A program without a Qt
/// application object makes it through LazyPictureScaler, which settles which
/// thread Qt takes for the main one.
class QtPictureScaler final : public records::PictureScaler
{
public:
    QtPictureScaler();
    /// Waits for the threads Qt scales large pictures on. A program without a Qt
    /// application object would otherwise leave them running into Qt's clean-up at
    /// exit, which then corrupts the heap.
    ~QtPictureScaler() override;
    QtPictureScaler(const QtPictureScaler&) = delete;
    QtPictureScaler& operator=(const QtPictureScaler&) = delete;
    std::optional<records::Thumbnail> makeThumbnail(std::string_view picture) override;

private:
    bool m_writesWebp = false;
};

} // namespace tessaloom
