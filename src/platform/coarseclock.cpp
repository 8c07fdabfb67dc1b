#include "platform/coarseclock.h"

#include <ctime>

namespace tessaloom {

std::int64_t CoarseMilliseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace tessaloom
