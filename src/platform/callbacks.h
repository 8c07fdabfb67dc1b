#pragma once

#include <ctime>
#include <functional>

namespace tessaloom {

/// Lets pending window events run during a long operation on the user-interface
/// thread. The window passes one that processes events; the command-line tool and
/// most tests pass one that does nothing.
using YieldFn = std::function<void()>;

/// The current time; injectable so that tests control the clock.
using ClockFn = std::function<std::time_t()>;

inline void CallYield(const YieldFn& yield)
{
    if (yield)
        yield();
}

} // namespace tessaloom
