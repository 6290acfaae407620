#include "protocol/Crc16.h"

#include <array>

namespace qav {
namespace {

constexpr std::array<std::uint16_t, 16> MakeNibbleTable()
{
    std::array<std::uint16_t, 16> table{};
    for (unsigned i = 0; i < 16; ++i) {
        // Entry i is i * 0x1021 carried through the CRC shift register.
        std::uint16_t crc = static_cast<std::uint16_t>(i << 12);
        for (int bit = 0; bit < 4; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr auto kNibbleTable = MakeNibbleTable();
static_assert(kNibbleTable[1] == 0x1021 && kNibbleTable[15] == 0xF1EF);

} // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t length)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = data[i];
        crc = static_cast<std::uint16_t>((crc << 4) ^ kNibbleTable[(crc >> 12) ^ (b >> 4)]);
        crc = static_cast<std::uint16_t>((crc << 4) ^ kNibbleTable[(crc >> 12) ^ (b & 0x0F)]);
    }
    return crc;
}

} // namespace qav
