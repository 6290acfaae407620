#include "protocol/Crc16.h"
#include "protocol/Frame.h"

#include <gtest/gtest.h>

#include <string>

namespace qav {
namespace {

// Plain bit-at-a-time CRC-16/XMODEM, to cross-check the table version.
std::uint16_t BitwiseCrc(const std::uint8_t* data, std::size_t n)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

struct CrcRow
{
    std::string text;
    std::uint16_t crc;
};

TEST(Crc16, KnownCheckValues)
{
    const CrcRow rows[] = {{"123456789", 0x31C3}, {"abc", 0x9DD6}, {"", 0x0000}};
    for (const auto& row : rows) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(row.text.data());
        EXPECT_EQ(Crc16(bytes, row.text.size()), row.crc) << row.text;
    }
}

TEST(Crc16, AgreesWithBitwiseReferenceOnEveryByteValue)
{
    std::uint8_t data[256];
    for (int i = 0; i < 256; ++i)
        data[i] = static_cast<std::uint8_t>(i * 37 + 11);
    for (std::size_t n = 0; n <= sizeof data; n += 17)
        EXPECT_EQ(Crc16(data, n), BitwiseCrc(data, n)) << n;
}

TEST(Crc16, SealedFrameCarriesCrcHighByteFirst)
{
    Frame f{};
    f[0] = 0xAB;
    f[1] = 0xCD;
    f[4] = 2;
    f[13] = 0x81;
    SealFrame(f);
    EXPECT_EQ(f[30], 0xB1);
    EXPECT_EQ(f[31], 0x1F);
    EXPECT_TRUE(FrameCrcMatches(f));
    f[20] ^= 0x01;
    EXPECT_FALSE(FrameCrcMatches(f));
}

} // namespace
} // namespace qav
