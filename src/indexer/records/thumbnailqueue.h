#pragma once

#include "indexer/records/picturescaler.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessaloom::records {

/// Makes thumbnails on threads of its own while the build reads on, and hands them
/// back in the order they were asked for: what a build stores then never depends
/// on which thread finishes first. The scaler is called from those threads, several
/// at once.
class ThumbnailQueue
{
public:
    struct Job
    {
        std::size_t tag = 0; // the caller's, handed back unchanged
        std::string picture;
        std::optional<Thumbnail> thumbnail; // made, when a decoder reads the picture
    };

    /// At most `maxBytes` of pictures wait at once (a larger one alone).
    ThumbnailQueue(PictureScaler& scaler, unsigned threads, std::size_t maxBytes);
    ~ThumbnailQueue();
    ThumbnailQueue(const ThumbnailQueue&) = delete;
    ThumbnailQueue& operator=(const ThumbnailQueue&) = delete;

    /// Threads worth starting on this machine: the build itself keeps one busy.
    static unsigned ThreadsToUse();

    /// True when a picture of `bytes` may be pushed now.
    bool hasRoomFor(std::size_t bytes) const;
    void push(Job job);
    /// The oldest job once its thumbnail is made: at once when it is, or, with
    /// `wait`, as soon as it is. Nullopt when none is waiting (or made, without
    /// `wait`).
    std::optional<Job> takeFinished(bool wait);
    bool empty() const;

private:
    struct Entry
    {
        Job job;
        bool done = false;
    };
    void work();
    // Makes the thumbnail of the first job no thread has taken, unlocked meanwhile.
    void makeNext(std::unique_lock<std::mutex>& lock);

    PictureScaler& m_scaler;
    const std::size_t m_maxBytes;
    const std::size_t m_maxJobs;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    /// In the order pushed; the first `m_started` have been taken by a thread.
    std::deque<Entry> m_entries;
    std::size_t m_started = 0;
    std::size_t m_bytes = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace tessaloom::records
