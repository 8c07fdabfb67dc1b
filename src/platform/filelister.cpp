#include "platform/filelister.h"

#include "platform/textcodec.h"
#include "platform/wildcard.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

void SortNamesForDisplay(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return ICompare(a, b) < 0; });
}

bool ListMatchingFiles(const std::filesystem::path& folder, std::string_view pattern,
                       std::vector<std::string>& names, std::string* error)
{
    names.clear();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        if (error)
            *error = folder.string() + ": " + std::strerror(errno);
        return false;
    }
    const int dfd = ::dirfd(dir);
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
    if (readError != 0) {
        names.clear();
        if (error)
            *error = folder.string() + ": " + std::strerror(readError);
        return false;
    }
    SortNamesForDisplay(names);
    return true;
}

} // namespace tessaloom
