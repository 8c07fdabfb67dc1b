#pragma once

#include "platform/filedescriptor.h"
#include "platform/result.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>

namespace tessaloom {

// Reading files the program did not write. Such a name may be a FIFO (an open
// for reading would hang), a device (opening /dev/ptmx allocates a terminal,
// other devices do worse, above all as root) or a symbolic link to either. So the
// type is checked on an O_PATH descriptor, which opens nothing, and only a
// regular file is then opened for reading, through that same descriptor.
//
// Typical use:
//
//     OpenedFile file = OpenFileForReading(folderFd, name, FinalLink::Refuse);
//     if (!file.fd) return Refuse(ReadFailureText(file));   // file.found / file.info
//     ssize_t n = ReadSome(file.fd.get(), buffer, size);     // EINTR handled
//
// or, for a whole small file, ReadFileLimited(path, limit).

/// What to do when the name's last component is a symbolic link.
enum class FinalLink
{
    Follow, ///< open what the link leads to (still refused unless a regular file)
    Refuse, ///< a link is refused as not a regular file
};

/// The outcome of OpenFileForReading.
struct OpenedFile
{
    /// Open for reading (O_RDONLY, O_NONBLOCK, O_CLOEXEC); invalid on any failure.
    FileDescriptor fd;
    /// True when the name led to something, whatever its type or permissions;
    /// `info` is then its status (of the link itself under FinalLink::Refuse).
    bool found = false;
    struct stat info
    {
    };
    /// True when what was found is not a regular file (so it was never opened).
    bool notRegular = false;
    /// errno of the failure (ENOENT, EACCES, ...); 0 when `notRegular` or on success.
    int error = 0;
};

/// Opens a regular file for reading, `name` taken relative to the open folder
/// `folderFd` (or AT_FDCWD). Never opens a FIFO, socket or device for reading.
OpenedFile OpenFileForReading(int folderFd, const char* name, FinalLink link);
OpenedFile OpenFileForReading(const std::filesystem::path& path,
                              FinalLink link = FinalLink::Follow);

/// OpenFileForReading with FinalLink::Follow, in the system calls of a plain open
/// for the usual case: `name` is opened at once with O_NOFOLLOW and O_NONBLOCK, so
/// a symbolic link (the way anyone can plant a device or a FIFO) is never opened
/// that way and goes through OpenFileForReading instead. What opens at once and is
/// not a regular file is closed unread: a FIFO opens without blocking, a socket
/// does not open, and a device node cannot be placed in a folder without privilege.
/// Meant for the many files of a folder that was just listed. Reading through it
/// leaves the access times of the user's own files as they were.
OpenedFile OpenFolderEntryForReading(int folderFd, const char* name);

/// A reason the user can read: "not a regular file" or the system's text for error.
std::string ReadFailureText(const OpenedFile& file);
/// The Error of a failed OpenFileForReading: `what` + ": " + ReadFailureText(file),
/// coded with the errno or kNotRegularFile.
Error ReadFailure(const OpenedFile& file, std::string_view what);

/// One read(), repeated when a signal interrupts it. -1 with errno on failure.
ssize_t ReadSome(int fd, char* data, std::size_t size);

/// Reads until `size` bytes or the end of the file, whichever is first, and
/// returns how many it read. A failed read fails the whole (its errno, no file
/// name: the caller knows it); what came before it is in `data` but not counted.
Result<std::size_t> ReadFull(int fd, char* data, std::size_t size);

/// ReadFull for a caller that takes whatever arrived: a read that fails ends the
/// bytes as the end of the file would, and they are all counted.
std::size_t ReadWhatArrives(int fd, char* data, std::size_t size);

/// Reads at most `limit` bytes of a regular file (following a link at the end of
/// the path). Fails when it cannot be opened, is not a regular file, or a read
/// fails, with the path and the reason. Never blocks on FIFOs or devices. To learn
/// whether a file is over a size, ask for one byte more than that size.
Result<std::string> ReadFileLimited(const std::filesystem::path& path, std::size_t limit);

} // namespace tessaloom
