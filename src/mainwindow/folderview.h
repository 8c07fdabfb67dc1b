#pragma once

#include "discovery/mountedvolumes.h"
#include "platform/result.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the main window's volume and folder lists show, without the widgets.
namespace tessaloom {

/// The index in `volumes` of the volume that holds `folder` (an absolute path):
/// the one whose mount point is the longest leading run of whole path components
/// of `folder`. Nothing when no volume holds it.
std::optional<std::size_t> VolumeOfFolder(const std::vector<Volume>& volumes,
                                          std::string_view folder);

/// One row of the folder list.
struct FolderRow
{
    std::string path;  ///< the folder the row opens
    std::string name;  ///< what the row shows: "/" for the root, else the last component
    int depth = 0;     ///< indentation: 0 for the root
    bool open = false; ///< the root, the folders above the current one and the current one
};

/// The folder list for `current` (absolute): the root, each folder down to
/// `current`, then `current`'s sub-folders (symbolic links to folders included)
/// sorted without regard to case. A sub-folder that cannot be listed is simply
/// absent.
std::vector<FolderRow> FolderListRows(const std::string& current);

/// The folder list's rows for `current` and, from the same reading of the folder,
/// its regular files (links followed) whose names do not begin with ".", in the
/// order read.
struct FolderReading
{
    std::vector<FolderRow> rows;
    /// Nothing when the folder could not be read to its end.
    std::optional<std::vector<std::string>> files;
};
FolderReading ReadFolderView(const std::string& current);

/// `path` made absolute and lexically clean, without a trailing "/" except for the
/// root. Empty when `path` is empty.
std::string NormalFolderPath(std::string_view path);

/// Looks for any entry in `folder`, as the volume list does before it moves to a
/// volume. Fails when the folder cannot be read, with the error number and its
/// description (the probe message's text).
Result<void> ProbeFolder(const std::string& folder);

/// The probe message's title: "ERROR: " + the error number.
std::string ProbeErrorTitle(const Error& error);

} // namespace tessaloom
