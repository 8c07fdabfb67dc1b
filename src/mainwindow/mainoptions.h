#pragma once

#include "indexer/indexbuild.h"
#include "shell/settings.h"

#include <cstdint>
#include <optional>
#include <string_view>

// The main window's option boxes and its minimum-count box, as rules the window
// and the command-line tool share.
namespace tessaloom {

/// The five option check boxes of the main window, ticked or not.
struct OptionBoxes
{
    bool excludeImages = false;
    bool includeOnlyImages = false;
    bool excludeBinaryFiles = false;
    bool launchBrowser = false;
    bool launchViewDeleteWizard = false;

    friend bool operator==(const OptionBoxes&, const OptionBoxes&) = default;
};

enum class OptionBox
{
    ExcludeImages,
    IncludeOnlyImages,
    ExcludeBinaryFiles,
    LaunchBrowser,
    LaunchViewDeleteWizard
};

/// A click on `box` has left it in its current state: applies its interlock.
/// Ticking "exclude images" clears "include only images"; ticking "include only
/// images" clears "exclude images" and ticks "exclude binary files". Clearing a
/// box, and the other three boxes, change nothing else.
void OptionBoxClicked(OptionBoxes& boxes, OptionBox box);

/// Ticks `box` as a click would, with its interlock.
void TickOptionBox(OptionBoxes& boxes, OptionBox box);

/// The start-up sequence: from `design` (the boxes as the window is built), ticks
/// in order exclude images, include only images, exclude binary files, launch
/// browser and launch wizard for each flag of `settings` that is on, each with its
/// interlock; a flag that is off leaves its box as it is.
OptionBoxes StartupOptionBoxes(const Settings& settings, OptionBoxes design = {});

/// The same sequence for the boxes that are on in `flags`: how the command-line
/// tool applies its options without a settings record.
OptionBoxes TickInStartupOrder(const OptionBoxes& flags, OptionBoxes design = {});

/// The three filters of an index build as the boxes hold them.
IndexOptions FilterOptionsOf(const OptionBoxes& boxes);

/// The minimum-count box's key filter: only "0123456789." and backspace (8).
bool IsMinCountKeyAccepted(char32_t key);

/// The leading decimal number of a text as the count box reads it: blanks
/// skipped, an optional sign, digits and a fraction after "."; 0 when the text
/// holds none.
double LeadingNumber(std::string_view text);

/// Leaving the minimum-count box: when the number in `text` differs from
/// `currentMinimum`, the new minimum (rounded to the nearest whole number, halves
/// to even) for which the suggestions are reloaded; nothing when it is unchanged
/// or cannot be held as a 32-bit count.
std::optional<std::int32_t> MinCountAfterLeaving(std::string_view text,
                                                 std::int32_t currentMinimum);

} // namespace tessaloom
