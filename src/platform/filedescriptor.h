#pragma once

#include <utility>

namespace tessaloom {

/// Owns one open file descriptor and closes it exactly once, however the owner's
/// code path ends. Movable, not copyable. -1 means "none".
class FileDescriptor
{
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const noexcept { return m_fd; }
    bool valid() const noexcept { return m_fd >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    /// Gives up ownership without closing.
    int release() noexcept { return std::exchange(m_fd, -1); }
    /// Closes the current descriptor (if any) and takes `fd`. Returns the result of
    /// close(): a caller that wrote through the descriptor must look at it.
    int reset(int fd = -1) noexcept;

private:
    int m_fd = -1;
};

} // namespace tessaloom
