#include "shell/inistore.h"

#include "platform/atomicfile.h"
#include "platform/readfile.h"
#include "platform/textcodec.h"

#include <filesystem>

namespace tessaloom {

namespace {

constexpr std::size_t npos = std::string::npos;

bool HasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != npos;
}

/// The section name of a header line ("[General]", blanks allowed around the
/// name and before the bracket), or false when the line is no header.
bool HeaderName(std::string_view line, std::string_view& name)
{
    line = TrimBlanksAndTabs(line);
    // Editors on other systems may start the file with a UTF-8 byte-order mark.
    if (line.starts_with("\xEF\xBB\xBF"))
        line.remove_prefix(3);
    if (line.empty() || line.front() != '[')
        return false;
    const std::size_t close = line.find(']');
    if (close == npos)
        return false;
    name = TrimBlanksAndTabs(line.substr(1, close - 1));
    return true;
}

/// Splits a key line at its first "="; comment lines (";") and lines without "="
/// are no keys.
bool SplitKeyLine(std::string_view line, std::string_view& key, std::size_t& equals)
{
    const std::string_view trimmed = TrimBlanksAndTabs(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '[')
        return false;
    equals = line.find('=');
    if (equals == npos)
        return false;
    key = TrimBlanksAndTabs(line.substr(0, equals));
    return !key.empty();
}

/// The value as it goes into its line: enclosed in double quotes when the reader
/// would otherwise change it (blanks at either end are trimmed, a pair of enclosing
/// quotes is stripped), else as given.
std::string StoredValue(std::string_view value)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const bool trimmed = !value.empty() && (blank(value.front()) || blank(value.back()));
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    if (!trimmed && !quoted)
        return std::string(value);
    return '"' + std::string(value) + '"';
}

bool IsBlank(std::string_view line)
{
    return TrimBlanksAndTabs(line).empty();
}

} // namespace

Result<void> IniDocument::load(const std::string& path)
{
    m_content.clear();
    std::error_code ec;
    // Followed: a link that leads nowhere yet is written through like any other.
    const auto status = std::filesystem::status(path, ec);
    if (status.type() == std::filesystem::file_type::not_found)
        return {};
    if (ec)
        return SystemError(ec.value(), path);
    Result<std::string> content = ReadFileLimited(path, kMaxSettingsFileSize + 1);
    if (!content)
        return content.error();
    if (content.value().size() > kMaxSettingsFileSize)
        return Error{kTooLarge, path + ": larger than " +
                                    std::to_string(kMaxSettingsFileSize / (1024 * 1024)) + " MB"};
    m_content = std::move(content).value();
    return {};
}

void IniDocument::parse(std::string_view content)
{
    m_content.assign(content);
}

IniDocument::Line IniDocument::lineAt(std::size_t begin) const
{
    Line line;
    if (begin >= m_content.size())
        return line;
    line.found = true;
    line.begin = begin;
    const std::size_t nl = m_content.find('\n', begin);
    if (nl == npos) {
        line.textEnd = line.next = m_content.size();
        return line;
    }
    line.next = nl + 1;
    line.textEnd = (nl > begin && m_content[nl - 1] == '\r') ? nl - 1 : nl;
    return line;
}

std::string_view IniDocument::text(const Line& line) const
{
    return std::string_view(m_content).substr(line.begin, line.textEnd - line.begin);
}

IniDocument::Line IniDocument::findSection(std::string_view section) const
{
    const std::string_view wanted = TrimBlanksAndTabs(section);
    std::string_view name;
    for (Line line = lineAt(0); line.found; line = lineAt(line.next)) {
        if (HeaderName(text(line), name) && IEquals(name, wanted))
            return line;
    }
    return {};
}

IniDocument::Line IniDocument::findKey(const Line& header, std::string_view key) const
{
    const std::string_view wanted = TrimBlanksAndTabs(key);
    std::string_view name;
    std::size_t equals = 0;
    for (Line line = lineAt(header.next); line.found; line = lineAt(line.next)) {
        if (HeaderName(text(line), name))
            break;
        if (SplitKeyLine(text(line), name, equals) && IEquals(name, wanted))
            return line;
    }
    return {};
}

std::string IniDocument::value(std::string_view section, std::string_view key,
                               std::string_view fallback) const
{
    const Line header = findSection(section);
    const Line line = header.found ? findKey(header, key) : Line{};
    if (!line.found)
        return std::string(fallback);
    const std::string_view lineText = text(line);
    std::string_view value = TrimBlanksAndTabs(lineText.substr(lineText.find('=') + 1));
    // A value written in matching quotes comes back without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(FirstChars(value, kMaxSettingLength));
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string_view sectionName = TrimBlanksAndTabs(section);
    const std::string_view keyName = TrimBlanksAndTabs(key);
    // A line break in any part would split the line and plant foreign lines in the
    // file (a folder name may hold one on this platform), so such values are refused.
    if (sectionName.empty() || keyName.empty() || HasLineBreakOrNul(section) ||
        HasLineBreakOrNul(key) || HasLineBreakOrNul(value) || sectionName.find(']') != npos ||
        keyName.find('=') != npos || keyName.front() == '[' || keyName.front() == ';') {
        return false;
    }
    const std::string stored = StoredValue(value);
    const std::string newLine = std::string(keyName) + "=" + stored + "\r\n";

    const Line header = findSection(sectionName);
    if (!header.found) {
        if (!m_content.empty() && m_content.back() != '\n')
            m_content += "\r\n";
        m_content += '[';
        m_content += sectionName;
        m_content += "]\r\n";
        m_content += newLine;
        return true;
    }

    const Line existing = findKey(header, keyName);
    if (existing.found) {
        // The changed line ends in CR LF like every line the program writes.
        const std::size_t valueBegin = m_content.find('=', existing.begin) + 1;
        m_content.replace(valueBegin, existing.next - valueBegin, stored + "\r\n");
        return true;
    }

    // After the section's last non-blank line, so that blank lines that separate
    // it from the next section stay where they are.
    Line last = header;
    std::string_view name;
    for (Line line = lineAt(header.next); line.found; line = lineAt(line.next)) {
        if (HeaderName(text(line), name))
            break;
        if (!IsBlank(text(line)))
            last = line;
    }
    if (last.next == last.textEnd) // the file's last line, without a line end
        m_content.insert(last.next, "\r\n" + newLine);
    else
        m_content.insert(last.next, newLine);
    return true;
}

std::string ReadSetting(std::string_view section, std::string_view key, std::string_view fallback,
                        const std::string& path)
{
    IniDocument doc;
    if (!doc.load(path)) // unusable: read as a missing file
        return std::string(fallback);
    return doc.value(section, key, fallback);
}

Result<void> WriteSetting(std::string_view section, std::string_view key, std::string_view value,
                          const std::string& path)
{
    return WriteSettings(section, {{std::string(key), std::string(value)}}, path);
}

Result<void> WriteSettings(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& values,
                           const std::string& path)
{
    // An existing file that cannot be read must not be replaced by one that holds
    // only the new values.
    IniDocument doc;
    if (Result<void> loaded = doc.load(path); !loaded)
        return loaded;
    bool changed = false;
    for (const auto& [key, value] : values)
        changed = doc.set(section, key, value) || changed;
    if (!changed)
        return Error{kCannotStore, path + ": cannot hold the value given"};
    return WriteFileAtomically(path, doc.content(), LinkAtTarget::WriteThrough);
}

} // namespace tessaloom
