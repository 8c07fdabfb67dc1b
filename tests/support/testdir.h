#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::test {

/// A temporary folder tree that removes itself. Files can be given a content and a
/// modification time (seconds since the epoch, UTC in the tests).
class TestDir
{
public:
    TestDir();
    ~TestDir();
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view relative) const { return m_path / relative; }

    /// Creates (or replaces) a file, making its parent folders; returns its path.
    std::filesystem::path createFile(std::string_view relative, std::string_view content = {},
                                     std::time_t mtime = 0);
    std::filesystem::path createDir(std::string_view relative);
    static void setMtime(const std::filesystem::path& file, std::time_t mtime);

private:
    std::filesystem::path m_path;
};

/// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::filesystem::path& file);

/// Seconds since the epoch of a UTC date and time.
std::time_t UtcTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

/// True when the tests run with the power to ignore file permissions (root).
bool RunningAsRoot();

/// Drops the files' pages from the system's cache, as a file system with a disk
/// drops clean pages. False where it cannot (a file system in memory).
bool DropFromSystemCache(const std::vector<std::filesystem::path>& files);

/// True when the first byte of `file` is in the system's cache.
bool InSystemCache(const std::filesystem::path& file);

/// Makes a folder refuse changes, also to root: read-only permissions for an
/// ordinary user, the immutable attribute for root. False when neither can be had.
bool LockFolder(const std::filesystem::path& folder, bool locked);

} // namespace tessaloom::test
