// firmware pack and firmware info: making a firmware file from a raw or
// Intel HEX image, and checking one.
#include "BoardSession.h"
#include "Cli.h"
#include "CliMessages.h"
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

// A chip's id, or that the file is for any chip.
std::string ChipOrAny(std::uint16_t chip)
{
    return chip ? ChipText(chip) : Say(Message::AnyChip);
}

std::span<const std::uint8_t> Bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

int RunFirmwarePack(const CommandCall& call)
{
    std::ostream& out = call.out;
    std::ostream& err = call.err;
    const Options& a = call.options;
    const auto board = BoardNamed(*a.Value("--board"));
    if (!board)
        return Fail(err, kExitUsage, Say(Message::BoardIs, {BoardWords()}));
    const auto version = ParseVersion(*a.Value("--version"));
    if (!version)
        return Fail(err, kExitUsage, Say(Message::BadVersion));
    std::optional<std::uint32_t> address;
    if (const std::string* text = a.Value("--address")) {
        address = ParseAddress(*text);
        if (!address || *address % 4 != 0)
            return Fail(err, kExitUsage, Say(Message::BadAddress));
    }
    // "Any chip" leaves the board check alone between a file and the wrong
    // board, so it is never what a forgotten option gives.
    const bool anyChip = a.Flag("--any-chip");
    if (anyChip == (a.Value("--chip") != nullptr))
        return Fail(err, kExitUsage,
                    anyChip ? Say(Message::ChipOptionsExclude) : Say(Message::NameTheChip, {KnownChipIds()}));
    std::uint16_t chip = 0;
    if (const std::string* text = a.Value("--chip")) {
        const auto id = ParseChipId(*text);
        if (!id || !FindChip(*id))
            return Fail(err, kExitUsage, Say(Message::UnknownChipId, {KnownChipIds()}));
        chip = *id;
    }
    const std::string& in = a.positional[0];
    std::string text;
    if (const Result r = ReadRegularFile(in, kMaxPackInput, text); !r)
        return Fail(err, kExitUsage, Say(Message::FileUnreadable, {in, r.message}));
    std::vector<std::uint8_t> image;
    std::uint32_t start = address.value_or(kDefaultFlashAddress);
    switch (DetectFirmwareInput(Bytes(text))) {
    case FirmwareInput::Elf:
        return Fail(err, kExitUsage, Say(Message::ElfImage, {in}));
    case FirmwareInput::Container:
        return Fail(err, kExitUsage, Say(Message::AlreadyFirmware, {in}));
    case FirmwareInput::IntelHex: {
        std::uint32_t hexStart = 0;
        if (const Result r = ParseIntelHex(text, hexStart, image); !r)
            return Fail(err, kExitUsage, Say(Message::BadIntelHex, {in, r.message}));
        if (address && *address != hexStart)
            return Fail(err, kExitUsage, Say(Message::HexStartsElsewhere, {in, Hex32(hexStart)}));
        if (hexStart % 4 != 0)
            return Fail(err, kExitUsage, Say(Message::HexStartUnaligned, {in}));
        start = hexStart;
        break;
    }
    case FirmwareInput::Raw:
        if (text.size() > kMaxFirmwareImage)
            return Fail(err, kExitUsage, Say(Message::RawTooLarge, {in}));
        image.assign(text.begin(), text.end());
        if (!image.empty() && !a.Flag("--force"))
            if (const Result r = CheckVectorTable(image, start); !r)
                return Fail(err, kExitUsage, Say(Message::NotProgramImage, {in, Hex32(start), r.message}));
        break;
    }
    if (image.empty())
        return Fail(err, kExitUsage, Say(Message::NoImage, {in}));
    const auto packed = PackFirmware(board->id, *version, start, image, chip);
    const std::string& target = *a.Value("-o");
    if (const Result r = ReplaceFile(target, std::string_view(reinterpret_cast<const char*>(packed.data()),
                                                                packed.size()));
        !r)
        return Fail(err, kExitUsage, Say(Message::CannotWrite, {target, r.message}));
    out << Say(Message::Packed, {target, std::to_string(image.size()), board->firmwareName, Hex32(start),
                                 std::to_string(*version), ChipOrAny(chip)})
        << '\n';
    return kExitOk;
}

namespace {

// Why a file that is not ours is not, in one sentence after its name.
std::string ForeignFile(const std::string& path, const std::string& content)
{
    Message what = Message::NotFirmware;
    switch (DetectFirmwareInput(Bytes(content))) {
    case FirmwareInput::Elf:
        what = Message::NotFirmwareElf;
        break;
    case FirmwareInput::IntelHex:
        what = Message::NotFirmwareHex;
        break;
    case FirmwareInput::Container:
    case FirmwareInput::Raw:
        break;
    }
    return Say(what, {path, QuotedBytes(content, 16)});
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
                    Say(Message::FileUnreadable,
                        {path, r.code == EFBIG ? Say(Message::LargerThanFirmware) : r.message}));
    const auto bytes = Bytes(text);
    FirmwareHeader h;
    if (DetectFirmwareInput(bytes) != FirmwareInput::Container)
        return Fail(err, kExitUsage, ForeignFile(path, text));
    if (!DecodeFirmwareHeader(bytes, h))
        return Fail(err, kExitUsage, Say(Message::ShorterThanHeader, {path}));
    const std::uint32_t headerCrc = FirmwareCrc32(bytes.first(28));
    const bool whole = bytes.size() >= kFirmwareHeaderSize + std::uint64_t(h.length);
    const auto line = [&](Message id, std::initializer_list<std::string_view> facts) {
        out << Say(id, facts) << '\n';
    };
    line(Message::InfoMagic, {});
    line(Message::InfoFormat, {std::to_string(h.format)});
    line(Message::InfoBoard, {std::to_string(h.board), FirmwareBoardName(h.board)});
    line(Message::InfoVersion,
         {std::to_string(h.version), std::to_string(h.version / 10), std::to_string(h.version % 10)});
    line(Message::InfoAddress, {Hex32(h.address)});
    line(Message::InfoLength, {std::to_string(h.length)});
    line(Message::InfoChip, {ChipOrAny(h.chip)});
    if (headerCrc == h.headerCrc)
        line(Message::HeaderCrcMatches, {Hex32(h.headerCrc)});
    else
        line(Message::HeaderCrcDiffers, {Hex32(h.headerCrc), Hex32(headerCrc)});
    if (!whole) {
        line(Message::ImageTruncated, {Hex32(h.imageCrc)});
    } else if (const std::uint32_t imageCrc = FirmwareCrc32(bytes.subspan(kFirmwareHeaderSize, h.length));
               imageCrc == h.imageCrc) {
        line(Message::ImageCrcMatches, {Hex32(h.imageCrc)});
    } else {
        line(Message::ImageCrcDiffers, {Hex32(h.imageCrc), Hex32(imageCrc)});
    }
    FirmwareImage fw;
    if (const Result check = ParseFirmware(bytes, 0, fw); !check)
        return Fail(err, kExitUsage, Say(Message::FileInvalid, {path, check.message}));
    return kExitOk;
}

} // namespace qav::cli
