#include "indexer/records/thumbnailqueue.h"
#include "support/childprocess.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

namespace tessaloom::records {
namespace {

class NamingScaler final : public PictureScaler
{
public:
    std::optional<Thumbnail> makeThumbnail(std::string_view picture) override
    {
        return Thumbnail{"small " + std::string(picture), "png", 1, 1};
    }
};

// Thumbnails come back in the order they were asked for, made on the queue's
// threads or, where the process may start none, by the caller waiting for them.
TEST(ThumbnailQueue, HandsBackInOrderWithOrWithoutThreads)
{
    const auto run = [] {
        NamingScaler scaler;
        ThumbnailQueue queue(scaler, 2, 1 << 20);
        for (std::size_t i = 0; i < 5; ++i)
            queue.push({i, "p" + std::to_string(i), std::nullopt});
        std::string order;
        while (std::optional<ThumbnailQueue::Job> job = queue.takeFinished(true))
            order += std::to_string(job->tag) + "=" +
                     (job->thumbnail ? job->thumbnail->bytes : std::string("none")) + ";";
        return order;
    };
    const std::string expected = "0=small p0;1=small p1;2=small p2;3=small p3;4=small p4;";
    EXPECT_EQ(run(), expected);

    if (!test::RunningAsRoot())
        return; // no user of its own whose threads can be held to none
    const std::optional<std::string> limited = test::RunInChild([&] {
        if (!test::DropRootAndThreads())
            return std::string("cannot limit");
        return run();
    });
    EXPECT_EQ(limited, expected);
}

} // namespace
} // namespace tessaloom::records
