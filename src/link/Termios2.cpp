// Never include <termios.h> here: it redefines struct termios differently from the kernel's.
#include "link/Termios2.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace kmr {

int SetLineSpeed(int fd, unsigned baud, unsigned* actual)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return errno;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return errno;
    struct termios2 back {};
    if (ioctl(fd, TCGETS2, &back) != 0)
        return errno;
    *actual = back.c_ospeed;
    return 0;
}

} // namespace kmr

namespace kmr {

int GetLineSpeed(int fd, unsigned* baud)
{
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return errno;
    *baud = tio.c_ospeed;
    return 0;
}

} // namespace kmr
