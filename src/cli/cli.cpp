#include "cli/cli.h"
#include "cli/terminaltext.h"

#include <ostream>

namespace tessaloom::cli {

namespace {

void PrintUsage(std::ostream& os)
{
    os << "Usage: tessaloom-cli COMMAND [OPTIONS] ...\n"
          "\n"
          "Looks into the disk caches of web browsers.\n"
          "\n"
          "Commands:\n"
          "  index [OPTIONS] FOLDER   write the index page \"!ndex.htm\" of a cache folder\n"
          "  list DOCUMENT            print the entries of an index page whose files exist\n"
          "  search [ROOT ...]        find cache folders (all volumes when no ROOT is given)\n"
          "\n"
          "Run 'tessaloom-cli COMMAND --help' for the options of a command.\n";
}

} // namespace

int Run(const std::vector<std::string>& args, Streams& streams)
{
    if (args.empty()) {
        PrintUsage(streams.err);
        return kExitUsage;
    }
    const std::string& command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "--help" || command == "-h" || command == "help") {
        PrintUsage(streams.out);
        return kExitOk;
    }
    if (command == "index")
        return RunIndexCommand(rest, streams);
    if (command == "list")
        return RunListCommand(rest, streams);
    if (command == "search")
        return RunSearchCommand(rest, streams);
    streams.err << "tessaloom-cli: unknown command '" << TerminalText(command) << "'\n";
    PrintUsage(streams.err);
    return kExitUsage;
}

} // namespace tessaloom::cli
