#include "platform/replacealltext.h"

#include "platform/textcodec.h"

#include <cstring>
#include <vector>

namespace tessaloom {

namespace {

// A search text folded to upper case with its failure table (Knuth-Morris-Pratt):
// every character of the text is then looked at a bounded number of times on
// average, however long the search text is and however it repeats itself.
class FoldedPattern
{
public:
    explicit FoldedPattern(std::string_view find) : m_text(AsciiUppered(find)), m_fail(find.size())
    {
        std::size_t k = 0;
        for (std::size_t i = 1; i < m_text.size(); ++i) {
            while (k > 0 && m_text[i] != m_text[k])
                k = m_fail[k - 1];
            if (m_text[i] == m_text[k])
                ++k;
            m_fail[i] = k;
        }
    }

    std::size_t size() const { return m_text.size(); }

    /// The state after `c`, given the state before it: how many characters of the
    /// search text the text read so far ends with. size() is a whole occurrence.
    std::size_t step(std::size_t state, char c) const
    {
        if (state == m_text.size())
            state = m_fail[state - 1];
        const char folded = AsciiUpper(c);
        while (state > 0 && m_text[state] != folded)
            state = m_fail[state - 1];
        return m_text[state] == folded ? state + 1 : 0;
    }

    /// The first position at or after `from` whose character may begin an
    /// occurrence (text.size() when none does). From state 0 every character
    /// before it leaves the state at 0, so a scan may jump there: titles and
    /// names hold few "&", the first character of every reference.
    std::size_t nextStart(std::string_view text, std::size_t from) const
    {
        const char first = m_text[0];
        if (first < 'A' || first > 'Z') {
            const void* hit = std::memchr(text.data() + from, first, text.size() - from);
            return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
                       : text.size();
        }
        while (from < text.size() && AsciiUpper(text[from]) != first)
            ++from;
        return from;
    }

    /// Position of the first occurrence in `text`, or npos.
    std::size_t findIn(std::string_view text, std::size_t from = 0) const
    {
        std::size_t state = 0;
        for (std::size_t i = from; i < text.size(); ++i) {
            if (state == 0 && (i = nextStart(text, i)) == text.size())
                break;
            state = step(state, text[i]);
            if (state == m_text.size())
                return i + 1 - m_text.size();
        }
        return std::string_view::npos;
    }

private:
    std::string m_text;
    std::vector<std::size_t> m_fail;
};

std::string ReplaceOnce(std::string_view text, const FoldedPattern& find,
                        std::string_view replacement)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = find.findIn(text); at != std::string_view::npos;
         at = find.findIn(text, from)) {
        out.append(text.substr(from, at - from));
        out.append(replacement);
        from = at + find.size();
    }
    out.append(text.substr(from));
    return out;
}

// Texts and search texts up to these lengths are rewritten in place.
constexpr std::size_t kInPlaceTextLimit = 256;
constexpr std::size_t kInPlaceFindLimit = 16;

// True when no replacement can take part in an occurrence: `find` is one character
// that `replacement` does not hold, or `replacement` is not empty and holds no
// character of `find` at all (so it also keeps its neighbours apart). Then the
// occurrences of the original text are all there is, and one pass from left to
// right replaces them as the definition does.
bool OnePassSuffices(std::string_view find, std::string_view replacement)
{
    if (find.size() == 1)
        return IFind(replacement, find) == std::string_view::npos;
    if (replacement.empty())
        return false;
    for (const char r : replacement) {
        for (const char f : find) {
            if (AsciiLower(r) == AsciiLower(f))
                return false;
        }
    }
    return true;
}

// Titles are short: rewrite them in place, without the allocations of the general
// way. A new occurrence holds part of the replacement, so the search goes on from
// find.size() - 1 before it; the text shrinks at every replacement, so the work
// stays bounded by the in-place limits.
void ReplaceShrinkingInPlace(std::string& text, std::string_view find, std::string_view replacement)
{
    for (std::size_t at = IFind(text, find); at != std::string::npos;
         at = IFind(text, find, at >= find.size() - 1 ? at - (find.size() - 1) : 0))
        text.replace(at, find.size(), replacement);
}

// `out` never holds an occurrence; every occurrence has the same length, so the
// first one to complete at the end of `out` is also the leftmost one of the whole
// text, which is the one the definition replaces next. The replaced text goes back
// in front of the unread input (`pending`, kept reversed) because it may form a new
// occurrence with what follows. `states` keeps the matcher's state after each
// character of `out`, so that taking an occurrence off the end brings back the
// state before it without reading `out` again.
std::string ReplaceRescanning(const std::string& text, const FoldedPattern& pattern,
                              std::string_view replacement)
{
    std::string out;
    out.reserve(text.size());
    std::vector<std::size_t> states;
    states.reserve(text.size());
    std::string pending;
    std::size_t next = 0;
    while (!pending.empty() || next < text.size()) {
        if (pending.empty() && (states.empty() || states.back() == 0)) {
            const std::size_t start = pattern.nextStart(text, next);
            out.append(text, next, start - next);
            states.resize(states.size() + (start - next), 0);
            next = start;
            if (next == text.size())
                break;
        }
        char c;
        if (!pending.empty()) {
            c = pending.back();
            pending.pop_back();
        } else {
            c = text[next++];
        }
        const std::size_t state = pattern.step(states.empty() ? 0 : states.back(), c);
        out += c;
        states.push_back(state);
        if (state == pattern.size()) {
            out.resize(out.size() - pattern.size());
            states.resize(states.size() - pattern.size());
            pending.append(replacement.rbegin(), replacement.rend());
        }
    }
    return out;
}

} // namespace

std::string& ReplaceAllText(std::string& text, std::string_view find, std::string_view replacement)
{
    if (find.empty())
        return text;
    if (text.size() <= kInPlaceTextLimit && find.size() <= kInPlaceFindLimit &&
        replacement.size() < find.size() && IFind(replacement, find) == std::string_view::npos) {
        ReplaceShrinkingInPlace(text, find, replacement);
        return text;
    }
    const FoldedPattern pattern(find);
    if (pattern.findIn(text) == std::string_view::npos)
        return text;
    if (OnePassSuffices(find, replacement) ||
        pattern.findIn(replacement) != std::string_view::npos) {
        text = ReplaceOnce(text, pattern, replacement);
        return text;
    }
    text = ReplaceRescanning(text, pattern, replacement);
    return text;
}

} // namespace tessaloom
