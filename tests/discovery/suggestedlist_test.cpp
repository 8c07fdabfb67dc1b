#include "discovery/suggestedlist.h"

#include "support/testdir.h"

#include <cstdlib>
#include <ctime>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tessaloom {
namespace {

using test::TestDir;
using test::UtcTime;

std::string P(const TestDir& dir, std::string_view relative)
{
    return (dir / relative).string();
}

SuggestedList Load(const TestDir& dir, std::int32_t minimum, std::string_view pattern = "*.*",
                   const LocaleFormats& formats = LocaleFormats::EnglishUS())
{
    return ReadSuggestedList(dir / "folders.dat", minimum, pattern, formats);
}

TEST(SuggestedList, MissingListLeavesTheComboAloneAndAnEmptyListShowsTheHeader)
{
    TestDir dir;
    SuggestedList list = Load(dir, 10);
    EXPECT_FALSE(list.listExists);
    EXPECT_EQ(list.headerText, "");
    EXPECT_TRUE(list.entries.empty());

    dir.createFile("folders.dat");
    list = Load(dir, 10);
    EXPECT_TRUE(list.listExists);
    EXPECT_EQ(list.headerText, " - SUGGESTED CACHE FOLDERS ARE LISTED BELOW - ");
    EXPECT_TRUE(list.entries.empty());
}

TEST(SuggestedList, MinimumCountAndPattern)
{
    TestDir dir;
    dir.createDir("empty");
    for (const char* name : {"a", "b.htm", "C.HTM", ".hidden"})
        dir.createFile(std::string("three/") + name, "x", UtcTime(2004, 6, 30, 12));
    dir.createDir("three/sub");
    dir.createFile("folders.dat", P(dir, "empty") + "\r\n" + P(dir, "three") + "\r\n");

    struct Case
    {
        std::int32_t minimum;
        std::string pattern;
        std::vector<std::string> entries;
    };
    const std::string empty = "[Newest: 01/01/1900 | Files: 0] " + P(dir, "empty");
    const std::vector<Case> cases = {
        {0, "*.*", {empty, "[Newest: 06/30/2004 | Files: 3] " + P(dir, "three")}},
        {3, "*.*", {"[Newest: 06/30/2004 | Files: 3] " + P(dir, "three")}},
        {4, "*.*", {}},
        {-5, "*.htm", {empty, "[Newest: 06/30/2004 | Files: 2] " + P(dir, "three")}},
        {0, "*.gif", {empty, "[Newest: 01/01/1900 | Files: 0] " + P(dir, "three")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Load(dir, c.minimum, c.pattern).entries, c.entries)
            << c.minimum << " " << c.pattern;
}

TEST(SuggestedList, NewestDateIsTheLatestCalendarDayInLocalTime)
{
    TestDir dir;
    // Listing order (by name) is not date order.
    dir.createFile("f/a", "", UtcTime(2004, 6, 30, 1));
    dir.createFile("f/b", "", UtcTime(2004, 6, 29, 23));
    dir.createFile("f/c", "", UtcTime(2004, 6, 30, 22));
    dir.createFile("f/d", "", UtcTime(2003, 12, 31, 23));
    dir.createFile("folders.dat", P(dir, "f") + "\r\n");

    LocaleFormats dotted = LocaleFormats::EnglishUS();
    dotted.dateSeparator = ".";
    EXPECT_EQ(Load(dir, 0, "*.*", dotted).entries,
              std::vector<std::string>{"[Newest: 06.30.2004 | Files: 4] " + P(dir, "f")});

    // Ten hours east of UTC, file c already lies on the first of July.
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved ? saved : "";
    ::setenv("TZ", "<+10>-10", 1);
    ::tzset();
    const std::vector<std::string> east = Load(dir, 2).entries;
    ::setenv("TZ", savedTz.c_str(), 1);
    ::tzset();
    EXPECT_EQ(east, std::vector<std::string>{"[Newest: 07/01/2004 | Files: 4] " + P(dir, "f")});
}

TEST(SuggestedList, EntriesAreOrderedByTheirWholeTextWithoutCase)
{
    TestDir dir;
    dir.createFile("x/Beta/f", "", UtcTime(2005, 1, 2));
    dir.createFile("x/alpha/f", "", UtcTime(2005, 1, 2));
    dir.createFile("x/gamma/f", "", UtcTime(2004, 12, 31));
    dir.createFile("x/delta/f", "", UtcTime(1999, 2, 1));
    dir.createFile("folders.dat", P(dir, "x/gamma") + "\r\n" + P(dir, "x/Beta") + "\r\n" +
                                      P(dir, "x/alpha") + "\r\n" + P(dir, "x/delta") + "\r\n");
    // Month first: 01/02/2005, 01/02/2005, 02/01/1999, 12/31/2004.
    EXPECT_EQ(Load(dir, 1).entries,
              (std::vector<std::string>{"[Newest: 01/02/2005 | Files: 1] " + P(dir, "x/alpha"),
                                        "[Newest: 01/02/2005 | Files: 1] " + P(dir, "x/Beta"),
                                        "[Newest: 02/01/1999 | Files: 1] " + P(dir, "x/delta"),
                                        "[Newest: 12/31/2004 | Files: 1] " + P(dir, "x/gamma")}));
}

TEST(SuggestedList, HostileLinesArePassedOver)
{
    TestDir dir;
    dir.createFile("good/f", "", UtcTime(2001, 2, 3));
    dir.createDir("rel");
    const std::string good = P(dir, "good");
    std::string content;
    content += "\r\n   \r\n";                            // blank lines
    content += "rel\r\n";                                // relative to who knows
    content += P(dir, "gone") + "\r\n";                  // no longer there
    content += P(dir, "good/f") + "\r\n";                // a file, not a folder
    content += good + std::string("\0junk", 5) + "\r\n"; // a NUL inside
    content += "/" + std::string(5000, 'a') + "\r\n";    // longer than any path
    content += good + "\n";                              // LF only
    content += good;                                     // no line end at all
    dir.createFile("folders.dat", content);

    int yields = 0;
    const SuggestedList list = ReadSuggestedList(dir / "folders.dat", 0, "*.*",
                                                 LocaleFormats::EnglishUS(), [&] { ++yields; });
    const std::string entry = "[Newest: 02/03/2001 | Files: 1] " + good;
    EXPECT_EQ(list.entries, (std::vector<std::string>{entry}));
    EXPECT_EQ(yields, 9 + 1); // every line, and the file of the folder listed once
}

TEST(SuggestedList, ARepeatedLineIsCountedOnce)
{
    TestDir dir;
    for (int i = 0; i < 50; ++i)
        dir.createFile("cache/f" + std::to_string(i), "", UtcTime(2001, 2, 3));
    dir.createFile("Cache/f", "", UtcTime(2001, 2, 3)); // another folder on this system
    std::string content;
    for (int i = 0; i < 2000; ++i)
        content += P(dir, "cache") + "\r\n" + P(dir, "Cache") + "\n";
    dir.createFile("folders.dat", content);

    // Each file examined is a yield: the cost grows with the lines and the
    // distinct folders' files, not with their product.
    int yields = 0;
    const SuggestedList list = ReadSuggestedList(dir / "folders.dat", 0, "*.*",
                                                 LocaleFormats::EnglishUS(), [&] { ++yields; });
    EXPECT_EQ(list.entries,
              (std::vector<std::string>{"[Newest: 02/03/2001 | Files: 1] " + P(dir, "Cache"),
                                        "[Newest: 02/03/2001 | Files: 50] " + P(dir, "cache")}));
    EXPECT_EQ(yields, 4000 + 50 + 1);
}

TEST(SuggestedList, FifoInsteadOfAListDoesNotHang)
{
    TestDir dir;
    ASSERT_EQ(::mkfifo((dir / "folders.dat").c_str(), 0600), 0);
    const SuggestedList list = Load(dir, 0);
    EXPECT_TRUE(list.listExists);
    EXPECT_TRUE(list.entries.empty());
}

TEST(SuggestedList, ChoosingAnEntryTakesThePathAfterTheFirstBracket)
{
    TestDir dir;
    dir.createFile("odd] name/Cache/f", "", UtcTime(2010, 3, 4));
    dir.createFile("folders.dat", P(dir, "odd] name/Cache") + "\r\n");
    const SuggestedList list = Load(dir, 1);
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(ChosenFolderOfEntry(list.entries.front()), P(dir, "odd] name/Cache"));
    EXPECT_EQ(ChosenFolderOfEntry("[Newest: 01/01/1900 | Files: 0] "), "");
    EXPECT_EQ(ChosenFolderOfEntry(list.headerText), std::nullopt);
}

} // namespace
} // namespace tessaloom
