#include "gui/eventyield.h"

#include <QCoreApplication>

#include <ctime>
#include <memory>

namespace tessaloom::gui {

std::int64_t CoarseMilliseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

YieldFn ThrottledEventYield(std::chrono::milliseconds interval)
{
    struct Clock
    {
        std::int64_t lastMs = 0;
        bool started = false;
    };
    // Shared, so that copies of the callback keep one clock.
    auto clock = std::make_shared<Clock>();
    return [clock, interval] {
        if (clock->started && CoarseMilliseconds() - clock->lastMs < interval.count())
            return;
        QCoreApplication::processEvents();
        // Counted from the end, so the work always gets its share of the time.
        clock->lastMs = CoarseMilliseconds();
        clock->started = true;
    };
}

} // namespace tessaloom::gui
