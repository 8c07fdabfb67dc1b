#pragma once

#include "thumbnails/qtpicturescaler.h"

#include <mutex>
#include <optional>

namespace tessaloom {

/// A QtPictureScaler made at its first picture. Making one asks Qt for its image
/// writers, which loads every image-format plugin: a cost most builds never need,
/// as a thumbnail kept from the last build is taken over without decoding. The
/// build's thumbnail threads call it together, so it is made exactly once.
class LazyPictureScaler final : public records::PictureScaler
{
public:
    void prepare() override
    {
        std::call_once(m_made, [this] { m_scaler.emplace(); });
    }
    std::optional<records::Thumbnail> makeThumbnail(std::string_view picture) override
    {
        prepare();
        return m_scaler->makeThumbnail(picture);
    }

private:
    std::once_flag m_made;
    std::optional<QtPictureScaler> m_scaler;
};

} // namespace tessaloom
