#include "mainwindow/mainoptions.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tessaloom {
namespace {

TEST(OptionBoxes, ClickInterlocks)
{
    struct Case
    {
        OptionBoxes before;
        OptionBox clicked;
        OptionBoxes after;
    };
    // {exclude images, only images, exclude binary, browser, wizard}
    const Case cases[] = {
        // Ticking "only images" clears "exclude images" and ticks "exclude binary".
        {{false, true, false, false, false},
         OptionBox::IncludeOnlyImages,
         {false, true, true, false, false}},
        {{true, true, false, true, false},
         OptionBox::IncludeOnlyImages,
         {false, true, true, true, false}},
        // Clearing "only images" leaves "exclude binary" ticked.
        {{false, false, true, false, false},
         OptionBox::IncludeOnlyImages,
         {false, false, true, false, false}},
        {{true, true, true, false, false},
         OptionBox::ExcludeImages,
         {true, false, true, false, false}},
        // Clearing "exclude images" changes nothing else.
        {{false, true, false, false, false},
         OptionBox::ExcludeImages,
         {false, true, false, false, false}},
        {{true, true, false, false, true},
         OptionBox::ExcludeBinaryFiles,
         {true, true, false, false, true}},
        {{true, true, false, true, true},
         OptionBox::LaunchBrowser,
         {true, true, false, true, true}},
    };
    for (const Case& c : cases) {
        OptionBoxes boxes = c.before;
        OptionBoxClicked(boxes, c.clicked);
        EXPECT_EQ(boxes, c.after) << static_cast<int>(c.clicked);
    }
}

Settings Flags(bool excl, bool only, bool binary, bool browser = false, bool wizard = false)
{
    Settings s;
    s.excludeImages = excl;
    s.includeOnlyImages = only;
    s.excludeBinaryFiles = binary;
    s.launchBrowser = browser;
    s.launchViewDeleteWizard = wizard;
    return s;
}

TEST(OptionBoxes, StartupTicksInOrderWithTheInterlocks)
{
    struct Case
    {
        Settings settings;
        OptionBoxes after;
    };
    const Case cases[] = {
        {Flags(false, false, false), {false, false, false, false, false}},
        {Flags(true, false, false, true), {true, false, false, true, false}},
        // Both image settings on: only "only images" stays, and it ticks "binary".
        {Flags(true, true, false), {false, true, true, false, false}},
        {Flags(false, true, false, false, true), {false, true, true, false, true}},
        {Flags(false, false, true, true, true), {false, false, true, true, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StartupOptionBoxes(c.settings), c.after);
}

TEST(OptionBoxes, AnOffSettingLeavesTheDesignStateAlone)
{
    const OptionBoxes design{true, false, true, true, false};
    EXPECT_EQ(StartupOptionBoxes(Flags(false, false, false), design), design);
    EXPECT_EQ(StartupOptionBoxes(Flags(false, true, false), design),
              (OptionBoxes{false, true, true, true, false}));
}

TEST(OptionBoxes, FilterOptionsFollowTheBoxes)
{
    const IndexOptions o = FilterOptionsOf({true, false, false, true, true});
    EXPECT_TRUE(o.excludeImages);
    EXPECT_FALSE(o.includeOnlyImages);
    EXPECT_FALSE(o.excludeBinaryFiles);
}

TEST(MinCountBox, KeyFilter)
{
    for (char32_t c : std::u32string_view(U"0123456789."))
        EXPECT_TRUE(IsMinCountKeyAccepted(c)) << static_cast<int>(c);
    EXPECT_TRUE(IsMinCountKeyAccepted(8));
    for (char32_t c : {U'a', U'A', U'-', U'+', U',', U' ', U'e', char32_t{13}, char32_t{127},
                       U'\u0663' /* Arabic-Indic three */, U'\uFF11' /* full-width one */})
        EXPECT_FALSE(IsMinCountKeyAccepted(c)) << static_cast<int>(c);
}

TEST(MinCountBox, LeadingNumber)
{
    struct Case
    {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"", 0},        {"abc", 0},
        {"10", 10},     {"10.0", 10},
        {"2.5", 2.5},   {" 7 days", 7},
        {".5", 0.5},    {"5.", 5},
        {"1.2.3", 1.2}, {"-3", -3},
        {"+", 0},       {".", 0},
        {"1e5", 1},     {"99999999999999999999", 1e20},
        {"\t4", 4},     {"\t \t-4", -4},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(LeadingNumber(c.text), c.value) << c.text;
}

TEST(MinCountBox, LeavingTheBox)
{
    struct Case
    {
        const char* text;
        std::int32_t current;
        std::optional<std::int32_t> reloadWith;
    };
    const Case cases[] = {
        {"10.0", 10, std::nullopt}, // same value: no reload
        {"10", 10, std::nullopt},
        {"2.5", 10, 2}, // halves to even
        {"3.5", 10, 4},
        {"10.4", 10, 10}, // differs, so reloads, with the rounded minimum
        {"", 10, 0},
        {"", 0, std::nullopt},
        {"12abc", 10, 12},
        {"3000000000", 10, std::nullopt}, // beyond a 32-bit count: left as it is
    };
    for (const Case& c : cases)
        EXPECT_EQ(MinCountAfterLeaving(c.text, c.current), c.reloadWith)
            << c.text << " from " << c.current;
}

} // namespace
} // namespace tessaloom
