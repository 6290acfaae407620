#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace qav::sim {

bool PseudoTerminal::Open()
{
    Close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return false;
    char name[128];
    auto fail = [&] {
        const int saved = errno;
        Close();
        errno = saved;
        return false;
    };
    if (fcntl(master_, F_SETFD, FD_CLOEXEC) != 0 || fcntl(master_, F_SETFL, O_NONBLOCK) != 0)
        return fail();
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0)
        return fail();
    slavePath_ = name;
    slave_ = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave_ < 0)
        return fail();
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0)
        return fail();
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0)
        return fail();
    return true;
}

void PseudoTerminal::Close()
{
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
    slave_ = master_ = -1;
    slavePath_.clear();
}

} // namespace qav::sim
