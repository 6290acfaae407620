#include "upgrade/FirmwareFile.h"

#include "platform/RegularFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <zlib.h>

namespace qav {
namespace {

constexpr std::uint8_t kMagic[4] = {'Q', 'N', 'F', 'W'};
constexpr std::uint8_t kElfMagic[4] = {0x7F, 'E', 'L', 'F'};
constexpr std::size_t kHeaderCrcSpan = 28;
constexpr std::size_t kChipField = 20;

// Cortex-M: the SRAM region of the memory map, where a stack lives.
constexpr std::uint32_t kRamRegionStart = 0x20000000;
constexpr std::uint32_t kRamRegionEnd = 0x40000000;

std::uint32_t Le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void PutLe32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Result Invalid(std::string why)
{
    return Result::Failed(kFirmwareInvalid, std::move(why));
}

std::string Hex32(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

int HexNibble(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// One record's bytes: count, address (2), type, data, checksum.
using HexRecord = std::array<std::uint8_t, 256 + 5>;

// Reads the trimmed line `line` as one whole record: what is wrong with it,
// or empty.
std::string ReadHexRecord(std::string_view line, HexRecord& rec)
{
    if (line.empty() || line[0] != ':' || line.size() < 11 || (line.size() - 1) % 2 != 0)
        return "not an Intel HEX record";
    const std::size_t size = (line.size() - 1) / 2;
    if (size > rec.size())
        return "the record is too long";
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const int hi = HexNibble(line[1 + 2 * i]), lo = HexNibble(line[2 + 2 * i]);
        if (hi < 0 || lo < 0)
            return "not a hexadecimal digit";
        rec[i] = static_cast<std::uint8_t>(hi << 4 | lo);
        sum = static_cast<std::uint8_t>(sum + rec[i]);
    }
    if (size != std::size_t{rec[0]} + 5)
        return "the byte count does not match the record";
    if (sum != 0)
        return "wrong checksum";
    return {};
}

// Consecutive data bytes from one address on: a HEX file's records mostly
// follow each other, so an image costs little more than its bytes.
struct HexRun
{
    std::uint64_t start;
    std::vector<std::uint8_t> bytes;
    std::uint64_t End() const { return start + bytes.size(); }
};

} // namespace

std::string_view FirmwareBoardName(std::uint8_t board)
{
    const BoardRow* row = BoardOfFirmware(board);
    return row ? row->firmwareName : "unknown board";
}

std::uint32_t FirmwareCrc32(std::span<const std::uint8_t> bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as uInt; feed large spans in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, bytes.size() - at);
        crc = crc32(crc, bytes.data() + at, static_cast<uInt>(n));
    }
    return static_cast<std::uint32_t>(crc);
}

bool DecodeFirmwareHeader(std::span<const std::uint8_t> bytes, FirmwareHeader& out)
{
    if (bytes.size() < kFirmwareHeaderSize)
        return false;
    const std::uint8_t* p = bytes.data();
    out.format = p[4];
    out.board = p[5];
    out.version = p[6];
    out.address = Le32(p + 8);
    out.length = Le32(p + 12);
    out.imageCrc = Le32(p + 16);
    out.chip = static_cast<std::uint16_t>(p[kChipField] | p[kChipField + 1] << 8);
    out.headerCrc = Le32(p + 28);
    return true;
}

Result ParseFirmware(std::span<const std::uint8_t> bytes, std::uint8_t board, FirmwareImage& out)
{
    FirmwareHeader h;
    if (!DecodeFirmwareHeader(bytes, h))
        return Invalid("the file is shorter than a firmware header");
    if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        return Invalid("the file does not start with QNFW");
    if (FirmwareCrc32(bytes.first(kHeaderCrcSpan)) != h.headerCrc)
        return Invalid("the header's CRC does not match");
    if (h.format != kFirmwareFormatVersion)
        return Invalid("unknown format version " + std::to_string(h.format));
    if (!BoardOfFirmware(h.board))
        return Invalid("unknown board " + std::to_string(h.board));
    if (h.length == 0 || h.length > kMaxFirmwareImage)
        return Invalid("the image length " + std::to_string(h.length) + " is out of range");
    if (h.address % 4 != 0)
        return Invalid("the flash address is not a multiple of 4");
    if (std::uint64_t(h.address) + h.length > 0x100000000ull)
        return Invalid("the image runs past the end of the address space");
    if (bytes.size() != kFirmwareHeaderSize + h.length)
        return Invalid(bytes.size() < kFirmwareHeaderSize + h.length ? "the file is truncated"
                                                                     : "the file is longer than its image");
    const auto image = bytes.subspan(kFirmwareHeaderSize);
    if (FirmwareCrc32(image) != h.imageCrc)
        return Invalid("the image's CRC does not match");
    if (board != 0 && h.board != board)
        return Result::Failed(kFirmwareWrongBoard, "the file is for the " + std::string(FirmwareBoardName(h.board)));
    out.header = h;
    out.image.assign(image.begin(), image.end());
    return {};
}

Result ReadFirmwareFile(const std::string& path, std::uint8_t board, FirmwareImage& out)
{
    std::string bytes;
    if (const Result read = ReadRegularFile(path, kMaxFirmwareFileSize, bytes); !read)
        return read.code == EFBIG ? Invalid("the file is larger than any firmware file") : read;
    return ParseFirmware(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), board,
                         out);
}

std::vector<std::uint8_t> PackFirmware(BoardId board, std::uint8_t version, std::uint32_t address,
                                       std::span<const std::uint8_t> image, std::uint16_t chip)
{
    std::vector<std::uint8_t> out(kFirmwareHeaderSize, 0);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[4] = kFirmwareFormatVersion;
    out[5] = BoardOf(board).firmwareByte;
    out[6] = version;
    PutLe32(out.data() + 8, address);
    PutLe32(out.data() + 12, static_cast<std::uint32_t>(image.size()));
    PutLe32(out.data() + 16, FirmwareCrc32(image));
    out[kChipField] = static_cast<std::uint8_t>(chip);
    out[kChipField + 1] = static_cast<std::uint8_t>(chip >> 8);
    PutLe32(out.data() + 28, FirmwareCrc32(std::span(out).first(kHeaderCrcSpan)));
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

FirmwareInput DetectFirmwareInput(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kElfMagic, 4) == 0)
        return FirmwareInput::Elf;
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), kMagic, 4) == 0)
        return FirmwareInput::Container;
    // A ':' alone is no proof: a raw image's first bytes may read as blanks
    // and a colon (the stack pointer 0x20003A20 does). Only a whole valid
    // record on the first line that is not blank makes a file Intel HEX.
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t eol = std::min(text.find('\n', pos), text.size());
        const std::string_view line = TrimBlanks(text.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty())
            continue;
        HexRecord rec;
        return ReadHexRecord(line, rec).empty() ? FirmwareInput::IntelHex : FirmwareInput::Raw;
    }
    return FirmwareInput::Raw;
}

Result ParseIntelHex(std::string_view text, std::uint32_t& address, std::vector<std::uint8_t>& image)
{
    std::vector<HexRun> runs;
    std::uint64_t lowest = UINT64_MAX, highest = 0;
    std::uint64_t base = 0;
    bool ended = false;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size() && !ended) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        const std::string_view line = TrimBlanks(text.substr(pos, eol - pos));
        pos = eol + 1;
        ++lineNo;
        if (line.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        HexRecord rec;
        if (const std::string why = ReadHexRecord(line, rec); !why.empty())
            return Invalid(where + why);
        const std::size_t count = rec[0];
        const std::uint64_t at = base + (std::uint64_t(rec[1]) << 8 | rec[2]);
        const std::uint8_t* data = rec.data() + 4;
        switch (rec[3]) {
        case 0x00:
            if (count == 0)
                break;
            if (at + count > 0x100000000ull)
                return Invalid(where + "the data runs past the end of the address space");
            lowest = std::min(lowest, at);
            highest = std::max(highest, at + count);
            if (highest - lowest > kMaxFirmwareImage)
                return Invalid("the data spans more than 16 MiB");
            if (runs.empty() || runs.back().End() != at)
                runs.push_back(HexRun{at, {}});
            runs.back().bytes.insert(runs.back().bytes.end(), data, data + count);
            break;
        case 0x01:
            ended = true;
            break;
        case 0x02:
        case 0x04:
            if (count != 2)
                return Invalid(where + "an address record needs two bytes");
            base = (std::uint64_t(data[0]) << 8 | data[1]) << (rec[3] == 0x02 ? 4 : 16);
            break;
        case 0x03:
        case 0x05:
            break;
        default:
            return Invalid(where + "unknown record type " + std::to_string(rec[3]));
        }
    }
    if (!ended)
        return Invalid("no end-of-file record");
    if (runs.empty())
        return Invalid("no data records");
    // Later records win where they overlap earlier ones.
    image.assign(static_cast<std::size_t>(highest - lowest), 0xFF);
    for (const HexRun& run : runs)
        std::copy(run.bytes.begin(), run.bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(run.start - lowest));
    address = static_cast<std::uint32_t>(lowest);
    return {};
}

Result CheckVectorTable(std::span<const std::uint8_t> image, std::uint32_t address)
{
    if (image.size() < 8)
        return Invalid("the image is shorter than a vector table (8 bytes)");
    const std::uint32_t stack = Le32(image.data());
    const std::uint32_t reset = Le32(image.data() + 4);
    if (stack <= kRamRegionStart || stack > kRamRegionEnd || stack % 4 != 0)
        return Invalid("its first word " + Hex32(stack) + " is not a stack pointer in RAM (" +
                       Hex32(kRamRegionStart) + " to " + Hex32(kRamRegionEnd) + ")");
    const std::uint64_t target = reset & ~1u;
    if ((reset & 1u) == 0 || target < address || target >= std::uint64_t(address) + image.size())
        return Invalid("its second word " + Hex32(reset) + " is not a reset address inside the image (" +
                       Hex32(address) + " to " + Hex32(static_cast<std::uint32_t>(address + image.size() - 1)) +
                       ", odd for Thumb code)");
    return {};
}

} // namespace qav
