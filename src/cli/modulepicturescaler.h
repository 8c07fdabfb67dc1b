#pragma once

#include "indexer/records/picturescaler.h"

#include <memory>
#include <string>

namespace tessaloom::cli {

/// The thumbnails module's scaler, loaded when the build is about to scale its
/// first picture. Without the module the build goes on without thumbnails: small
/// pictures are then kept whole, as for a picture no decoder reads.
class ModulePictureScaler final : public records::PictureScaler
{
public:
    void prepare() override;
    std::optional<records::Thumbnail> makeThumbnail(std::string_view picture) override;
    /// Why the module could not be loaded; empty when it was, or was never needed.
    const std::string& loadError() const { return m_loadError; }

private:
    bool m_prepared = false;
    std::unique_ptr<records::PictureScaler> m_scaler;
    std::string m_loadError;
};

} // namespace tessaloom::cli
