// firmware pack and firmware info: making a firmware file from a raw or
// Intel HEX image, and checking one.
#include "BoardSession.h"
#include "Cli.h"
#include "CommandHandlers.h"
#include "platform/RegularFile.h"
#include "platform/ShownText.h"
#include "upgrade/BootChips.h"
#include "upgrade/FirmwareFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>

namespace qav::cli {

namespace {

// What `firmware pack` reads: Intel HEX text of the largest image is under
// three times its size.
constexpr std::size_t kMaxPackInput = 4 * kMaxFirmwareImage;

std::string Hex32(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

// Tenths as a whole number (24) or as a version (2.4).
std::optional<std::uint8_t> ParseVersion(const std::string& text)
{
    unsigned whole = 0, tenth = 0;
    const char* end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, whole);
    if (ec != std::errc() || p == text.data())
        return std::nullopt;
    if (p == end)
        return whole <= 255 ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(whole)) : std::nullopt;
    if (*p != '.' || p + 2 != end || p[1] < '0' || p[1] > '9')
        return std::nullopt;
    tenth = static_cast<unsigned>(p[1] - '0');
    const unsigned tenths = whole * 10 + tenth;
    return tenths <= 255 ? std::optional<std::uint8_t>(static_cast<std::uint8_t>(tenths)) : std::nullopt;
}

std::optional<std::uint32_t> ParseAddress(std::string text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text = text.substr(2);
        base = 16;
    }
    std::uint32_t v = 0;
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v, base);
    if (ec != std::errc() || p != text.data() + text.size() || text.empty())
        return std::nullopt;
    return v;
}

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string ElfHint(const std::string& in)
{
    return in + " is an ELF file, not a flash image: convert it first, e.g. objcopy -O binary " + in +
           " image.bin (or -O ihex for Intel HEX), and pack that.";
}

} // namespace

int RunFirmwarePack(const CommandCall& call)
{
    std::ostream& out = call.out;
    std::ostream& err = call.err;
    const Options& a = call.options;
    const auto board = BoardNamed(*a.Value("--board"));
    if (!board)
        return Fail(err, kExitUsage, "The board is controller or motor.");
    const auto version = ParseVersion(*a.Value("--version"));
    if (!version)
        return Fail(err, kExitUsage, "The version is a number of tenths from 0 to 255, or one such as 2.4.");
    std::optional<std::uint32_t> address;
    if (const std::string* text = a.Value("--address")) {
        address = ParseAddress(*text);
        if (!address || *address % 4 != 0)
            return Fail(err, kExitUsage, "The address is a number (0x for hexadecimal) and a multiple of 4.");
    }
    // "Any chip" leaves the board check alone between a file and the wrong
    // board, so it is never what a forgotten option gives.
    const bool anyChip = a.Flag("--any-chip");
    if (anyChip == (a.Value("--chip") != nullptr))
        return Fail(err, kExitUsage,
                    anyChip ? std::string("--chip and --any-chip exclude each other.")
                            : "Name the chip the firmware is for with --chip ID (" + KnownChipIds() +
                                  "), or give --any-chip for a file any chip takes: the upgrade checks the "
                                  "chip before anything is erased.");
    std::uint16_t chip = 0;
    if (const std::string* text = a.Value("--chip")) {
        const auto id = ParseChipId(*text);
        if (!id || !FindChip(*id))
            return Fail(err, kExitUsage, "The chip is a product id the upgrade knows: " + KnownChipIds() + ".");
        chip = *id;
    }
    const std::string& in = a.positional[0];
    std::string text;
    if (const Result r = ReadRegularFile(in, kMaxPackInput, text); !r)
        return Fail(err, kExitUsage, "Cannot read " + in + ": " + r.message + ".");
    std::vector<std::uint8_t> image;
    std::uint32_t start = address.value_or(kDefaultFlashAddress);
    switch (DetectFirmwareInput(Bytes(text))) {
    case FirmwareInput::Elf:
        return Fail(err, kExitUsage, ElfHint(in));
    case FirmwareInput::Container:
        return Fail(err, kExitUsage, in + " is a firmware file already (firmware info shows its header).");
    case FirmwareInput::IntelHex: {
        std::uint32_t hexStart = 0;
        if (const Result r = ParseIntelHex(text, hexStart, image); !r)
            return Fail(err, kExitUsage, in + " is not a valid Intel HEX file: " + r.message + ".");
        if (address && *address != hexStart)
            return Fail(err, kExitUsage, in + " starts at " + Hex32(hexStart) + ", not at the address given.");
        if (hexStart % 4 != 0)
            return Fail(err, kExitUsage, in + " starts at an address that is not a multiple of 4.");
        start = hexStart;
        break;
    }
    case FirmwareInput::Raw:
        if (text.size() > kMaxFirmwareImage)
            return Fail(err, kExitUsage, in + " is larger than any flash image (16 MiB).");
        image.assign(text.begin(), text.end());
        if (!image.empty() && !a.Flag("--force"))
            if (const Result r = CheckVectorTable(image, start); !r)
                return Fail(err, kExitUsage,
                            in + " does not look like a program image for " + Hex32(start) + ": " + r.message +
                                ". --force packs it all the same.");
        break;
    }
    if (image.empty())
        return Fail(err, kExitUsage, in + " holds no image.");
    const auto packed = PackFirmware(board->id, *version, start, image, chip);
    const std::string& target = *a.Value("-o");
    if (const Result r = ReplaceFile(target, std::string_view(reinterpret_cast<const char*>(packed.data()),
                                                                packed.size()));
        !r)
        return Fail(err, kExitUsage, "Cannot write " + target + ": " + r.message + ".");
    out << "Wrote " << target << ": " << image.size() << " bytes for the " << board->firmwareName << " at "
        << Hex32(start) << ", version " << int(*version) << ", chip "
        << (chip ? ChipText(chip) : std::string("any")) << ".\n";
    return kExitOk;
}

namespace {

// Why a file that is not ours is not, in one sentence after its name.
std::string ForeignFile(const std::string& path, const std::string& content)
{
    const auto bytes = Bytes(content);
    std::string text = path + " is not a firmware file: it starts with " + QuotedBytes(content, 16);
    switch (DetectFirmwareInput(bytes)) {
    case FirmwareInput::Elf:
        text += ", an ELF file (convert it with objcopy -O binary, then use firmware pack)";
        break;
    case FirmwareInput::IntelHex:
        text += ", Intel HEX text (firmware pack makes a firmware file of it)";
        break;
    case FirmwareInput::Container:
    case FirmwareInput::Raw:
        break;
    }
    return text + ".";
}

} // namespace

int RunFirmwareInfo(const CommandCall& call)
{
    std::ostream& out = call.out;
    std::ostream& err = call.err;
    const std::string& path = call.Operands()[0];
    std::string text;
    if (const Result r = ReadRegularFile(path, kMaxFirmwareFileSize, text); !r)
        return Fail(err, kExitUsage,
                    "Cannot read " + path + ": " +
                        (r.code == EFBIG ? std::string("larger than any firmware file") : r.message) + ".");
    const auto bytes = Bytes(text);
    FirmwareHeader h;
    if (DetectFirmwareInput(bytes) != FirmwareInput::Container)
        return Fail(err, kExitUsage, ForeignFile(path, text));
    if (!DecodeFirmwareHeader(bytes, h))
        return Fail(err, kExitUsage, path + " is shorter than a firmware header.");
    const std::uint32_t headerCrc = FirmwareCrc32(bytes.first(28));
    const bool whole = bytes.size() >= kFirmwareHeaderSize + std::uint64_t(h.length);
    out << "magic: QNFW\n"
        << "format: " << int(h.format) << '\n'
        << "board: " << int(h.board) << " (" << FirmwareBoardName(h.board) << ")\n"
        << "version: " << int(h.version) << " (V" << h.version / 10 << '.' << h.version % 10 << ")\n"
        << "address: " << Hex32(h.address) << '\n'
        << "length: " << h.length << " bytes\n"
        << "chip: " << (h.chip ? ChipText(h.chip) : std::string("any")) << '\n'
        << "header CRC-32: " << Hex32(h.headerCrc)
        << (headerCrc == h.headerCrc ? " (matches)" : " (does not match: " + Hex32(headerCrc) + ")") << '\n';
    if (whole) {
        const std::uint32_t imageCrc = FirmwareCrc32(bytes.subspan(kFirmwareHeaderSize, h.length));
        out << "image CRC-32: " << Hex32(h.imageCrc)
            << (imageCrc == h.imageCrc ? " (matches)" : " (does not match: " + Hex32(imageCrc) + ")") << '\n';
    } else {
        out << "image CRC-32: " << Hex32(h.imageCrc) << " (the image is truncated)\n";
    }
    FirmwareImage fw;
    if (const Result check = ParseFirmware(bytes, 0, fw); !check)
        return Fail(err, kExitUsage, path + " is not a valid firmware file: " + check.message + ".");
    return kExitOk;
}

} // namespace qav::cli
