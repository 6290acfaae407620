#pragma once
// The termios settings of a serial line, built without touching a device.
#include <cstdint>
#include <optional>
#include <termios.h>

namespace qav {

// current with the line made raw (no echo, no line editing, no XON/XOFF, no
// character translation, reads never waiting) and set to baud, dataBits (5
// to 8), parity and stopBits (CSerialLink's k* values). Hardware flow
// control and the modem-control settings of current are kept. Nothing when
// a value is not supported.
std::optional<termios> MakeLineSettings(const termios& current, std::uint32_t baud, std::uint8_t dataBits,
                                        std::uint8_t parity, std::uint8_t stopBits);

// settings with the parity of current kept: what a pseudo-terminal, which
// refuses a change of parity, can still take.
termios WithParityOf(const termios& settings, const termios& current);

} // namespace qav
