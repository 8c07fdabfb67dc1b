#include "indexer/records/thumbnailqueue.h"

#include <algorithm>
#include <system_error>

namespace tessaloom::records {

ThumbnailQueue::ThumbnailQueue(PictureScaler& scaler, unsigned threads, std::size_t maxBytes)
    : m_scaler(scaler), m_maxBytes(maxBytes), m_maxJobs(4 * std::max(threads, 1u))
{
    for (unsigned i = 0; i < std::max(threads, 1u); ++i) {
        try {
            m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // out of threads: see takeFinished
        }
    }
}

ThumbnailQueue::~ThumbnailQueue()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

unsigned ThumbnailQueue::ThreadsToUse()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
}

bool ThumbnailQueue::hasRoomFor(std::size_t bytes) const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.empty() ||
           (m_entries.size() < m_maxJobs && bytes <= m_maxBytes && m_bytes <= m_maxBytes - bytes);
}

void ThumbnailQueue::push(Job job)
{
    {
        const std::lock_guard lock(m_mutex);
        m_bytes += job.picture.size();
        m_entries.push_back({std::move(job), false});
    }
    m_changed.notify_all();
}

std::optional<ThumbnailQueue::Job> ThumbnailQueue::takeFinished(bool wait)
{
    std::unique_lock lock(m_mutex);
    if (wait && m_threads.empty() && !m_entries.empty() && m_started == 0) {
        // No thread could be started: the caller makes the thumbnail it waits for.
        makeNext(lock);
    }
    if (wait)
        m_changed.wait(lock, [this] { return m_entries.empty() || m_entries.front().done; });
    if (m_entries.empty() || !m_entries.front().done)
        return std::nullopt;
    Job job = std::move(m_entries.front().job);
    m_entries.pop_front();
    --m_started;
    m_bytes -= job.picture.size();
    return job;
}

bool ThumbnailQueue::empty() const
{
    const std::lock_guard lock(m_mutex);
    return m_entries.empty();
}

void ThumbnailQueue::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || m_started < m_entries.size(); });
        if (m_stopping)
            return;
        makeNext(lock);
        m_changed.notify_all();
    }
}

void ThumbnailQueue::makeNext(std::unique_lock<std::mutex>& lock)
{
    // A deque keeps its elements in place while others come and go at its ends,
    // and the front is taken only once done.
    Entry& entry = m_entries[m_started++];
    lock.unlock();
    std::optional<Thumbnail> made = m_scaler.makeThumbnail(entry.job.picture);
    lock.lock();
    entry.job.thumbnail = std::move(made);
    entry.done = true;
}

} // namespace tessaloom::records
