#include "upgrade/FirmwareFile.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <zlib.h>

namespace qav {
namespace {

constexpr std::uint8_t kMagic[4] = {'Q', 'N', 'F', 'W'};
constexpr std::size_t kHeaderCrcSpan = 28;
// Bigger than any flash of this family; keeps a corrupt length from asking
// for gigabytes.
constexpr std::uint32_t kMaxImageLength = 16u * 1024 * 1024;

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

FirmwareCheckResult Invalid(std::string why)
{
    return {FirmwareCheck::Invalid, std::move(why)};
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

} // namespace

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
    out.headerCrc = Le32(p + 28);
    return true;
}

FirmwareCheckResult ParseFirmware(std::span<const std::uint8_t> bytes, std::uint8_t board, FirmwareImage& out)
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
    if (h.board != static_cast<std::uint8_t>(FirmwareBoard::Controller) &&
        h.board != static_cast<std::uint8_t>(FirmwareBoard::Motor))
        return Invalid("unknown board " + std::to_string(h.board));
    if (h.length == 0 || h.length > kMaxImageLength)
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
        return {FirmwareCheck::WrongBoard, h.board == static_cast<std::uint8_t>(FirmwareBoard::Controller)
                                               ? "the file is for the main controller"
                                               : "the file is for the motor board"};
    out.header = h;
    out.image.assign(image.begin(), image.end());
    return {};
}

FirmwareCheckResult ReadFirmwareFile(const std::string& path, std::uint8_t board, FirmwareImage& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {FirmwareCheck::Unreadable, "cannot open " + path + ": " + std::strerror(errno)};
    std::vector<std::uint8_t> bytes;
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buf, buf + in.gcount());
        if (bytes.size() > kFirmwareHeaderSize + kMaxImageLength)
            return Invalid("the file is too large for a firmware file");
    }
    if (in.bad())
        return {FirmwareCheck::Unreadable, "cannot read " + path};
    return ParseFirmware(bytes, board, out);
}

std::vector<std::uint8_t> PackFirmware(FirmwareBoard board, std::uint8_t version, std::uint32_t address,
                                       std::span<const std::uint8_t> image)
{
    std::vector<std::uint8_t> out(kFirmwareHeaderSize, 0);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[4] = kFirmwareFormatVersion;
    out[5] = static_cast<std::uint8_t>(board);
    out[6] = version;
    PutLe32(out.data() + 8, address);
    PutLe32(out.data() + 12, static_cast<std::uint32_t>(image.size()));
    PutLe32(out.data() + 16, FirmwareCrc32(image));
    PutLe32(out.data() + 28, FirmwareCrc32(std::span(out).first(kHeaderCrcSpan)));
    out.insert(out.end(), image.begin(), image.end());
    return out;
}

bool ParseIntelHex(std::string_view text, std::uint32_t& address, std::vector<std::uint8_t>& image,
                   std::string& error)
{
    std::map<std::uint32_t, std::uint8_t> bytes;
    std::uint32_t base = 0;
    bool ended = false;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size() && !ended) {
        std::size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            eol = text.size();
        std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line[0] != ':' || line.size() < 11 || (line.size() - 1) % 2 != 0) {
            error = where + "not an Intel HEX record";
            return false;
        }
        std::vector<std::uint8_t> rec;
        for (std::size_t i = 1; i < line.size(); i += 2) {
            const int hi = HexNibble(line[i]), lo = HexNibble(line[i + 1]);
            if (hi < 0 || lo < 0) {
                error = where + "not a hexadecimal digit";
                return false;
            }
            rec.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
        }
        const std::size_t count = rec[0];
        if (rec.size() != count + 5) {
            error = where + "the byte count does not match the record";
            return false;
        }
        std::uint8_t sum = 0;
        for (std::uint8_t b : rec)
            sum = static_cast<std::uint8_t>(sum + b);
        if (sum != 0) {
            error = where + "wrong checksum";
            return false;
        }
        const std::uint32_t offset = std::uint32_t(rec[1]) << 8 | rec[2];
        const std::uint8_t* data = rec.data() + 4;
        switch (rec[3]) {
        case 0x00:
            for (std::size_t i = 0; i < count; ++i)
                bytes[base + offset + static_cast<std::uint32_t>(i)] = data[i];
            break;
        case 0x01:
            ended = true;
            break;
        case 0x02:
        case 0x04:
            if (count != 2) {
                error = where + "an address record needs two bytes";
                return false;
            }
            base = (std::uint32_t(data[0]) << 8 | data[1]) << (rec[3] == 0x02 ? 4 : 16);
            break;
        case 0x03:
        case 0x05:
            break;
        default:
            error = where + "unknown record type " + std::to_string(rec[3]);
            return false;
        }
    }
    if (!ended) {
        error = "no end-of-file record";
        return false;
    }
    if (bytes.empty()) {
        error = "no data records";
        return false;
    }
    const std::uint32_t first = bytes.begin()->first;
    const std::uint32_t last = std::prev(bytes.end())->first;
    if (last - first >= kMaxImageLength) {
        error = "the data spans more than 16 MiB";
        return false;
    }
    image.assign(last - first + 1, 0xFF);
    for (const auto& [a, b] : bytes)
        image[a - first] = b;
    address = first;
    return true;
}

} // namespace qav
