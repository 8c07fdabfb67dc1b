#pragma once

#include <string>

namespace tessaloom {

// Set by the build from the project's version.
inline constexpr int kVersionMajor = TESSALOOM_VERSION_MAJOR;
inline constexpr int kVersionMinor = TESSALOOM_VERSION_MINOR;
inline constexpr int kVersionPatch = TESSALOOM_VERSION_PATCH;

/// "major.minor.revision" in decimal without padding, e.g. "5.4.1".
inline std::string VersionText()
{
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionPatch);
}

} // namespace tessaloom
