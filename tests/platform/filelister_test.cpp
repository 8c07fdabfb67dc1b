#include "platform/filelister.h"
#include "platform/textcodec.h"
#include "platform/wildcard.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::TestDir;

TEST(Wildcard, TrailingDotStarMatchesNamesWithAndWithoutDot)
{
    const struct
    {
        const char* name;
        const char* pattern;
        bool matches;
    } cases[] = {
        {"F_00001A", "*.*", true},
        {"page.html", "*.*", true},
        {"a.b.c", "*.*", true},
        {".hidden", "*.*", true},
        {"x", "*", true},
        {"anything", "", true},
        {"name", "name.*", true},
        {"name.txt", "name.*", true},
        {"NAME.tar.gz", "name.*", true},
        {"name.", "name.*", true},
        {"names", "name.*", false},
        {"nam", "name.*", false},
        {"xname", "name.*", false},
        {"other.txt", "name.*", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesPattern(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
}

TEST(Wildcard, CaseQuestionMarkAndSeveralPatterns)
{
    EXPECT_TRUE(MatchesPattern("PHOTO.JPG", "*.jpg"));
    EXPECT_FALSE(MatchesPattern("photo.jpeg", "*.jpg"));
    EXPECT_TRUE(MatchesPattern("data_1", "data_?"));
    EXPECT_FALSE(MatchesPattern("data_12", "data_?"));
    EXPECT_TRUE(MatchesPattern("a.gif", "*.jpg; *.gif"));
    EXPECT_FALSE(MatchesPattern("a.png", "*.jpg;*.gif"));
    EXPECT_TRUE(MatchesPattern("abcabcabd", "*abd"));
    EXPECT_TRUE(MatchesPattern("readme", "readme.*"));
    EXPECT_FALSE(MatchesPattern("readme.txt", "*."));
}

// The display order compares names as ICompare does, whether they differ within
// their first eight bytes or after them, in case only, or as start and whole.
TEST(FileLister, DisplayOrderIsICompareOrder)
{
    std::mt19937 random(7);
    const std::string alphabet = "aAbB_\xE9\x80";
    std::set<std::string> unique;
    while (unique.size() < 3000) {
        std::string name(random() % 12 + 1, ' ');
        for (char& c : name)
            c = alphabet[random() % alphabet.size()];
        unique.insert(name);
    }
    std::vector<std::string> names(unique.begin(), unique.end());
    std::shuffle(names.begin(), names.end(), random);
    std::vector<std::string> expected = names;
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return ICompare(a, b) < 0; });
    SortNamesForDisplay(names);
    EXPECT_EQ(names, expected);
}

TEST(FileLister, RegularFilesOnlySortedWithoutCase)
{
    TestDir dir;
    dir.createFile("b");
    dir.createFile("A");
    dir.createFile("c.TXT");
    dir.createFile(".hidden");
    dir.createDir("sub");
    std::filesystem::create_symlink(dir / "b", dir / "link-to-file");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "link-to-dir");
    ::mkfifo((dir / "fifo").c_str(), 0600);

    const auto all = ListMatchingFiles(dir.path(), "*.*");
    ASSERT_TRUE(all);
    EXPECT_EQ(all.value(), (std::vector<std::string>{"A", "b", "c.TXT", "link-to-file"}));

    const auto text = ListMatchingFiles(dir.path(), "*.txt");
    ASSERT_TRUE(text);
    EXPECT_EQ(text.value(), (std::vector<std::string>{"c.TXT"}));
}

TEST(FileLister, MissingFolderIsAnError)
{
    TestDir dir;
    const auto listed = ListMatchingFiles(dir / "gone", "*.*");
    ASSERT_FALSE(listed); // no names at all, not a stale list
    EXPECT_EQ(listed.error().code, ENOENT);
    EXPECT_NE(listed.error().message.find("gone"), std::string::npos);
}

} // namespace
} // namespace tessaloom
