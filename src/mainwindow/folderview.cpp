#include "mainwindow/folderview.h"

#include "platform/filelister.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <filesystem>

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

std::vector<FolderRow> FolderListRows(const std::string& current)
{
    namespace fs = std::filesystem;
    std::vector<FolderRow> rows;
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

    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            names.push_back(it->path().filename().string());
    }
    SortNamesForDisplay(names);
    for (std::string& name : names)
        rows.push_back({(folder / name).string(), std::move(name), depth, false});
    return rows;
}

int ProbeFolder(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno != 0 ? errno : EIO;
    errno = 0;
    (void)::readdir(dir); // only whether reading succeeds matters, told by errno
    const int error = errno;
    ::closedir(dir);
    return error;
}

std::string ProbeErrorTitle(int error)
{
    return "ERROR: " + std::to_string(error);
}

std::string ProbeErrorText(int error)
{
    return std::strerror(error);
}

} // namespace tessaloom
