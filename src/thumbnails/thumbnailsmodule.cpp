#include "thumbnails/thumbnailsmodule.h"
#include "thumbnails/lazypicturescaler.h"

extern "C" __attribute__((visibility("default"))) tessaloom::records::PictureScaler*
tessaloom_make_picture_scaler()
{
    // Checked against the loader's declaration of it.
    [[maybe_unused]] const tessaloom::MakePictureScalerFn declared = &tessaloom_make_picture_scaler;
    return new tessaloom::LazyPictureScaler;
}
