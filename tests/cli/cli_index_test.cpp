#include "cli/cli.h"

#include "support/testdir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tessaloom::cli {
namespace {

using test::ReadWholeFile;
using test::TestDir;

struct Result
{
    int status;
    std::string out, err;
};

Result RunCli(std::vector<std::string> args)
{
    std::ostringstream out, err;
    Streams streams{out, err, false};
    const int status = Run(args, streams);
    return {status, out.str(), err.str()};
}

TEST(CliIndex, WritesTheDocumentAndPrintsCounts)
{
    TestDir dir;
    dir.createFile("page", "<title>Hello</title>");
    dir.createFile("pic.gif", "GIF89a");
    dir.createFile("blob", "\xE9\xE9");
    const auto r = RunCli({"index", dir.path().string()});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, (dir / "!ndex.htm").string() +
                         "\nFiles Indexed: 2\nImages Filtered: 0\nBinary Files Filtered: 1\n");
    EXPECT_NE(ReadWholeFile(dir / "!ndex.htm").find(">Hello</a>"), std::string::npos);
    EXPECT_TRUE(r.err.empty()) << "no progress line when stderr is not a terminal";
}

TEST(CliIndex, OptionsAndTheirInterlock)
{
    TestDir dir;
    dir.createFile("page.htm", "<title>Hello</title>");
    dir.createFile("pic.gif", "GIF89a");
    dir.createFile("blob", "\xE9\xE9");
    struct Case
    {
        std::vector<std::string> options;
        std::string counts;
    };
    const Case cases[] = {
        {{"--keep-binary"}, "Files Indexed: 3\nImages Filtered: 0\nBinary Files Filtered: 0\n"},
        {{"--exclude-images"}, "Files Indexed: 1\nImages Filtered: 1\nBinary Files Filtered: 1\n"},
        // --only-images clears --exclude-images and excludes binary files.
        {{"--exclude-images", "--keep-binary", "--only-images"},
         "Files Indexed: 1\nImages Filtered: 0\nBinary Files Filtered: 1\n"},
        {{"--pattern", "*.htm;*.gif"},
         "Files Indexed: 2\nImages Filtered: 0\nBinary Files Filtered: 0\n"},
        {{"--pattern=*.HTM", "--quiet"},
         "Files Indexed: 1\nImages Filtered: 0\nBinary Files Filtered: 0\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"index"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(dir.path().string());
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), c.counts) << c.options.front();
    }
}

TEST(CliIndex, ExitStatuses)
{
    TestDir dir;
    dir.createFile("page.htm", "<title>Hello</title>");
    auto r = RunCli({"index", "--pattern", "*.nothing", dir.path().string()});
    EXPECT_EQ(r.status, kExitNothingFound);
    EXPECT_EQ(r.err, "No files found\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "!ndex.htm"));

    EXPECT_EQ(RunCli({"index"}).status, kExitUsage);
    EXPECT_EQ(RunCli({"index", "--bogus", dir.path().string()}).status, kExitUsage);
    EXPECT_EQ(RunCli({"index", "a", "b"}).status, kExitUsage);
    EXPECT_EQ(RunCli({"index", "--pattern"}).status, kExitUsage);
    r = RunCli({"index", (dir / "missing").string()});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("missing"), std::string::npos);

    dir.createFile("!ndex.htm/blocker"); // a folder where the document must go
    r = RunCli({"index", dir.path().string()});
    EXPECT_EQ(r.status, kExitWriteFailed);
    EXPECT_NE(r.err.find("could not be written"), std::string::npos);

    EXPECT_EQ(RunCli({"index", "--help"}).status, kExitOk);
    EXPECT_EQ(RunCli({"--help"}).status, kExitOk);
    EXPECT_EQ(RunCli({"frobnicate"}).status, kExitUsage);
}

} // namespace
} // namespace tessaloom::cli
