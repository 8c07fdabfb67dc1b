#pragma once

#include "platform/filedescriptor.h"
#include "platform/result.h"

#include <ctime>
#include <filesystem>
#include <optional>
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

    /// Creates the temporary file. Fails when the folder is not writable or the
    /// existing target may not be written.
    Result<void> open();
    /// Appends bytes. After a failed write every later write fails with the first
    /// failure, and so does commit(): the file would have a hole.
    Result<void> write(std::string_view bytes);
    /// Flushes, closes and renames over the target; the first failure on the way.
    Result<void> commit();
    /// Drops the temporary file; the target is untouched.
    void discard();

    const std::filesystem::path& target() const { return m_target; }

private:
    // Keeps the first failure (later ones follow from it) and returns it.
    Error fail(std::string_view what, int err);
    Result<void> flush();
    void startWriteback(std::size_t bytes);
    Result<void> nameUnnamedFile();

    std::filesystem::path m_target;
    LinkAtTarget m_links;
    std::filesystem::path m_path; // the file replaced: the target or a link's end
    FileDescriptor m_folder;      // m_path's folder
    std::string m_tempName;       // named temporary file in m_folder, if any
    std::string m_buffer;
    std::size_t m_written = 0; // bytes in the temporary file
    std::optional<Error> m_error;
    FileDescriptor m_fd;
};

/// Convenience: the whole content at once. A failure's message is a reason the
/// user can read.
Result<void> WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                                 LinkAtTarget links = LinkAtTarget::Replace);

/// Removes the writer's own temporary files of `target` ("." + name + ".XXXXXX",
/// regular files of this user) last changed before `before`. Returns how many.
/// The writer does this itself where it must name its temporary files.
int RemoveStaleTemporaryFiles(const std::filesystem::path& target, std::time_t before);

} // namespace tessaloom
