#include "gui/eventyield.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>

namespace tessaloom::gui {

YieldFn ThrottledEventYield(std::chrono::milliseconds interval)
{
    // Shared, so that copies of the callback keep one clock.
    auto last = std::make_shared<QElapsedTimer>();
    return [last, interval] {
        if (last->isValid() && last->elapsed() < interval.count())
            return;
        QCoreApplication::processEvents();
        // Counted from the end, so the work always gets its share of the time.
        last->start();
    };
}

} // namespace tessaloom::gui
