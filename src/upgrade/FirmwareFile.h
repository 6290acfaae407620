#pragma once
// The firmware container of both boards (.bgsf for the main controller,
// .bmcf for the motor board). All numbers little-endian:
//
//   0-3   "QNFW"
//   4     format version, 1
//   5     board: its row's firmware byte (boards/Boards.h): 1 main
//         controller, 2 motor board
//   6     firmware version in tenths, as the board reports it (24 = V2.4)
//   7     0
//   8-11  flash address of the first image byte
//   12-15 image length in bytes
//   16-19 CRC-32 (zlib's) of the image
//   20-21 chip the image is for, as the boot loader's GET ID answers; 0 = any
//   22-27 0
//   28-31 CRC-32 of bytes 0-27
//   32-   the image, exactly `length` bytes
//
// And what `firmware pack` takes in: a raw image or Intel HEX.
//
// Pure functions, any thread.
#include "boards/Boards.h"
#include "platform/Result.h"

#include <cerrno>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

// The firmware name of the board whose row has the byte `board`: "main
// controller", "motor board", or "unknown board".
std::string_view FirmwareBoardName(std::uint8_t board);

inline constexpr std::size_t kFirmwareHeaderSize = 32;
inline constexpr std::uint8_t kFirmwareFormatVersion = 1;
inline constexpr std::uint32_t kDefaultFlashAddress = 0x08000000;
// Bigger than any flash of these parts; keeps a corrupt length or a wrong
// file from asking for gigabytes.
inline constexpr std::size_t kMaxFirmwareImage = std::size_t{16} << 20;
inline constexpr std::size_t kMaxFirmwareFileSize = kFirmwareHeaderSize + kMaxFirmwareImage;

// Result codes of the checks, beside the errno of a file that cannot be read.
inline constexpr int kFirmwareInvalid = EBADMSG;    // not a valid container or input
inline constexpr int kFirmwareWrongBoard = ENOEXEC; // a valid container for the other board

struct FirmwareHeader
{
    std::uint8_t format = 0;
    std::uint8_t board = 0;
    std::uint8_t version = 0;
    std::uint32_t address = 0;
    std::uint32_t length = 0;
    std::uint32_t imageCrc = 0;
    std::uint16_t chip = 0;
    std::uint32_t headerCrc = 0;
};

struct FirmwareImage
{
    FirmwareHeader header;
    std::vector<std::uint8_t> image;
};

// zlib's CRC-32.
std::uint32_t FirmwareCrc32(std::span<const std::uint8_t> bytes);

// Reads the header fields without checking anything; false when fewer than
// 32 bytes are given.
bool DecodeFirmwareHeader(std::span<const std::uint8_t> bytes, FirmwareHeader& out);

// Checks a whole container and takes out the image. `board` is the board
// the caller serves; 0 accepts either. Fails with kFirmwareInvalid and the
// flaw in words ("the image's CRC does not match"), or kFirmwareWrongBoard
// ("the file is for the motor board").
Result ParseFirmware(std::span<const std::uint8_t> bytes, std::uint8_t board, FirmwareImage& out);
// The same for a file: only a regular file of at most kMaxFirmwareFileSize
// is read; one that cannot be read fails with its errno.
Result ReadFirmwareFile(const std::string& path, std::uint8_t board, FirmwareImage& out);

// A container for an image. The address must be a multiple of 4; `chip` 0
// fits any chip.
std::vector<std::uint8_t> PackFirmware(BoardId board, std::uint8_t version, std::uint32_t address,
                                       std::span<const std::uint8_t> image, std::uint16_t chip = 0);

// What a file given to `firmware pack` holds, judged by its content.
enum class FirmwareInput {
    Raw,       // anything else: taken as the image itself
    IntelHex,  // the first line that is not blank is a whole valid record
    Elf,       // an executable from the linker, not yet converted
    Container, // already a firmware file
};
FirmwareInput DetectFirmwareInput(std::span<const std::uint8_t> bytes);

// Intel HEX (records 00 data, 01 end, 02 segment address, 03 and 05 start
// addresses, which are ignored, 04 linear address) into one image from the
// lowest to the highest address given, gaps filled with 0xFF (erased flash);
// blanks around lines and blank lines are allowed. Uses memory in proportion
// to the image. Fails with kFirmwareInvalid and a reason naming the line.
Result ParseIntelHex(std::string_view text, std::uint32_t& address, std::vector<std::uint8_t>& image);

// Whether a raw image placed at `address` starts like a Cortex-M program: its
// first word a stack pointer in RAM, its second a reset address (Thumb) inside
// the image. Fails with kFirmwareInvalid and which word is wrong.
Result CheckVectorTable(std::span<const std::uint8_t> image, std::uint32_t address);

} // namespace qav
