#pragma once

#include "platform/result.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom {

/// The names (no path) of the regular files directly in `folder` that match the
/// wildcard `pattern`, sorted without regard to letter case, as the program's file
/// lists show them. Hidden names (leading ".") are left out; a symbolic link to a
/// regular file counts as a file; folders, sockets, devices and FIFOs do not.
/// Fails (with the folder and the reason) when the folder cannot be read.
Result<std::vector<std::string>> ListMatchingFiles(const std::filesystem::path& folder,
                                                   std::string_view pattern);

/// Sorts names as the file lists show them: case-insensitive, ties by bytes.
void SortNamesForDisplay(std::vector<std::string>& names);

} // namespace tessaloom
