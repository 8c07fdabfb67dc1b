#pragma once

#include "platform/result.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The settings file is a small INI file that people also edit by hand. Reads and
// writes follow the classic profile-string rules: section and key names match
// without regard to case, a missing file, section or key gives the default, a
// write changes only the one line it concerns (or adds it) and keeps every other
// line byte for byte, and the file is replaced atomically.
namespace tessaloom {

/// Longest value a read gives back, in characters; longer values are cut.
inline constexpr std::size_t kMaxSettingLength = 254;

/// Settings files larger than this are not ours (or are damaged): reads give the
/// defaults and writes leave such a file alone.
inline constexpr std::size_t kMaxSettingsFileSize = 4 * 1024 * 1024;

/// One INI file, kept as its raw bytes so that a change can be written back
/// without touching anything else. Lines are found by scanning, so memory stays a
/// small multiple of the file's size whatever the file holds.
class IniDocument
{
public:
    /// Reads `path`. Fails when the file exists but cannot be used (not a regular
    /// file, unreadable, or larger than kMaxSettingsFileSize), leaving the document
    /// empty; a missing file gives an empty document and success.
    Result<void> load(const std::string& path);

    /// Parses bytes already in memory.
    void parse(std::string_view content);

    /// The value of `key` in `section` (first match of each, case ignored), trimmed
    /// of blanks and surrounding quotes and cut to kMaxSettingLength characters, or
    /// `fallback` when the section or the key is missing.
    std::string value(std::string_view section, std::string_view key,
                      std::string_view fallback) const;

    /// Sets `key` in `section`: an existing line keeps everything up to its "=" and
    /// gets the new value; a new key goes after the section's last non-blank line; a
    /// new section goes at the end. False (nothing changed) when a name or the
    /// value cannot be stored in an INI line (line breaks, NUL, "=" or a leading
    /// "[" or ";" in a key, "]" in a section, empty names).
    [[nodiscard]] bool set(std::string_view section, std::string_view key, std::string_view value);

    /// The whole file as it would be written.
    const std::string& content() const { return m_content; }

private:
    struct Line
    {
        std::size_t begin = 0;   // first byte
        std::size_t textEnd = 0; // end of the text, before "\r\n" or "\n"
        std::size_t next = 0;    // first byte of the next line
        bool found = false;
    };

    Line lineAt(std::size_t begin) const;
    std::string_view text(const Line& line) const;
    /// The first header line of `section`.
    Line findSection(std::string_view section) const;
    /// The first line of `key` below `header`, before the next header.
    Line findKey(const Line& header, std::string_view key) const;

    std::string m_content;
};

/// Reads one value from the INI file at `path` (see IniDocument::value). A file
/// that is missing or cannot be used gives `fallback`.
std::string ReadSetting(std::string_view section, std::string_view key, std::string_view fallback,
                        const std::string& path);

/// Writes one value to the INI file at `path`, creating the file and the section
/// when they are missing. Fails when nothing was written: an unusable existing
/// file, a name or value that cannot be stored (kCannotStore), or a failed write;
/// a failed write leaves the file as it was.
Result<void> WriteSetting(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& path);

/// Writes several values of one section in one replacement of the file, each with
/// the rules of WriteSetting, in the given order. A pair that cannot be stored is
/// passed over; the others are written. Fails when the file was not written.
Result<void> WriteSettings(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& values,
                           const std::string& path);

} // namespace tessaloom
