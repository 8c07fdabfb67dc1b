#include "cli/cli.h"
#include "cli/terminaltext.h"
#include "support/testdir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tessaloom::cli {
namespace {

TEST(TerminalText, ShowsEachCharacterATerminalActsOnAsOneQuestionMark)
{
    const struct
    {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain /path/name.txt", "plain /path/name.txt"},
        {"\x1b]0;title\x07", "?]0;title?"},
        {"tab\tcr\rlf\nnul" + std::string(1, '\0'), "tab?cr?lf?nul?"},
        {"\x1f \x20 \x7e \x7f", "? \x20 ~ ?"},
        {"\xc2\x80|\xc2\x9b|\xc2\x9f|\xc2\xa0", "?|?|?|\xc2\xa0"}, // C1 as UTF-8
        {"\xe2\x80\xa9|\xe2\x80\xaa|\xe2\x80\xae|\xe2\x80\xaf", "\xe2\x80\xa9|?|?|\xe2\x80\xaf"},
        {"\xe2\x81\xa5|\xe2\x81\xa6|\xe2\x81\xa9|\xe2\x81\xaa", "\xe2\x81\xa5|?|?|\xe2\x81\xaa"},
        {"caf\xc3\xa9 \xf0\x9f\x98\x80", "caf\xc3\xa9 \xf0\x9f\x98\x80"}, // other UTF-8 stays
        {"\x9b"
         "31m|\x80|\xe9t\xe9|\xa0",
         "?31m|?|\xe9t\xe9|\xa0"},            // not UTF-8
        {"\xc0\x9b|\xe2\x80", "\xc0?|\xe2?"}, // broken sequences
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalText(c.in), c.out) << c.in;
}

TEST(TerminalText, SearchPrintsFoundFoldersHarmlessly)
{
    test::TestDir dir;
    dir.createDir("\x1b]0;owned\x07/Cache");
    dir.createDir("\xe2\x80\xaegnp.exe/Cache");
    std::ostringstream out;
    std::ostringstream err;
    Streams streams{out, err, false};
    ASSERT_EQ(cli::Run({"search", dir.path().string()}, streams), kExitOk);
    const std::string root = dir.path().string();
    EXPECT_EQ(out.str(), root + "/?]0;owned?/Cache\n" + root + "/?gnp.exe/Cache\n");
}

} // namespace
} // namespace tessaloom::cli
