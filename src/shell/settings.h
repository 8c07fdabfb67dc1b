#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessaloom {

inline constexpr const char* kSectionGeneral = "General";

inline constexpr const char* kKeyDirectory = "Directory";
inline constexpr const char* kKeyFilePattern = "File Pattern";
inline constexpr const char* kKeyExcludeImages = "Exclude Images";
inline constexpr const char* kKeyIncludeOnlyImages = "Include Only Images";
inline constexpr const char* kKeyExcludeBinaryFiles = "Exclude Binary Files";
inline constexpr const char* kKeyLaunchBrowser = "Launch Browser";
inline constexpr const char* kKeyLaunchViewDeleteWizard = "Launch View/Delete Wizard";
inline constexpr const char* kKeyMinimumFileCount = "Minimum File Count";
inline constexpr const char* kKeyConfirmDeletions = "Confirm Deletions";
inline constexpr const char* kKeyShowQuickStart = "Show Quick Start";
inline constexpr const char* kKeyReadCacheRecords = "Read Cache Records";

/// The options that survive between runs. Before LoadSettings every flag is
/// false, the count 0 and the texts empty.
struct Settings
{
    std::string directory;
    std::string filePattern;
    bool excludeImages = false;
    bool includeOnlyImages = false;
    bool excludeBinaryFiles = false;
    bool launchBrowser = false;
    bool launchViewDeleteWizard = false;
    std::int32_t minimumFileCount = 0;
    bool confirmDeletions = false;
    bool showQuickStart = false;
    /// Read browsers' cache records through their bodies (on unless turned off:
    /// today's browsers keep nothing else).
    bool readCacheRecords = true;
};

/// True exactly when `text` in upper case is "TRUE" ("1" and "on" are false).
bool DecodeBoolean(std::string_view text);

/// True exactly when `text` in upper case is "YES".
bool DecodeYesNo(std::string_view text);

enum class NumberRounding
{
    HalfToEven, // 2.5 -> 2, 3.5 -> 4
    Down        // toward minus infinity: -2.5 -> -3
};

/// The decimal number at the start of `text` (leading blanks skipped, an optional
/// sign, digits, an optional fraction after "."), rounded to a whole number. Text
/// without a leading number, and a result outside the 32-bit signed range, give 0.
std::int32_t DecodeNumber(std::string_view text,
                          NumberRounding rounding = NumberRounding::HalfToEven);

/// Reads the settings file at `path` into a record, every key with its default
/// when the file, the section or the key is missing.
Settings LoadSettings(const std::string& path);

/// The state of a check box: only Checked counts as on.
enum class CheckState
{
    Unchecked,
    Checked,
    Greyed
};

/// What the main window holds when it is closed.
struct MainWindowValues
{
    std::string directory; // the folder list's current path
    std::string fileMask;  // the file-pattern box, as it stands
    CheckState excludeImages = CheckState::Unchecked;
    CheckState includeOnlyImages = CheckState::Unchecked;
    CheckState excludeBinaryFiles = CheckState::Unchecked;
    CheckState launchBrowser = CheckState::Unchecked;
    CheckState launchViewDeleteWizard = CheckState::Unchecked;
    std::string minFileCountText; // the count box's text, as it stands
};

/// The keys and values the main window writes on exit, in the order written.
std::vector<std::pair<std::string, std::string>> MainWindowExitValues(const MainWindowValues& w);

/// Writes MainWindowExitValues to section "General" of the settings file.
bool WriteMainWindowSettings(const MainWindowValues& w, const std::string& path);

/// The Quick Start window's closing: "Show Quick Start" = "No" when its box
/// "do not show again" is ticked, else "Yes"; the record follows.
bool WriteQuickStartClosing(bool doNotShowAgain, Settings& settings, const std::string& path);

/// The delete confirmation told not to ask again: "Confirm Deletions" = "False",
/// and the record follows.
bool WriteConfirmDeletionsOff(Settings& settings, const std::string& path);

/// The File menu's "Read Browser Cache Records" toggled: "Read Cache Records" =
/// "True" or "False", written at once (the main window's closing does not write
/// it, so a settings file never gains the key until the user chooses; a missing
/// key reads as "True"), and the record follows.
bool WriteReadCacheRecords(bool on, Settings& settings, const std::string& path);

} // namespace tessaloom
