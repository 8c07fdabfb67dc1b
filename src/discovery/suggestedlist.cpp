#include "discovery/suggestedlist.h"

#include "platform/filelister.h"
#include "platform/readfile.h"
#include "platform/textcodec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <tuple>
#include <unordered_set>

namespace tessaloom {

namespace {

constexpr const char* kNoDate = "01/01/1900";
// However large the file, reading stops here: a list written by the search is
// a small fraction of this.
constexpr std::size_t kMaxFolderListBytes = 64 * 1024 * 1024;

// Reads a file line by line with bounded memory; never blocks on a FIFO.
class LineReader
{
public:
    explicit LineReader(const std::filesystem::path& path)
        : m_fd(OpenFileForReading(path, FinalLink::Follow).fd)
    {}

    bool isOpen() const { return m_fd.valid(); }

    /// The next line without its CR LF; `tooLong` when it was cut off. False at
    /// the end or after a read error.
    bool next(std::string& line, bool& tooLong)
    {
        line.clear();
        tooLong = false;
        bool any = false;
        for (;;) {
            if (m_pos == m_end && !fill())
                break;
            any = true;
            const char* start = m_buffer + m_pos;
            const auto* newline = static_cast<const char*>(std::memchr(start, '\n', m_end - m_pos));
            const std::size_t take =
                newline ? static_cast<std::size_t>(newline - start) : m_end - m_pos;
            if (line.size() + take > kMaxFolderListLine + 1)
                tooLong = true;
            else
                line.append(start, take);
            m_pos += take;
            if (newline) {
                ++m_pos;
                break;
            }
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kMaxFolderListLine)
            tooLong = true;
        return any;
    }

private:
    bool fill()
    {
        if (!m_fd || m_total >= kMaxFolderListBytes)
            return false;
        const ssize_t n = ReadSome(m_fd.get(), m_buffer, sizeof m_buffer);
        if (n <= 0)
            return false;
        m_pos = 0;
        m_end = static_cast<std::size_t>(n);
        m_total += m_end;
        return true;
    }

    FileDescriptor m_fd;
    char m_buffer[64 * 1024];
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    std::size_t m_total = 0;
};

bool IsFolder(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string SuggestedEntryText(std::string_view newestDate, std::int64_t fileCount,
                               std::string_view path)
{
    std::string text = "[Newest: ";
    text += newestDate;
    text += " | Files: ";
    text += std::to_string(fileCount);
    text += "] ";
    text += path;
    return text;
}

SuggestedList ReadSuggestedList(const std::filesystem::path& folderListPath,
                                std::int32_t minimumFileCount, std::string_view filePattern,
                                const LocaleFormats& formats, const YieldFn& yield)
{
    SuggestedList list;
    struct stat st
    {
    };
    if (::stat(folderListPath.c_str(), &st) != 0)
        return list;
    list.listExists = true;
    list.headerText = kSuggestedListHeader;

    auto reader = std::make_unique<LineReader>(folderListPath);
    std::string line;
    bool tooLong = false;
    std::vector<std::string> names;
    // A list with one line repeated thousands of times must not count the folder
    // again for each copy.
    std::unordered_set<std::string> seen;
    while (reader->isOpen() && reader->next(line, tooLong)) {
        CallYield(yield);
        // Only absolute paths: a relative one would be read against whatever the
        // process's current folder happens to be. Blank lines go the same way, and
        // so does a NUL, which would cut the path short.
        if (tooLong || line.empty() || line.front() != '/' ||
            line.find('\0') != std::string::npos || !seen.insert(line).second || !IsFolder(line))
            continue;
        // A folder that cannot be read counts as one without files.
        Result<std::vector<std::string>> listed = ListMatchingFiles(line, filePattern);
        names = listed ? std::move(listed).value() : std::vector<std::string>{};
        const auto fileCount = static_cast<std::int64_t>(names.size());
        if (fileCount < minimumFileCount)
            continue;

        std::tuple<int, int, int> newestDay{1900, 1, 1};
        std::string newestText = kNoDate;
        for (const std::string& name : names) {
            CallYield(yield);
            struct stat fileStat
            {
            };
            std::string file = line;
            file += '/';
            file += name;
            if (::stat(file.c_str(), &fileStat) != 0)
                continue;
            const LocalDateTime modified = ToLocalDateTime(fileStat.st_mtime);
            const std::tuple<int, int, int> day{modified.year, modified.month, modified.day};
            if (day > newestDay) {
                newestDay = day;
                newestText = FormatDateTimePicture(modified, "MM/dd/yyyy", formats);
            }
        }
        list.entries.push_back(SuggestedEntryText(newestText, fileCount, line));
    }
    std::sort(list.entries.begin(), list.entries.end(),
              [](const std::string& a, const std::string& b) { return ICompare(a, b) < 0; });
    return list;
}

std::optional<std::string> ChosenFolderOfEntry(std::string_view entryText)
{
    const std::size_t at = entryText.find("] ");
    if (at == std::string_view::npos)
        return std::nullopt;
    return std::string(entryText.substr(at + 2));
}

} // namespace tessaloom
