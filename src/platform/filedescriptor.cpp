#include "platform/filedescriptor.h"

#include <unistd.h>

namespace tessaloom {

int FileDescriptor::reset(int fd) noexcept
{
    int result = 0;
    if (m_fd >= 0)
        result = ::close(m_fd); // no retry on EINTR: on Linux the descriptor is gone anyway
    m_fd = fd;
    return result;
}

} // namespace tessaloom
