// Feeds arbitrary bytes to the title search of the examination as cached file
// content. Besides crashes and hangs it checks the promises the index document
// relies on (a title holds no line break and no comma, and it is short) and
// compares the result with a plain reference: each tag searched on its own,
// which is what the faster one-pass search must equal.
#include "indexer/examination.h"
#include "platform/replacealltext.h"
#include "platform/textcodec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

std::string ReferenceTitle(std::string_view content)
{
    static constexpr std::string_view kPairs[][2] = {
        {"<title>", "</title>"}, {"<h1>", "</h1>"}, {"<h2>", "</h2>"}, {"<h3>", "</h3>"},
        {"<h4>", "</h4>"},       {"<h5>", "</h5>"}, {"<h6>", "</h6>"}};
    for (const auto& pair : kPairs) {
        const std::size_t open = tessaloom::IFind(content, pair[0]);
        const std::size_t close = tessaloom::IFind(content, pair[1]);
        if (open == std::string_view::npos || close == std::string_view::npos ||
            close < open + pair[0].size())
            continue;
        const std::string_view text = tessaloom::TrimSpaces(
            content.substr(open + pair[0].size(), close - open - pair[0].size()));
        if (text.empty())
            continue;
        std::string title = tessaloom::CharCount(text) > 90
                                ? std::string(tessaloom::FirstChars(text, 87)) + "..."
                                : std::string(text);
        tessaloom::ReplaceAllText(title, "\r", "");
        tessaloom::ReplaceAllText(title, "\n", "");
        tessaloom::ReplaceAllText(title, ",", " ");
        return title;
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::string title = tessaloom::FindTitle(content);
    if (title.find_first_of("\r\n,") != std::string::npos)
        __builtin_trap();
    if (tessaloom::CharCount(title) > 90)
        __builtin_trap();
    if (title != ReferenceTitle(content))
        __builtin_trap();
    return 0;
}
