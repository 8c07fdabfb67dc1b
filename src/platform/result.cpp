#include "platform/result.h"

#include <cstring>

namespace tessaloom {

Error SystemError(int err, std::string_view what)
{
    std::string message(what);
    message += ": ";
    message += std::strerror(err);
    return Error{err, std::move(message)};
}

} // namespace tessaloom
