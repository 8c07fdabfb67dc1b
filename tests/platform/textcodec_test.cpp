#include "platform/textcodec.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

TEST(TextCodec, Utf8ValidityRefusesMalformedSequences)
{
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("caf\xE9"));      // Windows-1252 e acute
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));     // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));     // cut short
}

// ASCII is passed over in words of eight bytes: a sequence, good or bad, must be
// judged the same at every offset and however much ASCII precedes it.
TEST(TextCodec, Utf8ValidityAtEveryOffset)
{
    for (std::size_t offset = 0; offset < 20; ++offset) {
        const std::string ascii(offset, 'a');
        EXPECT_TRUE(IsValidUtf8(ascii + "\xC3\xA9" + ascii)) << offset;
        EXPECT_FALSE(IsValidUtf8(ascii + "\xE9" + ascii)) << offset;
        EXPECT_FALSE(IsValidUtf8(ascii + "\xE2\x82")) << offset;
        EXPECT_FALSE(IsValidUtf8(ascii + "\x80")) << offset;
    }
}

TEST(TextCodec, DisplayTextFallsBackToWindows1252)
{
    EXPECT_EQ(ToDisplayUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(ToDisplayUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(ToDisplayUtf8("\x80\x99"), "\xE2\x82\xAC\xE2\x84\xA2");
    EXPECT_EQ(Windows1252ToUtf8(0x81), "\xEF\xBF\xBD");
    EXPECT_EQ(Windows1252ToUtf8(174), "\xC2\xAE");
}

TEST(TextCodec, CharacterCountsNeverSplitUtf8)
{
    const std::string s = "\xC3\xA9t\xC3\xA9";
    EXPECT_EQ(CharCount(s), 3u);
    EXPECT_EQ(FirstChars(s, 1), "\xC3\xA9");
    EXPECT_EQ(LastChars(s, 2), "t\xC3\xA9");
    EXPECT_EQ(CharCount("\xE9\xE9"), 2u);
    EXPECT_EQ(FirstChars("\xE9\xE9", 1), "\xE9");
}

TEST(TextCodec, CaseInsensitiveHelpers)
{
    EXPECT_EQ(IFind("xx<TiTlE>", "<title>"), 2u);
    EXPECT_EQ(IFind("abc", "d"), std::string_view::npos);
    // A search text that begins with other than a letter, from several starts.
    EXPECT_EQ(IFind("&x &AMP; &amp;", "&amp;"), 3u);
    EXPECT_EQ(IFind("&x &AMP; &amp;", "&amp;", 4), 9u);
    EXPECT_EQ(IFind("&x &AMP; &amp;", "&amp;", 10), std::string_view::npos);
    EXPECT_EQ(IFind("ab&", "&amp;"), std::string_view::npos);
    EXPECT_TRUE(IEndsWith("PHOTO.JPG", ".jpg"));
    EXPECT_TRUE(IStartsWith("_CACHE_001_", "_cache_"));
    EXPECT_LT(ICompare("apple", "Banana"), 0);
    EXPECT_EQ(ICompare("a", "a"), 0);
    EXPECT_NE(ICompare("A", "a"), 0);
    EXPECT_EQ(TrimSpaces("  x y  "), "x y");
}

} // namespace
} // namespace tessaloom
