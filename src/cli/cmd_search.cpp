#include "cli/cli.h"

#include <ostream>

namespace tessaloom::cli {

int RunSearchCommand(const std::vector<std::string>&, Streams& streams)
{
    streams.err << "tessaloom-cli: 'search' is not available in this build\n";
    return kExitUsage;
}

} // namespace tessaloom::cli
