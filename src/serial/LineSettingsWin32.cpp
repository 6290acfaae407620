#include "serial/LineSettingsWin32.h"

#include "serial/SerialLink.h"

namespace qav {

std::optional<DCB> MakeLineDcb(const DCB& current, const LineRequest& line)
{
    if (line.baud == 0 || line.dataBits < 5 || line.dataBits > 8 || line.parity > CSerialLink::kSpaceParity ||
        (line.stopBits != CSerialLink::kOneStopBit && line.stopBits != CSerialLink::kTwoStopBits))
        return std::nullopt;
    DCB dcb = current;
    dcb.DCBlength = sizeof(DCB);
    dcb.BaudRate = line.baud;
    dcb.ByteSize = line.dataBits;
    dcb.Parity = line.parity;
    dcb.fParity = line.parity != CSerialLink::kNoParity ? TRUE : FALSE;
    // Two stop bits with 5 data bits is 1.5 on the wire; the driver wants
    // that said so.
    dcb.StopBits = line.stopBits == CSerialLink::kOneStopBit ? ONESTOPBIT
                   : line.dataBits == 5                       ? ONE5STOPBITS
                                                              : TWOSTOPBITS;
    // Raw bytes both ways: frames are binary, so no XON/XOFF eating 0x11 and
    // 0x13, no NUL stripping, no replacement of bytes with parity errors,
    // and a line error must not stop every later read and write until it is
    // cleared.
    dcb.fBinary = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fAbortOnError = FALSE;
    return dcb;
}

bool LineDcbHolds(const DCB& now, const DCB& wanted, bool withParity)
{
    return now.BaudRate == wanted.BaudRate && now.ByteSize == wanted.ByteSize && now.StopBits == wanted.StopBits &&
           (!withParity || now.Parity == wanted.Parity);
}

} // namespace qav
