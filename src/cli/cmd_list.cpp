#include "cli/cli.h"

#include <ostream>

namespace tessaloom::cli {

int RunListCommand(const std::vector<std::string>&, Streams& streams)
{
    streams.err << "tessaloom-cli: 'list' is not available in this build\n";
    return kExitUsage;
}

} // namespace tessaloom::cli
