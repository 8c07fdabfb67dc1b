#include "shell/settings.h"

#include "platform/textcodec.h"
#include "shell/inistore.h"

#include <type_traits>

namespace tessaloom {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

const char* TrueFalse(CheckState state)
{
    return state == CheckState::Checked ? "True" : "False";
}

} // namespace

bool DecodeBoolean(std::string_view text)
{
    return IEquals(text, "TRUE");
}

bool DecodeYesNo(std::string_view text)
{
    return IEquals(text, "YES");
}

std::int32_t DecodeNumber(std::string_view text, NumberRounding rounding)
{
    std::size_t i = 0;
    while (i < text.size() &&
           (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const std::size_t intBegin = i;
    while (i < text.size() && IsDigit(text[i]))
        ++i;
    std::string_view whole = text.substr(intBegin, i - intBegin);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fracBegin = ++i;
        while (i < text.size() && IsDigit(text[i]))
            ++i;
        fraction = text.substr(fracBegin, i - fracBegin);
    }
    if (whole.empty() && fraction.empty())
        return 0;

    while (!whole.empty() && whole.front() == '0')
        whole.remove_prefix(1);
    if (whole.size() > 10) // beyond any 32-bit value, however it rounds
        return 0;
    std::int64_t magnitude = 0;
    for (const char c : whole)
        magnitude = magnitude * 10 + (c - '0');

    // Decided on the digits themselves, so that no binary fraction blurs a half.
    const bool anyFraction = fraction.find_first_not_of('0') != std::string_view::npos;
    bool up = false;
    if (rounding == NumberRounding::Down) {
        up = negative && anyFraction;
    } else if (!fraction.empty()) {
        const char first = fraction.front();
        const bool beyondHalf =
            fraction.size() > 1 && fraction.find_first_not_of('0', 1) != std::string_view::npos;
        up = first > '5' || (first == '5' && (beyondHalf || magnitude % 2 == 1));
    }
    if (up)
        ++magnitude;

    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return 0;
    return static_cast<std::int32_t>(value);
}

std::string EncodeSetting(const SettingDeclaration& declaration, const Settings& settings)
{
    return std::visit(
        [&](auto field) -> std::string {
            const auto& value = settings.*field;
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool>) {
                if (declaration.codec == SettingCodec::YesNo)
                    return value ? "Yes" : "No";
                return value ? "True" : "False";
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                return std::to_string(value);
            } else {
                return value;
            }
        },
        declaration.field);
}

void DecodeSetting(const SettingDeclaration& declaration, std::string_view text, Settings& settings)
{
    std::visit(
        [&](auto field) {
            auto& value = settings.*field;
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool>)
                value = declaration.codec == SettingCodec::YesNo ? DecodeYesNo(text)
                                                                 : DecodeBoolean(text);
            else if constexpr (std::is_same_v<T, std::int32_t>)
                value = DecodeNumber(text);
            else
                value = std::string(text);
        },
        declaration.field);
}

Settings LoadSettings(const std::string& path)
{
    // A file that cannot be used reads as an empty one: every key its default.
    IniDocument doc;
    if (!doc.load(path))
        doc.parse({}); // unusable: as an empty one
    Settings s;
    for (const SettingDeclaration& declaration : kSettingDeclarations)
        DecodeSetting(declaration,
                      doc.value(kSectionGeneral, declaration.key, declaration.fallback), s);
    return s;
}

Result<void> StoreSetting(const SettingDeclaration& declaration, const Settings& settings,
                          const std::string& path)
{
    return WriteSetting(kSectionGeneral, declaration.key, EncodeSetting(declaration, settings),
                        path);
}

std::vector<std::pair<std::string, std::string>> MainWindowExitValues(const MainWindowValues& w)
{
    return {
        {kKeyDirectory, w.directory},
        {kKeyFilePattern, w.fileMask},
        {kKeyExcludeImages, TrueFalse(w.excludeImages)},
        {kKeyIncludeOnlyImages, TrueFalse(w.includeOnlyImages)},
        {kKeyExcludeBinaryFiles, TrueFalse(w.excludeBinaryFiles)},
        {kKeyLaunchBrowser, TrueFalse(w.launchBrowser)},
        {kKeyLaunchViewDeleteWizard, TrueFalse(w.launchViewDeleteWizard)},
        {kKeyMinimumFileCount, w.minFileCountText},
    };
}

Result<void> WriteMainWindowSettings(const MainWindowValues& w, const std::string& path)
{
    // One replacement of the file for all eight keys: same result as eight single
    // writes, but a crash cannot leave half of them written.
    return WriteSettings(kSectionGeneral, MainWindowExitValues(w), path);
}

Result<void> WriteQuickStartClosing(bool doNotShowAgain, Settings& settings,
                                    const std::string& path)
{
    return WriteSettingValue(&Settings::showQuickStart, !doNotShowAgain, settings, path);
}

Result<void> WriteConfirmDeletionsOff(Settings& settings, const std::string& path)
{
    return WriteSettingValue(&Settings::confirmDeletions, false, settings, path);
}

Result<void> WriteReadCacheRecords(bool on, Settings& settings, const std::string& path)
{
    return WriteSettingValue(&Settings::readCacheRecords, on, settings, path);
}

} // namespace tessaloom
