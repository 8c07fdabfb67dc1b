#pragma once

#include "platform/callbacks.h"

#include <chrono>
#include <string>

namespace tessaloom {

/// How a launcher program (xdg-open) ended within the time it was given.
enum class LaunchOutcome
{
    Succeeded,    ///< ended with status 0
    Failed,       ///< could not start, ended with another status or by a signal
    StillRunning, ///< still running when the wait was over: it has started something
};

/// Starts `program` (a full path) with `argument` as its one argument, its input
/// and output on /dev/null, and waits up to `wait` for it to end, calling `yield`
/// between looks. A launcher still running then is left to run; it is reaped by a
/// later call, so that none stays a zombie for long.
[[nodiscard]] LaunchOutcome RunLauncher(const std::string& program, const std::string& argument,
                                        std::chrono::milliseconds wait, const YieldFn& yield);

} // namespace tessaloom
