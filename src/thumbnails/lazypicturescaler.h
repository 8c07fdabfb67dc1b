#pragma once

#include "thumbnails/qtpicturescaler.h"

#include <QThread>
#include <QThreadPool>

#include <mutex>
#include <optional>

namespace tessaloom {

/// A QtPictureScaler made at its first picture. Making one asks Qt for its image
/// writers, which loads every image-format plugin: a cost most builds never need,
/// as a thumbnail kept from the last build is taken over without decoding. The
/// build's threads call it several at once, the first pictures too: the scaler is
/// made exactly once.
class LazyPictureScaler final : public records::PictureScaler
{
public:
    LazyPictureScaler()
    {
        // Qt takes the first thread that asks for its thread data as the program's
        // main thread, and moves the image plugins it loads to that thread. Here
        // that would be one of the build's picture threads, whose data goes when
        // the thread ends: the plugins' teardown at exit then frees memory twice.
        // Asked here, on the thread that makes the build, it costs next to nothing.
        // Qt's thread pool, which scales large pictures, is made here for the same
        // reason: made by a picture thread, it would belong to that thread.
        QThread::currentThread();
        QThreadPool::globalInstance();
    }
    LazyPictureScaler(const LazyPictureScaler&) = delete;
    LazyPictureScaler& operator=(const LazyPictureScaler&) = delete;
    std::optional<records::Thumbnail> makeThumbnail(std::string_view picture) override
    {
        std::call_once(m_made, [this] { m_scaler.emplace(); });
        return m_scaler->makeThumbnail(picture);
    }

private:
    std::once_flag m_made;
    std::optional<QtPictureScaler> m_scaler;
};

} // namespace tessaloom
