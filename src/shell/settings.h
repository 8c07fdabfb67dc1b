#pragma once

#include "platform/result.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
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

/// How a setting's value is spelt in the file.
enum class SettingCodec
{
    TrueFalse, // "True" / "False"; only "TRUE" in any case reads as on
    YesNo,     // "Yes" / "No"; only "YES" in any case reads as on
    Number,    // a whole number, see DecodeNumber
    Text       // as it stands
};

/// One setting, declared once: its key in section "General", the stored text a
/// missing key reads as, its spelling, and the field of the record that holds it.
/// Loading and storing both go through these declarations.
struct SettingDeclaration
{
    using Field = std::variant<std::string Settings::*, bool Settings::*, std::int32_t Settings::*>;

    const char* key;
    const char* fallback;
    SettingCodec codec;
    Field field;
};

inline constexpr SettingDeclaration kSettingDeclarations[] = {
    {kKeyDirectory, "/", SettingCodec::Text, &Settings::directory},
    {kKeyFilePattern, "*.*", SettingCodec::Text, &Settings::filePattern},
    {kKeyExcludeImages, "FALSE", SettingCodec::TrueFalse, &Settings::excludeImages},
    {kKeyIncludeOnlyImages, "FALSE", SettingCodec::TrueFalse, &Settings::includeOnlyImages},
    {kKeyExcludeBinaryFiles, "TRUE", SettingCodec::TrueFalse, &Settings::excludeBinaryFiles},
    {kKeyLaunchBrowser, "TRUE", SettingCodec::TrueFalse, &Settings::launchBrowser},
    {kKeyLaunchViewDeleteWizard, "FALSE", SettingCodec::TrueFalse,
     &Settings::launchViewDeleteWizard},
    {kKeyMinimumFileCount, "10", SettingCodec::Number, &Settings::minimumFileCount},
    {kKeyConfirmDeletions, "TRUE", SettingCodec::TrueFalse, &Settings::confirmDeletions},
    {kKeyShowQuickStart, "YES", SettingCodec::YesNo, &Settings::showQuickStart},
    {kKeyReadCacheRecords, "TRUE", SettingCodec::TrueFalse, &Settings::readCacheRecords},
};

/// The declaration of the setting held in `field`.
template <typename T> constexpr const SettingDeclaration& DeclarationOf(T Settings::*field)
{
    for (const SettingDeclaration& declaration : kSettingDeclarations) {
        const auto* held = std::get_if<T Settings::*>(&declaration.field);
        if (held && *held == field)
            return declaration;
    }
    throw std::logic_error("a field of Settings without a declaration");
}

/// The text `declaration` stores for the value `settings` holds.
std::string EncodeSetting(const SettingDeclaration& declaration, const Settings& settings);

/// Sets the field of `declaration` in `settings` from its stored `text`.
void DecodeSetting(const SettingDeclaration& declaration, std::string_view text,
                   Settings& settings);

/// Writes the value `settings` holds for `declaration` to the settings file.
/// Fails when nothing was written (see WriteSetting).
Result<void> StoreSetting(const SettingDeclaration& declaration, const Settings& settings,
                          const std::string& path);

/// Sets `field` to `value` in the record and writes it to the settings file at once.
template <typename T, typename V>
Result<void> WriteSettingValue(T Settings::*field, V value, Settings& settings,
                               const std::string& path)
{
    settings.*field = T(std::move(value));
    return StoreSetting(DeclarationOf(field), settings, path);
}

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
Result<void> WriteMainWindowSettings(const MainWindowValues& w, const std::string& path);

/// The Quick Start window's closing: "Show Quick Start" = "No" when its box
/// "do not show again" is ticked, else "Yes"; the record follows.
Result<void> WriteQuickStartClosing(bool doNotShowAgain, Settings& settings,
                                    const std::string& path);

/// The delete confirmation told not to ask again: "Confirm Deletions" = "False",
/// and the record follows.
Result<void> WriteConfirmDeletionsOff(Settings& settings, const std::string& path);

/// The File menu's "Read Browser Cache Records" toggled: "Read Cache Records" =
/// "True" or "False", written at once (the main window's closing does not write
/// it, so a settings file never gains the key until the user chooses; a missing
/// key reads as "True"), and the record follows.
Result<void> WriteReadCacheRecords(bool on, Settings& settings, const std::string& path);

} // namespace tessaloom
