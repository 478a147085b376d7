#include "platform/StandardStreams.h"

#include <fcntl.h>
#include <unistd.h>

namespace StandardStreams {

bool ReopenIfClosed(int fd) {
    if (fcntl(fd, F_GETFD) != -1) return false;
    const int opened = open("/dev/null", O_RDWR);
    // The lowest free number is this one when every lower stream is open, as the
    // caller asks them in order.
    if (opened >= 0 && opened != fd) {
        dup2(opened, fd);
        close(opened);
    }
    return true;
}

}  // namespace StandardStreams
