#include "mainwindow/folderview.h"

#include "platform/filelister.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>

namespace tessaloom {

namespace {

/// True when `mount` is `folder` or a whole-component prefix of it.
bool HoldsFolder(std::string_view mount, std::string_view folder)
{
    if (mount == "/")
        return !folder.empty() && folder.front() == '/';
    if (!folder.starts_with(mount))
        return false;
    return folder.size() == mount.size() || folder[mount.size()] == '/';
}

} // namespace

std::optional<std::size_t> VolumeOfFolder(const std::vector<Volume>& volumes,
                                          std::string_view folder)
{
    const std::string clean = NormalFolderPath(folder);
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        const std::string mount = NormalFolderPath(volumes[i].mountPoint);
        if (!HoldsFolder(mount, clean))
            continue;
        if (!best || mount.size() > NormalFolderPath(volumes[*best].mountPoint).size())
            best = i;
    }
    return best;
}

std::string NormalFolderPath(std::string_view path)
{
    if (path.empty())
        return {};
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(std::filesystem::path(path), ec);
    if (ec)
        p = std::filesystem::path(path);
    std::string text = p.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

FolderReading ReadFolderView(const std::string& current)
{
    namespace fs = std::filesystem;
    FolderReading reading;
    std::vector<FolderRow>& rows = reading.rows;
    const fs::path folder(NormalFolderPath(current));
    int depth = 0;
    fs::path walked;
    for (const fs::path& part : folder) {
        walked /= part;
        const std::string name = part.string();
        if (name.empty())
            continue;
        rows.push_back({walked.string(), name, depth++, true});
    }

    // A cache folder holds many thousand files and few folders: the entries' own
    // types sort them out, and only a link (or an entry of a file system that
    // gives no type) costs a look at what it leads to. The same pass keeps the
    // files, which the file list would otherwise read the folder again for.
    std::vector<std::string> names;
    std::vector<std::string> files;
    if (DIR* dir = ::opendir(folder.c_str())) {
        const int dfd = ::dirfd(dir);
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") {
                errno = 0;
                continue;
            }
            bool isFolder = entry->d_type == DT_DIR;
            bool isFile = entry->d_type == DT_REG;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat st
                {
                };
                const bool known = ::fstatat(dfd, entry->d_name, &st, 0) == 0;
                isFolder = known && S_ISDIR(st.st_mode);
                isFile = known && S_ISREG(st.st_mode);
            }
            if (isFolder)
                names.emplace_back(name);
            else if (isFile && name.front() != '.')
                files.emplace_back(name);
            errno = 0;
        }
        // A reading cut short leaves the file list to read the folder itself.
        if (errno == 0)
            reading.files = std::move(files);
        ::closedir(dir);
    }
    SortNamesForDisplay(names);
    for (std::string& name : names)
        rows.push_back({(folder / name).string(), std::move(name), depth, false});
    return reading;
}

std::vector<FolderRow> FolderListRows(const std::string& current)
{
    return ReadFolderView(current).rows;
}

Result<void> ProbeFolder(const std::string& folder)
{
    const auto failed = [](int error) { return Error{error, std::strerror(error)}; };
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return failed(errno != 0 ? errno : EIO);
    errno = 0;
    // Only whether reading succeeds matters, told by errno, not which entry came.
    std::ignore = ::readdir(dir);
    const int error = errno;
    ::closedir(dir);
    if (error != 0)
        return failed(error);
    return {};
}

std::string ProbeErrorTitle(const Error& error)
{
    return "ERROR: " + std::to_string(error.code);
}

} // namespace tessaloom
