// Feeds arbitrary bytes to the title search of the examination as cached file
// content. Besides crashes and hangs it checks the promises the index document
// relies on: a title holds no line break and no comma, and it is short.
#include "indexer/examination.h"
#include "platform/textcodec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    const std::string title = tessaloom::FindTitle(content);
    if (title.find_first_of("\r\n,") != std::string::npos)
        __builtin_trap();
    if (tessaloom::CharCount(title) > 90)
        __builtin_trap();
    return 0;
}
