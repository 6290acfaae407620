#include "serial/LineSettingsPosix.h"

#include "serial/SerialLink.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qav {
namespace {

// A cooked terminal as a fresh device comes: echo, line editing, XON/XOFF,
// CR/NL translation, output processing, plus hardware flow control and
// modem-control settings that must survive.
termios CookedTerminal()
{
    termios t;
    std::memset(&t, 0, sizeof t);
    t.c_iflag = ICRNL | IXON | IXOFF | IXANY | BRKINT | ISTRIP | INLCR | IGNCR | PARMRK | IMAXBEL | INPCK;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ECHO | ECHOE | ECHONL | ICANON | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    return t;
}

struct LineRow
{
    std::uint32_t baud;
    std::uint8_t dataBits;
    std::uint8_t parity;
    std::uint8_t stopBits;
    speed_t speed;
    tcflag_t size;
    tcflag_t parityBits; // of PARENB | PARODD | CMSPAR
    bool twoStopBits;
};

class LineRows : public ::testing::TestWithParam<LineRow>
{
};

TEST_P(LineRows, LineIsRawAtTheRequestedFormatWithOtherFlagsKept)
{
    const LineRow& row = GetParam();
    const termios before = CookedTerminal();
    const auto made = MakeLineSettings(before, row.baud, row.dataBits, row.parity, row.stopBits);
    ASSERT_TRUE(made.has_value());
    const termios& t = *made;

    EXPECT_EQ(cfgetispeed(&t), row.speed);
    EXPECT_EQ(cfgetospeed(&t), row.speed);
    EXPECT_EQ(t.c_cflag & CSIZE, row.size);
    EXPECT_EQ(t.c_cflag & static_cast<tcflag_t>(PARENB | PARODD | CMSPAR), row.parityBits);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, row.twoStopBits);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, row.parity != CSerialLink::kNoParity);

    // Raw: no software flow control, no translation, no echo, no line editing.
    EXPECT_EQ(t.c_iflag & static_cast<tcflag_t>(IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP |
                                                BRKINT | PARMRK | IMAXBEL),
              0u);
    EXPECT_EQ(t.c_oflag & static_cast<tcflag_t>(OPOST), 0u);
    EXPECT_EQ(t.c_lflag & static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & static_cast<tcflag_t>(CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);

    // Hardware flow control, modem control and unrelated flags are kept.
    EXPECT_EQ(t.c_cflag & static_cast<tcflag_t>(CRTSCTS | HUPCL), static_cast<tcflag_t>(CRTSCTS | HUPCL));
    EXPECT_EQ(t.c_oflag & ONLCR, before.c_oflag & ONLCR);
    EXPECT_EQ(t.c_lflag & ECHOE, before.c_lflag & ECHOE);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, LineRows,
    ::testing::Values(
        LineRow{115200, 8, CSerialLink::kNoParity, CSerialLink::kOneStopBit, B115200, CS8, 0, false},
        LineRow{9600, 7, CSerialLink::kEvenParity, CSerialLink::kOneStopBit, B9600, CS7, PARENB, false},
        LineRow{57600, 8, CSerialLink::kOddParity, CSerialLink::kTwoStopBits, B57600, CS8, PARENB | PARODD,
                true},
        LineRow{50, 5, CSerialLink::kMarkParity, 1, B50, CS5, PARENB | PARODD | CMSPAR, true},
        LineRow{4000000, 6, CSerialLink::kSpaceParity, CSerialLink::kTwoStopBits, B4000000, CS6,
                PARENB | CMSPAR, true},
        LineRow{921600, 8, CSerialLink::kEvenParity, CSerialLink::kTwoStopBits, B921600, CS8, PARENB, true}));

struct RefusedRow
{
    std::uint32_t baud;
    std::uint8_t dataBits;
    std::uint8_t parity;
    std::uint8_t stopBits;
};

class RefusedRows : public ::testing::TestWithParam<RefusedRow>
{
};

TEST_P(RefusedRows, UnsupportedValuesGiveNoSettings)
{
    const RefusedRow& row = GetParam();
    EXPECT_FALSE(
        MakeLineSettings(CookedTerminal(), row.baud, row.dataBits, row.parity, row.stopBits).has_value());
}

INSTANTIATE_TEST_SUITE_P(Values, RefusedRows,
                         ::testing::Values(RefusedRow{115201, 8, 0, 0}, RefusedRow{0, 8, 0, 0},
                                           RefusedRow{115200, 4, 0, 0}, RefusedRow{115200, 9, 0, 0},
                                           RefusedRow{115200, 8, 5, 0}, RefusedRow{115200, 8, 0, 3}));

TEST(LineSettings, ParityOfTheCurrentLineIsKeptForAPseudoTerminal)
{
    const termios current = CookedTerminal();
    const auto wanted =
        MakeLineSettings(current, 115200, 8, CSerialLink::kEvenParity, CSerialLink::kOneStopBit);
    ASSERT_TRUE(wanted.has_value());
    const termios rest = WithParityOf(*wanted, current);
    constexpr tcflag_t kParity = PARENB | PARODD | CMSPAR;
    EXPECT_EQ(rest.c_cflag & kParity, current.c_cflag & kParity);
    EXPECT_EQ(rest.c_iflag & INPCK, current.c_iflag & INPCK);
    EXPECT_EQ(rest.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cfgetospeed(&rest), static_cast<speed_t>(B115200));
    EXPECT_EQ(rest.c_lflag & ICANON, 0u);
}

} // namespace
} // namespace qav
