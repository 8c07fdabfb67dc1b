#pragma once

#include "indexer/records/picturescaler.h"

namespace tessaloom {

/// The thumbnail scaler as a module of its own, which the command-line tool
/// loads only when a build has a picture to scale: Qt GUI and the libraries it
/// brings would otherwise be loaded at every start of the tool.
inline constexpr const char* kThumbnailsModuleName = "tessaloom-thumbnails.so";
/// The module's one entry: a new scaler, to be deleted by the caller. It takes
/// the calling thread for Qt's main thread, so it is called on the thread that
/// makes the build.
inline constexpr const char* kMakePictureScalerSymbol = "tessaloom_make_picture_scaler";
using MakePictureScalerFn = records::PictureScaler* (*)();

} // namespace tessaloom
