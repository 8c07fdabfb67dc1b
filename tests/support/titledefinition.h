#pragma once

// The title as shown, by its plain definition: each named reference replaced all
// over the title in turn, then the first numeric one. Kept apart from the
// reader's own one-pass decoding, so that tests and the fuzz target can hold the
// two against each other.

#include "platform/replacealltext.h"
#include "platform/textcodec.h"

#include <string>
#include <string_view>
#include <utility>

namespace tessaloom::test {

inline std::string TitleByDefinition(std::string_view raw)
{
    static const std::pair<const char*, const char*> named[] = {
        {"&nbsp;", " "},     {"&lt;", "<"},        {"&gt;", ">"},
        {"&amp;", "&"},      {"&cent;", "\u00A2"}, {"&deg;", "\u00B0"},
        {"&reg;", "\u00AE"}, {"&copy;", "\u00A9"}, {"&quot;", "\""},
    };
    std::string title = ToDisplayUtf8(TrimSpaces(raw));
    for (const auto& [reference, character] : named)
        ReplaceAllText(title, reference, character);
    const std::size_t start = title.find("&#");
    const std::size_t end = start == std::string::npos ? start : title.find(';', start);
    if (end == std::string::npos)
        return title;
    const std::string reference = title.substr(start, end - start + 1);
    const std::string digits = reference.substr(2, reference.size() - 3);
    int code = digits.empty() ? -1 : 0;
    for (const char c : digits)
        code = code < 0 || c < '0' || c > '9' || code * 10 + (c - '0') > 255
                   ? -1
                   : code * 10 + (c - '0');
    ReplaceAllText(title, reference,
                   code <= 0 ? std::string() : Windows1252ToUtf8(static_cast<unsigned char>(code)));
    return title;
}

} // namespace tessaloom::test
