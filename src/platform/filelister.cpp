#include "platform/filelister.h"

#include "platform/moveintoorder.h"
#include "platform/textcodec.h"
#include "platform/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

namespace {

// The first eight bytes of `name` with ASCII letters folded, the first in the
// highest byte, zero-padded. Comparing two of these as numbers orders names as
// ICompare does up to their eighth byte: a name never holds a zero byte, so a
// shorter name sorts before a longer one that it begins.
std::uint64_t FoldedPrefix(std::string_view name)
{
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const auto byte = i < name.size() ? static_cast<unsigned char>(AsciiLower(name[i])) : 0U;
        key = (key << 8) | byte;
    }
    return key;
}

// At least as many entries as the folder likely holds, from its size: no fewer
// than 16 bytes each on the usual file systems. Growing a list of names twenty
// thousand long by doubling copies it over and over into fresh memory, where room
// reserved and never used costs nothing. Capped, as the size of a folder that once
// held millions of names stays large.
std::size_t LikelyEntryCount(int dfd)
{
    constexpr std::size_t kMinEntryBytes = 16;
    constexpr std::size_t kMostReserved = std::size_t{1} << 18;
    struct stat st
    {
    };
    if (::fstat(dfd, &st) != 0 || st.st_size <= 0)
        return 0;
    return std::min(static_cast<std::size_t>(st.st_size) / kMinEntryBytes, kMostReserved);
}

} // namespace

void SortNamesForDisplay(std::vector<std::string>& names)
{
    // Cache names mostly differ within their first eight bytes: small records keyed
    // by those sort without moving strings around, and whole names are compared only
    // when the keys are equal.
    struct Item
    {
        std::uint64_t prefix;
        std::size_t index;
    };
    std::vector<Item> items;
    items.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        items.push_back({FoldedPrefix(names[i]), i});
    std::sort(items.begin(), items.end(), [&names](const Item& a, const Item& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return ICompare(names[a.index], names[b.index]) < 0;
    });
    // In place: a second vector of names would be fresh memory as large as the list.
    MoveIntoOrder(names, [&items](std::size_t at) { return items[at].index; });
}

Result<std::vector<std::string>> ListMatchingFiles(const std::filesystem::path& folder,
                                                   std::string_view pattern)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return SystemError(errno, folder.string());
    const int dfd = ::dirfd(dir);
    names.reserve(LikelyEntryCount(dfd));
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st
            {
            };
            regular = ::fstatat(dfd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular && MatchesPattern(name, pattern))
            names.emplace_back(name);
        errno = 0;
    }
    const int readError = errno;
    ::closedir(dir);
    if (readError != 0)
        return SystemError(readError, folder.string());
    SortNamesForDisplay(names);
    return names;
}

} // namespace tessaloom
