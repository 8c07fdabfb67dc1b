#include "platform/replacealltext.h"

#include "platform/textcodec.h"

#include <gtest/gtest.h>

#include <random>

namespace tessaloom {
namespace {

// The definition itself: replace the first occurrence, search again from the start.
std::string ReferenceReplaceAll(std::string text, const std::string& find, const std::string& repl)
{
    for (std::size_t at = IFind(text, find); at != std::string::npos; at = IFind(text, find))
        text = text.substr(0, at) + repl + text.substr(at + find.size());
    return text;
}

TEST(ReplaceAllText, SearchesAgainFromTheStart)
{
    struct Case
    {
        std::string text, find, repl, expected;
    };
    const Case cases[] = {
        {"aaaa", "aa", "a", "a"},
        {"&amp;amp;amp;", "&amp;", "&", "&"},
        {"a b  c", " ", "_", "a_b__c"},
        {"Line\r\nTwo", "\r", "", "Line\nTwo"},
        {"x,y,,z", ",", " ", "x y  z"},
        {"&LT;b&lt;", "&lt;", "<", "<b<"},
        {"nothing here", "zz", "y", "nothing here"},
        {"", "a", "b", ""},
        {"abc", "", "x", "abc"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(ReplaceAllText(text, c.find, c.repl), c.expected) << c.text;
        EXPECT_EQ(text, c.expected) << "the caller's text is rewritten too";
    }
}

TEST(ReplaceAllText, ReplacementHoldingTheSearchTextIsReplacedOnce)
{
    std::string text = "a-a";
    EXPECT_EQ(ReplaceAllText(text, "a", "Aa"), "Aa-Aa");
}

TEST(ReplaceAllText, MatchesTheDefinitionOnRandomInputs)
{
    std::mt19937 rng(20261208);
    // Few letters, so that search texts repeat themselves ("&#&#", "aAa").
    const std::string alphabet = "aAb&;#";
    auto randomText = [&](std::size_t maxLen) {
        std::string s(rng() % (maxLen + 1), ' ');
        for (char& c : s)
            c = alphabet[rng() % alphabet.size()];
        return s;
    };
    for (int round = 0; round < 40000; ++round) {
        const std::string find = randomText(round % 2 ? 3 : 6);
        if (find.empty())
            continue;
        std::string repl = randomText(3);
        // The definition only ends when the text shrinks or keeps its length and the
        // replacement cannot rebuild the search text.
        if (repl.size() >= find.size() || IFind(repl, find) != std::string::npos)
            repl = repl.substr(0, find.size() - 1);
        const std::string text = randomText(40);
        std::string mine = text;
        ASSERT_EQ(ReplaceAllText(mine, find, repl), ReferenceReplaceAll(text, find, repl))
            << "text=" << text << " find=" << find << " repl=" << repl;
    }
}

TEST(ReplaceAllText, HostileInputFinishesInLinearTime)
{
    // Four megabytes of nested entities: the definition applied literally would copy
    // the text once per replacement, millions of times.
    std::string text;
    for (int i = 0; i < 400000; ++i)
        text += "&amp;amp;";
    ReplaceAllText(text, "&amp;", "&");
    EXPECT_EQ(text, std::string(400000, '&'));

    // A long search text that repeats itself, in a text that nearly holds it
    // everywhere: a naive matcher compares it anew at every position.
    const std::string find = std::string(20000, 'a') + ";";
    std::string nearly = std::string(400'000, 'a') + ";" + std::string(20000, 'A') + ";";
    ReplaceAllText(nearly, find, "!");
    EXPECT_EQ(nearly, std::string(400'000 - 20000, 'a') + "!!");
}

} // namespace
} // namespace tessaloom
