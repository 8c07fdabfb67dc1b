#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaloom::cli {

/// Where a command writes, and whether progress lines may be drawn on `err`.
struct Streams
{
    std::ostream& out;
    std::ostream& err;
    bool errIsTerminal = false;
};

/// Exit statuses shared by the commands.
enum ExitStatus : int
{
    kExitOk = 0,
    kExitNothingFound = 1,
    kExitUsage = 2,
    kExitWriteFailed = 3,
};

/// Runs `tessaloom-cli` with its arguments (without the program name).
int Run(const std::vector<std::string>& args, Streams& streams);

// One function per subcommand; `args` excludes the subcommand's own name.
int RunIndexCommand(const std::vector<std::string>& args, Streams& streams);
int RunListCommand(const std::vector<std::string>& args, Streams& streams);
int RunSearchCommand(const std::vector<std::string>& args, Streams& streams);

} // namespace tessaloom::cli
