#include "platform/replacealltext.h"

#include "platform/textcodec.h"

namespace tessaloom {

namespace {

bool EndsWithFolded(const std::string& out, std::string_view foldedFind)
{
    if (out.size() < foldedFind.size())
        return false;
    const std::size_t start = out.size() - foldedFind.size();
    for (std::size_t i = 0; i < foldedFind.size(); ++i) {
        if (AsciiUpper(out[start + i]) != foldedFind[i])
            return false;
    }
    return true;
}

std::string ReplaceOnce(std::string_view text, std::string_view find, std::string_view replacement)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = IFind(text, find); at != std::string_view::npos;
         at = IFind(text, find, from)) {
        out.append(text.substr(from, at - from));
        out.append(replacement);
        from = at + find.size();
    }
    out.append(text.substr(from));
    return out;
}

} // namespace

std::string& ReplaceAllText(std::string& text, std::string_view find, std::string_view replacement)
{
    if (find.empty() || IFind(text, find) == std::string_view::npos)
        return text;
    if (IFind(replacement, find) != std::string_view::npos) {
        text = ReplaceOnce(text, find, replacement);
        return text;
    }

    // `out` never holds an occurrence; every occurrence has the same length, so the
    // first one to complete at the end of `out` is also the leftmost one of the
    // whole text, which is the one the definition replaces next. The replaced text
    // goes back in front of the unread input (`pending`, kept reversed) because it
    // may form a new occurrence with what follows.
    const std::string foldedFind = AsciiUppered(find);
    std::string out;
    out.reserve(text.size());
    std::string pending;
    std::size_t next = 0;
    while (!pending.empty() || next < text.size()) {
        if (!pending.empty()) {
            out += pending.back();
            pending.pop_back();
        } else {
            out += text[next++];
        }
        if (EndsWithFolded(out, foldedFind)) {
            out.resize(out.size() - find.size());
            pending.append(replacement.rbegin(), replacement.rend());
        }
    }
    text = std::move(out);
    return text;
}

} // namespace tessaloom
