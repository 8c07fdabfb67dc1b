#include "cli/cli.h"

#include <clocale>
#include <iostream>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    std::ios::sync_with_stdio(false);
    tessaloom::cli::Streams streams{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = tessaloom::cli::Run(args, streams);
    std::cout.flush();
    return status;
}
