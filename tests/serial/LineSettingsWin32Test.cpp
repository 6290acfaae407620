#include "serial/LineSettingsWin32.h"

#include "serial/SerialLink.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

// A port as a terminal program left it: 9600 7O2, XON/XOFF both ways, NUL
// stripping, an error character, reads ending on errors, plus hardware flow
// control and modem-control settings that must survive.
DCB UsedPort()
{
    DCB d{};
    d.DCBlength = sizeof d;
    d.BaudRate = 9600;
    d.ByteSize = 7;
    d.Parity = ODDPARITY;
    d.fParity = TRUE;
    d.StopBits = TWOSTOPBITS;
    d.fBinary = FALSE;
    d.fOutX = TRUE;
    d.fInX = TRUE;
    d.fNull = TRUE;
    d.fErrorChar = TRUE;
    d.fAbortOnError = TRUE;
    d.fOutxCtsFlow = TRUE;
    d.fRtsControl = RTS_CONTROL_HANDSHAKE;
    d.fDtrControl = DTR_CONTROL_ENABLE;
    return d;
}

struct DcbRow
{
    const char* name;
    LineRequest line;
    BYTE parity;
    BOOL checked;
    BYTE stopBits;
};

TEST(LineSettingsWin32, RequestsBecomeARawDcb)
{
    const DcbRow rows[] = {
        {"links 115200 8N1", {115200, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit}, NOPARITY, FALSE,
         ONESTOPBIT},
        {"boot loader 115200 8E1", {115200, CSerialLink::kEvenParity, 8, CSerialLink::kOneStopBit}, EVENPARITY,
         TRUE, ONESTOPBIT},
        {"57600 7O2", {57600, CSerialLink::kOddParity, 7, CSerialLink::kTwoStopBits}, ODDPARITY, TRUE,
         TWOSTOPBITS},
        {"9600 5M1.5", {9600, CSerialLink::kMarkParity, 5, CSerialLink::kTwoStopBits}, MARKPARITY, TRUE,
         ONE5STOPBITS},
        {"921600 6S1", {921600, CSerialLink::kSpaceParity, 6, CSerialLink::kOneStopBit}, SPACEPARITY, TRUE,
         ONESTOPBIT},
    };
    for (const DcbRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<DCB> made = MakeLineDcb(UsedPort(), row.line);
        ASSERT_TRUE(made);
        const DCB& d = *made;
        EXPECT_EQ(d.DCBlength, sizeof(DCB));
        EXPECT_EQ(d.BaudRate, row.line.baud);
        EXPECT_EQ(d.ByteSize, row.line.dataBits);
        EXPECT_EQ(d.Parity, row.parity);
        EXPECT_EQ(d.fParity, row.checked);
        EXPECT_EQ(d.StopBits, row.stopBits);
        // Raw both ways.
        EXPECT_TRUE(d.fBinary);
        EXPECT_FALSE(d.fOutX);
        EXPECT_FALSE(d.fInX);
        EXPECT_FALSE(d.fNull);
        EXPECT_FALSE(d.fErrorChar);
        EXPECT_FALSE(d.fAbortOnError);
        // What the driver had for flow control stays.
        EXPECT_TRUE(d.fOutxCtsFlow);
        EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_HANDSHAKE));
        EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
        EXPECT_TRUE(LineDcbHolds(d, d, true));
    }
}

TEST(LineSettingsWin32, UnsupportedRequestsMakeNoDcb)
{
    const LineRequest bad[] = {
        {0, CSerialLink::kNoParity, 8, CSerialLink::kOneStopBit},
        {115200, CSerialLink::kNoParity, 4, CSerialLink::kOneStopBit},
        {115200, CSerialLink::kNoParity, 9, CSerialLink::kOneStopBit},
        {115200, 5, 8, CSerialLink::kOneStopBit},
        {115200, CSerialLink::kNoParity, 8, 1},
        {115200, CSerialLink::kNoParity, 8, 3},
    };
    for (const LineRequest& line : bad) {
        SCOPED_TRACE(testing::Message() << line.baud << " " << int(line.dataBits) << " parity "
                                        << int(line.parity) << " stop " << int(line.stopBits));
        EXPECT_FALSE(MakeLineDcb(UsedPort(), line));
    }
}

// A pseudo-terminal under Wine drops parity: the line still counts as set
// when only the parity differs and parity is left out of the comparison.
TEST(LineSettingsWin32, HoldingComparesSpeedSizeStopAndParityOnRequest)
{
    const DCB wanted = *MakeLineDcb(UsedPort(), {115200, CSerialLink::kEvenParity, 8, CSerialLink::kOneStopBit});
    struct Row
    {
        const char* name;
        void (*change)(DCB&);
        bool withParity;
        bool withoutParity;
    } rows[] = {
        {"same", [](DCB&) {}, true, true},
        {"parity dropped", [](DCB& d) { d.Parity = NOPARITY; }, false, true},
        {"speed", [](DCB& d) { d.BaudRate = 57600; }, false, false},
        {"size", [](DCB& d) { d.ByteSize = 7; }, false, false},
        {"stop bits", [](DCB& d) { d.StopBits = TWOSTOPBITS; }, false, false},
        {"flow control only", [](DCB& d) { d.fOutX = TRUE; }, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DCB now = wanted;
        row.change(now);
        EXPECT_EQ(LineDcbHolds(now, wanted, true), row.withParity);
        EXPECT_EQ(LineDcbHolds(now, wanted, false), row.withoutParity);
    }
}

} // namespace
} // namespace qav
