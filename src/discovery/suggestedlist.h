#pragma once

#include "platform/callbacks.h"
#include "platform/localeformats.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom {

/// The combo's edit text while suggestions are listed (blanks at both ends).
inline constexpr const char* kSuggestedListHeader =
    " - SUGGESTED CACHE FOLDERS ARE LISTED BELOW - ";

/// What the suggested-folder combo shows after a load.
struct SuggestedList
{
    /// False when there is no folder list: the combo is left empty and its text
    /// as it was.
    bool listExists = false;
    /// kSuggestedListHeader when the list exists, else empty.
    std::string headerText;
    /// "[Newest: mm/dd/yyyy | Files: N] path", in ascending order without regard
    /// to case.
    std::vector<std::string> entries;
};

/// Longest line of the folder list taken as a path; longer lines cannot name a
/// folder the system can open and are passed over.
inline constexpr std::size_t kMaxFolderListLine = 4096;

/// Builds the suggested-folder entries from the folder list at `folderListPath`.
/// Each line naming an existing folder (by absolute path) is counted, once however
/// often the line repeats, with
/// `filePattern` as the file lists count, and listed when it holds at least
/// `minimumFileCount` files, with the newest calendar day (local time) among
/// them. Read failures end the load with the entries built so far. `yield` runs
/// before every line and every file.
SuggestedList ReadSuggestedList(const std::filesystem::path& folderListPath,
                                std::int32_t minimumFileCount, std::string_view filePattern,
                                const LocaleFormats& formats, const YieldFn& yield = {});

/// One entry's text: "[Newest: " + date + " | Files: " + count + "] " + path.
std::string SuggestedEntryText(std::string_view newestDate, std::int64_t fileCount,
                               std::string_view path);

/// The folder a chosen entry stands for: everything after the first "] ".
/// Nothing when the text holds no "] " (the header, say).
std::optional<std::string> ChosenFolderOfEntry(std::string_view entryText);

} // namespace tessaloom
