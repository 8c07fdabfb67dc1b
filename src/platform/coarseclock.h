#pragma once

#include <cstdint>

namespace tessaloom {

/// Milliseconds on a monotonic clock that costs a few nanoseconds to read but moves
/// only at the system's tick (a few milliseconds): for throttles that are asked
/// several times per file, where a precise clock read would be a noticeable part of
/// a small file's cost. Only differences between two readings mean anything.
std::int64_t CoarseMilliseconds();

} // namespace tessaloom
