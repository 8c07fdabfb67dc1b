#include "thumbnails/thumbnailsmodule.h"
#include "thumbnails/lazypicturescaler.h"

#include <type_traits>

extern "C" __attribute__((visibility("default"))) tessaloom::records::PictureScaler*
tessaloom_make_picture_scaler()
{
    return new tessaloom::LazyPictureScaler;
}

static_assert(
    std::is_same_v<decltype(&tessaloom_make_picture_scaler), tessaloom::MakePictureScalerFn>,
    "the loader calls the entry by this type");
