#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaloom {

/// True for a name that can only mean an entry directly inside one folder: not
/// empty, no "/", no NUL byte (which would cut the name short at the system
/// call), and not "." or "..".
bool IsPlainFileName(std::string_view name);

/// The folder of an index document, held open while its entries are tested or
/// deleted. Every test and delete goes through the one open folder, by bare name
/// and without following a final symbolic link, so a path swapped meanwhile
/// cannot redirect them to a file elsewhere.
class IndexFolder
{
public:
    explicit IndexFolder(std::filesystem::path folder);
    ~IndexFolder();
    IndexFolder(const IndexFolder&) = delete;
    IndexFolder& operator=(const IndexFolder&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    const std::filesystem::path& path() const { return m_path; }
    /// Why the folder could not be opened.
    const std::string& error() const { return m_error; }

    /// True when `name` may be listed and deleted: a plain, not hidden name of a
    /// regular file, or of a symbolic link that leads to a regular file directly
    /// in this folder.
    bool holdsListableFile(std::string_view name) const;

    /// True only when nothing at all is there under the plain name `name`.
    bool isGone(std::string_view name) const;

    /// Deletes the listable file `name` (a symbolic link itself, never its
    /// target). False with the reason in `error` when it stays.
    bool removeFile(std::string_view name, std::string* error = nullptr) const;

    /// The full path shown for an entry of this folder.
    std::string entryPath(std::string_view name) const;

private:
    bool linkStaysInside(const std::string& name) const;

    std::filesystem::path m_path;
    std::string m_error;
    mutable std::string m_realPath; // resolved on first need
    mutable bool m_realPathKnown = false;
    int m_fd = -1;
};

} // namespace tessaloom
