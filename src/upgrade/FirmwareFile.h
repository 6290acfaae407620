#pragma once
// The firmware container of both boards (.bgsf for the main controller,
// .bmcf for the motor board). All numbers little-endian:
//
//   0-3   "QNFW"
//   4     format version, 1
//   5     board: 1 main controller, 2 motor board
//   6     firmware version in tenths, as the board reports it (24 = V2.4)
//   7     0
//   8-11  flash address of the first image byte
//   12-15 image length in bytes
//   16-19 CRC-32 (zlib's) of the image
//   20-27 0
//   28-31 CRC-32 of bytes 0-27
//   32-   the image, exactly `length` bytes
//
// Pure functions, any thread.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qav {

enum class FirmwareBoard : std::uint8_t { Controller = 1, Motor = 2 };

inline constexpr std::size_t kFirmwareHeaderSize = 32;
inline constexpr std::uint8_t kFirmwareFormatVersion = 1;
inline constexpr std::uint32_t kDefaultFlashAddress = 0x08000000;

struct FirmwareHeader
{
    std::uint8_t format = 0;
    std::uint8_t board = 0;
    std::uint8_t version = 0;
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    std::uint32_t imageCrc = 0;
    std::uint32_t headerCrc = 0;
};

struct FirmwareImage
{
    FirmwareHeader header;
    std::vector<std::uint8_t> image;
};

enum class FirmwareCheck {
    Ok,
    Unreadable, // the file cannot be opened or read
    Invalid,    // magic, format version, a CRC, the length or the address is wrong
    WrongBoard, // a valid file for the other board
};

struct FirmwareCheckResult
{
    FirmwareCheck check = FirmwareCheck::Ok;
    std::string reason; // one plain sentence when not Ok
};

// zlib's CRC-32.
std::uint32_t FirmwareCrc32(std::span<const std::uint8_t> bytes);

// Reads the header fields without checking anything; false when fewer than
// 32 bytes are given.
bool DecodeFirmwareHeader(std::span<const std::uint8_t> bytes, FirmwareHeader& out);

// Checks a whole container and takes out the image. `board` is the board
// the caller serves; 0 accepts either.
FirmwareCheckResult ParseFirmware(std::span<const std::uint8_t> bytes, std::uint8_t board,
                                  FirmwareImage& out);
FirmwareCheckResult ReadFirmwareFile(const std::string& path, std::uint8_t board, FirmwareImage& out);

// A container for an image. The address must be a multiple of 4.
std::vector<std::uint8_t> PackFirmware(FirmwareBoard board, std::uint8_t version, std::uint32_t address,
                                       std::span<const std::uint8_t> image);

// Intel HEX (records 00 data, 01 end, 02 segment address, 03 and 05 start
// addresses, which are ignored, 04 linear address) into one image from the
// lowest to the highest address given, gaps filled with 0xFF (erased flash).
// False with a reason naming the line.
bool ParseIntelHex(std::string_view text, std::uint32_t& address, std::vector<std::uint8_t>& image,
                   std::string& error);

} // namespace qav
