#include "platform/wildcard.h"

#include "platform/textcodec.h"

namespace tessaloom {

bool MatchesSinglePattern(std::string_view name, std::string_view pattern)
{
    // The default pattern: every name matches (see the rule below), and cache
    // folders hold tens of thousands of names.
    if (pattern == "*.*")
        return true;
    // A trailing ".*" also matches names without any dot, as the desktop's file
    // dialogs do; "*.*" is the common case of that rule.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        name.find('.') == std::string_view::npos) {
        pattern.remove_suffix(2);
    }

    // Greedy match with one backtrack point: linear for one star, O(n*m) worst case.
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool MatchesPattern(std::string_view name, std::string_view patterns)
{
    if (TrimBlanksAndTabs(patterns).empty())
        return true;
    while (true) {
        const std::size_t semi = patterns.find(';');
        const std::string_view one = TrimBlanksAndTabs(patterns.substr(0, semi));
        if (!one.empty() && MatchesSinglePattern(name, one))
            return true;
        if (semi == std::string_view::npos)
            return false;
        patterns.remove_prefix(semi + 1);
    }
}

} // namespace tessaloom
