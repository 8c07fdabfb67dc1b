#pragma once

#include <string>
#include <string_view>

namespace tessaloom {

/// Replaces every occurrence of `find` in `text` by `replacement`, comparing without
/// regard to ASCII letter case, and returns the new text (also left in `text`).
///
/// The result is that of the simple definition: replace the first occurrence, then
/// search the new text again from its start, until none is left. So occurrences
/// that a replacement forms with its neighbours are replaced too ("aa" -> "a" turns
/// "aaaa" into "a"). It runs in linear time nonetheless, also for a long `find`
/// that repeats itself: the text is scanned once, left to right, by a matcher that
/// does constant work per character on average, and a replacement is pushed back
/// in front of the unread rest, so only it is read again. (Only a replacement at
/// least as long as `find` that keeps forming new occurrences could cost more.)
///
/// An empty `find` changes nothing. A `replacement` that itself contains `find`
/// would make the definition run forever; such a call replaces the occurrences of
/// the original text once, without searching again.
std::string& ReplaceAllText(std::string& text, std::string_view find, std::string_view replacement);

} // namespace tessaloom
