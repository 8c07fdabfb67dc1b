#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tessaloom {

/// Reads the files of a list a little ahead of the one who works through it, on
/// threads of its own, so that files that are not in memory come from the disk
/// several at a time instead of one after the other. It only brings them into the
/// system's cache: what the caller then reads is what it would have read anyway.
class ReadAhead
{
public:
    /// Reads the file at `index` of the list; called on the threads, several at once.
    using WarmFn = std::function<void(std::size_t index)>;

    static constexpr unsigned kThreads = 4;
    static constexpr std::size_t kWindow = 64;

    /// Starts `threads` threads over a list of `count` files, the caller being at
    /// `from`; they read at most `window` files past the caller's place.
    ReadAhead(std::size_t count, std::size_t from, WarmFn warm, unsigned threads = kThreads,
              std::size_t window = kWindow);
    /// Stops the threads and waits for them; a file being read is read to its end.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    /// The caller is at `index`: the threads go on from the next file, up to
    /// `window` files past it.
    void reached(std::size_t index);

private:
    void work();

    const std::size_t m_count;
    const std::size_t m_window;
    const WarmFn m_warm;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_reached = 0; // the caller's place
    std::size_t m_next = 0;    // the next file for a thread
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

/// A WarmFn that opens `names[index]` in `folderFd` as the examination does
/// (OpenFolderEntryForReading) and reads up to `bytes` of a regular file. `names`
/// must outlive the ReadAhead.
ReadAhead::WarmFn ReadFolderEntries(int folderFd, const std::vector<std::string>& names,
                                    std::size_t bytes);

/// True when at least a quarter of the first `probe` regular files of `names` that
/// hold bytes have their first bytes outside the system's cache: a folder read
/// cold, where reading ahead pays. False where the system cannot tell.
bool FolderLooksUncached(int folderFd, const std::vector<std::string>& names, std::size_t probe);

} // namespace tessaloom
