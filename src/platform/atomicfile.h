#pragma once

#include "platform/filedescriptor.h"

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace tessaloom {

/// What the writer does when the target is a symbolic link.
enum class LinkAtTarget
{
    /// The link is replaced by the new file, never followed: for files in folders
    /// others may share (an index page in a cache folder), where a planted link
    /// must not make the program overwrite a file elsewhere.
    Replace,
    /// The file the link leads to is replaced, in its own folder, keeping its
    /// mode; the link stays. For the user's own data files (a dotfiles setup).
    WriteThrough,
};

/// Writes a file so that readers only ever see the old content or the complete new
/// content: the bytes go to a temporary file in the target's folder, which is
/// flushed to disk and then renamed over the target, and the folder is flushed
/// too. If anything fails, the target is left exactly as it was.
///
/// An existing target the user may not write (a read-only file) is refused, as
/// a write to it would be, although a rename needs only the folder's permission.
/// The temporary file is created without a name (O_TMPFILE) where the file system
/// allows it, so an interrupted program leaves nothing behind; elsewhere it is
/// named "." + target name + ".XXXXXX", and such files left over by an earlier
/// interrupted write are removed at the next write of the same target.
class AtomicFile
{
public:
    explicit AtomicFile(std::filesystem::path target, LinkAtTarget links = LinkAtTarget::Replace);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Creates the temporary file. False (with error()) when the folder is not
    /// writable or the existing target may not be written.
    bool open();
    /// Appends bytes. After a failed write every later write is refused (false)
    /// and commit() fails: the file would have a hole.
    bool write(std::string_view bytes);
    /// Flushes, closes and renames over the target. False (with error()) on any failure.
    bool commit();
    /// Drops the temporary file; the target is untouched.
    void discard();

    const std::string& error() const { return m_error; }
    const std::filesystem::path& target() const { return m_target; }

private:
    bool fail(std::string_view what, int err);
    bool flush();

    std::filesystem::path m_target;
    LinkAtTarget m_links;
    std::filesystem::path m_path; // the file replaced: the target or a link's end
    FileDescriptor m_folder;      // m_path's folder
    std::string m_tempName;       // named temporary file in m_folder, if any
    std::string m_buffer;
    std::string m_error;
    FileDescriptor m_fd;
};

/// Convenience: the whole content at once. On failure `error` (when given) holds
/// a reason the user can read.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         std::string* error = nullptr, LinkAtTarget links = LinkAtTarget::Replace);

/// Removes the writer's own temporary files of `target` ("." + name + ".XXXXXX",
/// regular files of this user) last changed before `before`. Returns how many.
/// The writer does this itself where it must name its temporary files.
int RemoveStaleTemporaryFiles(const std::filesystem::path& target, std::time_t before);

} // namespace tessaloom
