#include "support/titledefinition.h"
#include "wizard/indexreader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tessaloom {
namespace {

// Decoding in one pass gives what replacing each reference in turn gives: every
// title of up to four pieces, then longer ones at random, of pieces that form
// references, break them, join them again when one is taken out, or are no UTF-8.
TEST(DecodeTitle, OnePassAgreesWithReplacingEachReferenceInTurn)
{
    const std::string_view pieces[] = {"&",   "amp;", "AmP;", "lt;", "nbsp;", "quot;", "#", "38;",
                                       "35;", "174;", "0;",   "9",   ";",     "x",     " ", "\xE9"};
    constexpr std::size_t n = std::size(pieces);
    const auto check = [](const std::string& raw) {
        ASSERT_EQ(DecodeTitle(raw), test::TitleByDefinition(raw)) << raw;
    };
    for (std::size_t length = 1, count = n; length <= 4; ++length, count *= n) {
        for (std::size_t code = 0; code < count; ++code) {
            std::string raw;
            for (std::size_t c = code, k = 0; k < length; c /= n, ++k)
                raw += pieces[c % n];
            check(raw);
        }
    }
    std::uint64_t seed = 16;
    const auto random = [&seed] {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::size_t>(seed >> 33);
    };
    for (int i = 0; i < 20000; ++i) {
        std::string raw;
        for (std::size_t length = 5 + random() % 8; length > 0; --length)
            raw += pieces[random() % n];
        check(raw);
    }
}

} // namespace
} // namespace tessaloom
