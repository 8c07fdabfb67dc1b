#include "cli/cli.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tessaloom::cli {
namespace {

using test::TestDir;

struct CliRun
{
    explicit CliRun(std::vector<std::string> args)
    {
        Streams streams{out, err, false};
        status = cli::Run(args, streams);
    }
    std::ostringstream out;
    std::ostringstream err;
    int status = -1;
};

std::string Cell(std::string_view target, std::string_view title)
{
    return "<TD align=center width=150 height=150><a href=\"" + std::string(target) +
           "\" target=new align=center>" + std::string(title) +
           "</a><br><br><font size=-1>1/2/2024  1:46 pm</font></TD>\r\n";
}

TEST(ListCommand, PrintsTheRowsOfFilesThatExist)
{
    TestDir dir;
    dir.createFile("a b", "x");
    dir.createFile("line\nbreak", "x");
    const auto doc = dir.createFile(
        "!ndex.htm", "<HTML>\r\n" + Cell("a b", "Fish &amp; Chips") + Cell("gone", "Gone") +
                         Cell("line%0Abreak", "Tab&#9;here") + "</HTML>\r\n");
    const std::string folder = dir.path().string();
    const std::string expected = " 1/2/2024  1:46 pm       \tFish & Chips\t" + folder + "/a b\n" +
                                 " 1/2/2024  1:46 pm       \tTab?here\t" + folder + "/line?break\n";
    for (const std::string& arg : {doc.string(), folder}) {
        CliRun run({"list", arg});
        EXPECT_EQ(run.status, kExitOk) << run.err.str();
        EXPECT_EQ(run.out.str(), expected);
        EXPECT_EQ(run.err.str(), "");
    }
}

TEST(ListCommand, UnreadableDocumentOrBadArgumentsFail)
{
    TestDir dir;
    CliRun missing({"list", (dir / "missing.htm").string()});
    EXPECT_EQ(missing.status, kExitUsage);
    EXPECT_EQ(missing.out.str(), "");
    EXPECT_NE(missing.err.str().find("missing.htm"), std::string::npos);

    EXPECT_EQ(CliRun({"list"}).status, kExitUsage);
    EXPECT_EQ(CliRun({"list", "a", "b"}).status, kExitUsage);
    CliRun help({"list", "--help"});
    EXPECT_EQ(help.status, kExitOk);
    EXPECT_NE(help.out.str().find("Usage: tessaloom-cli list DOCUMENT"), std::string::npos);
}

} // namespace
} // namespace tessaloom::cli
