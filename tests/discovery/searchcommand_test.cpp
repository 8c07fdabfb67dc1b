#include "cli/cli.h"

#include "support/testdir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace tessaloom {
namespace {

using test::TestDir;

struct Outcome
{
    int status;
    std::string out;
    std::string err;
};

Outcome Search(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    cli::Streams streams{out, err, false};
    std::vector<std::string> all = {"search"};
    all.insert(all.end(), args.begin(), args.end());
    const int status = cli::Run(all, streams);
    return {status, out.str(), err.str()};
}

TEST(SearchCommand, WalksOnlyTheGivenRootsAndWritesNothing)
{
    TestDir dir;
    for (const char* sub : {"one/b/Cache", "one/a/cache", "two/Temporary Internet Files",
                            "two/x/Caches", "-dash/Cache"})
        dir.createDir(sub);
    const std::string root = dir.path().string();
    const Outcome outcome =
        Search({root + "/two", root + "/one", root + "/missing", "--", root + "/-dash"});
    EXPECT_EQ(outcome.status, cli::kExitOk);
    EXPECT_EQ(outcome.out, root + "/-dash/Cache\n" + root + "/one/a/cache\n" + root +
                               "/one/b/Cache\n" + root + "/two/Temporary Internet Files\n");
    EXPECT_NE(outcome.err.find(root + "/missing"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "folders.dat"));
    // Not a terminal: no progress text.
    EXPECT_EQ(outcome.err.find("Searching"), std::string::npos);
}

TEST(SearchCommand, UsageErrorsAndHelp)
{
    EXPECT_EQ(Search({"--bogus"}).status, cli::kExitUsage);
    EXPECT_EQ(Search({""}).status, cli::kExitUsage);
    const Outcome help = Search({"--help"});
    EXPECT_EQ(help.status, cli::kExitOk);
    EXPECT_NE(help.out.find("Usage: tessaloom-cli search [ROOT ...]"), std::string::npos);
}

} // namespace
} // namespace tessaloom
