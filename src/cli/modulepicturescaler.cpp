#include "cli/modulepicturescaler.h"

#include "thumbnails/thumbnailsmodule.h"

#include <dlfcn.h>

namespace tessaloom::cli {

void ModulePictureScaler::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    // Found through the tool's own library path (beside it in the build, the
    // program folder when installed). Never closed: Qt's clean-up at exit runs
    // code of the libraries the module brought.
    void* module = ::dlopen(kThumbnailsModuleName, RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = ::dlerror();
        m_loadError = why ? why : kThumbnailsModuleName;
        return;
    }
    const auto make =
        reinterpret_cast<MakePictureScalerFn>(::dlsym(module, kMakePictureScalerSymbol));
    if (!make) {
        m_loadError = std::string(kThumbnailsModuleName) + ": no " + kMakePictureScalerSymbol;
        return;
    }
    m_scaler.reset(make());
}

std::optional<records::Thumbnail> ModulePictureScaler::makeThumbnail(std::string_view picture)
{
    return m_scaler ? m_scaler->makeThumbnail(picture) : std::nullopt;
}

} // namespace tessaloom::cli
