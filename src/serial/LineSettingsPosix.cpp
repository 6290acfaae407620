#include "serial/LineSettingsPosix.h"

#include "serial/SerialLink.h"

#include <array>

namespace qav {

namespace {

struct Speed
{
    std::uint32_t baud;
    speed_t code;
};
constexpr std::array kSpeeds{
    Speed{50, B50},           Speed{75, B75},           Speed{110, B110},         Speed{134, B134},
    Speed{150, B150},         Speed{200, B200},         Speed{300, B300},         Speed{600, B600},
    Speed{1200, B1200},       Speed{1800, B1800},       Speed{2400, B2400},       Speed{4800, B4800},
    Speed{9600, B9600},       Speed{19200, B19200},     Speed{38400, B38400},     Speed{57600, B57600},
    Speed{115200, B115200},   Speed{230400, B230400},   Speed{460800, B460800},   Speed{500000, B500000},
    Speed{576000, B576000},   Speed{921600, B921600},   Speed{1000000, B1000000}, Speed{1152000, B1152000},
    Speed{1500000, B1500000}, Speed{2000000, B2000000}, Speed{2500000, B2500000}, Speed{3000000, B3000000},
    Speed{3500000, B3500000}, Speed{4000000, B4000000},
};

bool SpeedCode(std::uint32_t baud, speed_t& code)
{
    for (const Speed& s : kSpeeds) {
        if (s.baud == baud) {
            code = s.code;
            return true;
        }
    }
    return false;
}

} // namespace

std::optional<termios> MakeLineSettings(const termios& current, std::uint32_t baud, std::uint8_t dataBits,
                                        std::uint8_t parity, std::uint8_t stopBits)
{
    speed_t code{};
    if (!SpeedCode(baud, code) || dataBits < 5 || dataBits > 8 || parity > CSerialLink::kSpaceParity ||
        stopBits > CSerialLink::kTwoStopBits)
        return std::nullopt;
    termios t = current;
    // Raw bytes both ways: frames are binary, so no translation, no echo,
    // no XON/XOFF eating 0x11 and 0x13.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                        IXOFF | IXANY | IUCLC | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;

    static constexpr std::array<tcflag_t, 4> kSizes{CS5, CS6, CS7, CS8};
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | kSizes[dataBits - 5];
    // Linux has no 1.5 stop bits setting; CSTOPB gives 1.5 with 5 data bits.
    if (stopBits == CSerialLink::kOneStopBit)
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else
        t.c_cflag |= CSTOPB;
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    switch (parity) {
    case CSerialLink::kOddParity:
        t.c_cflag |= PARENB | PARODD;
        break;
    case CSerialLink::kEvenParity:
        t.c_cflag |= PARENB;
        break;
    case CSerialLink::kMarkParity:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case CSerialLink::kSpaceParity:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (parity != CSerialLink::kNoParity)
        t.c_iflag |= INPCK;
    else
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    return t;
}

termios WithParityOf(const termios& settings, const termios& current)
{
    constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
    termios t = settings;
    t.c_cflag = (t.c_cflag & ~kParityBits) | (current.c_cflag & kParityBits);
    t.c_iflag = (t.c_iflag & ~static_cast<tcflag_t>(INPCK)) | (current.c_iflag & INPCK);
    return t;
}

} // namespace qav
