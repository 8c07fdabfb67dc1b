#pragma once

#include "platform/filedescriptor.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tessaloom {

/// Writes a file so that readers only ever see the old content or the complete new
/// content: the bytes go to a temporary file in the target's folder, which is
/// flushed to disk and then renamed over the target. If anything fails, the
/// temporary file is removed and the target is left exactly as it was.
///
/// A symbolic link at the target is replaced by the new file, never followed: the
/// program must not overwrite a file elsewhere that happens to be linked here.
class AtomicFile
{
public:
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Creates the temporary file. False (with error()) when the folder is not writable.
    bool open();
    /// Appends bytes; a failure is remembered and reported by commit().
    bool write(std::string_view bytes);
    /// Flushes, closes and renames over the target. False (with error()) on any failure.
    bool commit();
    /// Drops the temporary file; the target is untouched.
    void discard();

    const std::string& error() const { return m_error; }
    const std::filesystem::path& target() const { return m_target; }

private:
    bool fail(std::string_view what, int err);

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::string m_buffer;
    std::string m_error;
    FileDescriptor m_fd;
};

/// Convenience: the whole content at once. On failure `error` (when given) holds
/// a reason the user can read.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         std::string* error = nullptr);

} // namespace tessaloom
