#pragma once
// CRC-16/XMODEM (polynomial 0x1021, initial value 0, no reflection, no final
// XOR), four bits at a time from a 16-entry table. Both device links check
// their 32-byte frames with it over bytes 0 to 29.
#include <cstddef>
#include <cstdint>

namespace qav {

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);

} // namespace qav
