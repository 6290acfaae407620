#include "protocol/Frame.h"

#include "protocol/Crc16.h"

namespace qav {

void SealFrame(Frame& frame)
{
    const std::uint16_t crc = Crc16(frame.data(), kCrcCoveredBytes);
    frame[30] = static_cast<std::uint8_t>(crc >> 8);
    frame[31] = static_cast<std::uint8_t>(crc & 0xFF);
}

bool FrameCrcMatches(const Frame& frame)
{
    const std::uint16_t crc = Crc16(frame.data(), kCrcCoveredBytes);
    return crc == static_cast<std::uint16_t>(frame[30] << 8 | frame[31]);
}

} // namespace qav
