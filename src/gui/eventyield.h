#pragma once

#include "platform/callbacks.h"

#include <chrono>

// Long work (the index build, the drive search) runs on the user-interface thread
// and lets window events run through the core's yield callback.
namespace tessaloom::gui {

/// How often long work lets events run: often enough for a window that repaints and
/// takes a Cancel click at once, rarely enough not to cost a run over many small
/// files its speed.
inline constexpr std::chrono::milliseconds kEventInterval{5};

/// A yield callback that processes pending window events when at least `interval`
/// has passed since it last did (and at its first call), and otherwise returns at once.
YieldFn ThrottledEventYield(std::chrono::milliseconds interval = kEventInterval);

} // namespace tessaloom::gui
