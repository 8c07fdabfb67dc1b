#include "gui/eventyield.h"

#include "platform/coarseclock.h"

#include <QCoreApplication>

#include <cstdint>
#include <memory>

namespace tessaloom::gui {

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
