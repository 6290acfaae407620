#pragma once
// The line settings of a Windows serial port (its DCB), built without
// touching a device. Windows only.
#include "serial/SerialPort.h"

#include "platform/WindowsApi.h"

#include <optional>

namespace qav {

// current with the line made raw (binary, no XON/XOFF, no character
// replacement or stripping, errors never aborting reads and writes) and set
// to the request's speed, data bits (5 to 8), parity (NOPARITY..SPACEPARITY,
// which CSerialLink's k* values are) and stop bits (ONESTOPBIT, or
// TWOSTOPBITS; 1.5 with 5 data bits, as the driver takes two then).
// Hardware flow control and the modem-control lines keep what the driver
// reported. Nothing when a value is not supported.
std::optional<DCB> MakeLineDcb(const DCB& current, const LineRequest& line);

// Whether the driver's settings `now` carry what `wanted` asked for: speed,
// data and stop bits, and parity unless told to leave it out.
bool LineDcbHolds(const DCB& now, const DCB& wanted, bool withParity);

} // namespace qav
