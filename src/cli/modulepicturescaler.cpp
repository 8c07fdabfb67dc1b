#include "cli/modulepicturescaler.h"

#include "thumbnails/thumbnailsmodule.h"

#include <cstddef>
#include <dlfcn.h>
#include <vector>

namespace tessaloom::cli {

namespace {

// The module by the program's own library search path (its RUNPATH names the
// module's folder: beside it in the build, the program folder when installed).
// The folders are walked here, as the loader would: a dlopen by bare name from
// a sanitized build is made by the sanitizer's library, whose path it then uses.
void* OpenModule(std::string& error)
{
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL;
    if (void* module = ::dlopen(kThumbnailsModuleName, kFlags))
        return module;
    const char* why = ::dlerror();
    error = why ? why : kThumbnailsModuleName;
    void* self = ::dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (!self || ::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0)
        return nullptr;
    std::vector<std::max_align_t> storage(size.dls_size / sizeof(std::max_align_t) + 1);
    auto* paths = reinterpret_cast<Dl_serinfo*>(storage.data());
    *paths = size;
    if (::dlinfo(self, RTLD_DI_SERINFO, paths) != 0)
        return nullptr;
    for (unsigned i = 0; i < paths->dls_cnt; ++i) {
        const std::string path =
            std::string(paths->dls_serpath[i].dls_name) + "/" + kThumbnailsModuleName;
        if (void* module = ::dlopen(path.c_str(), kFlags))
            return module;
    }
    return nullptr;
}

} // namespace

void ModulePictureScaler::prepare()
{
    if (m_prepared)
        return;
    m_prepared = true;
    // Never closed: Qt's clean-up at exit runs code of the libraries it brought.
    void* module = OpenModule(m_loadError);
    if (!module)
        return;
    m_loadError.clear();
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
