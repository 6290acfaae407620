#include "UpgradeCommands.h"

#include "Cli.h"
#include "CliReport.h"
#include "platform/Notify.h"
#include "platform/RegularFile.h"
#include "upgrade/BootChips.h"
#include "upgrade/FirmwareFile.h"
#include "upgrade/UpgradeCodes.h"
#include "upgrade/WindroseIAP.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>

namespace qav::cli {

const std::vector<std::string> kUpgradeValueOptions{"--port", "--board"};
const std::vector<std::string> kUpgradeFlags{"--no-identify"};

namespace {

using namespace std::chrono_literals;

// What `firmware pack` reads: Intel HEX text of the largest image is under
// three times its size.
constexpr std::size_t kMaxPackInput = 4 * kMaxFirmwareImage;

// How `upgrade` ends on each error code; any other error is a failure the
// device reported (kExitDeviceFail).
struct UpgradeExit
{
    int code;
    int exit;
};
constexpr UpgradeExit kUpgradeExits[] = {
    {iap::kPortOpenFailed, kExitPort}, {iap::kFileUnreadable, kExitUsage}, {iap::kFileInvalid, kExitUsage},
    {iap::kWrongBoard, kExitUsage},    {iap::kNoBootLoader, kExitNoAnswer},
};

int ExitFor(int errorCode)
{
    for (const UpgradeExit& e : kUpgradeExits)
        if (e.code == errorCode)
            return e.exit;
    return kExitDeviceFail;
}

std::optional<FirmwareBoard> BoardByName(const std::string& name)
{
    if (name == "controller")
        return FirmwareBoard::Controller;
    if (name == "motor")
        return FirmwareBoard::Motor;
    return std::nullopt;
}

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

// The first bytes of a file as a quoted text: printable ASCII as it is,
// anything else as \xHH, so a foreign file never reaches the terminal raw.
std::string Escaped(std::span<const std::uint8_t> bytes, std::size_t most = 16)
{
    std::string text = "\"";
    for (std::size_t i = 0; i < std::min(most, bytes.size()); ++i) {
        const std::uint8_t b = bytes[i];
        if (b >= 0x20 && b < 0x7F && b != '"' && b != '\\') {
            text += static_cast<char>(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            text += hex;
        }
    }
    return text + (bytes.size() > most ? "\"..." : "\"");
}

std::string ElfHint(const std::string& in)
{
    return in + " is an ELF file, not a flash image: convert it first, e.g. objcopy -O binary " + in +
           " image.bin (or -O ihex for Intel HEX), and pack that.";
}

// Progress as a bar redrawn in place on a terminal, else one line per 10 %.
class ProgressPrinter
{
public:
    ProgressPrinter(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

    void Show(int percent)
    {
        if (terminal_) {
            constexpr int kWidth = 40;
            const int filled = percent * kWidth / 100;
            out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << percent
                 << " %" << std::flush;
            open_ = true;
            return;
        }
        while (percent >= nextLine_ && nextLine_ <= 100) {
            out_ << "progress " << nextLine_ << " %\n" << std::flush;
            nextLine_ += 10;
        }
    }
    // Ends the bar's line before other text.
    void Break()
    {
        if (open_)
            out_ << '\n';
        open_ = false;
    }

private:
    std::ostream& out_;
    bool terminal_;
    bool open_ = false;
    int nextLine_ = 0;
};

int CmdPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    constexpr const char* kUsageLine = "Usage: qav-nuva-cli firmware pack --board controller|motor --version N "
                                       "[--address A] [--chip ID] [--force] IN -o OUT";
    std::string error;
    auto parsed = ParseOptions(args, 2, {"--board", "--version", "--address", "--chip", "-o"}, {"--force"}, error);
    if (!parsed)
        return Fail(err, kExitUsage, error);
    Options& a = *parsed;
    if (!a.values.count("--board") || !a.values.count("--version") || !a.values.count("-o") ||
        a.positional.size() != 1)
        return Fail(err, kExitUsage, kUsageLine);
    const auto board = BoardByName(a.values["--board"]);
    if (!board)
        return Fail(err, kExitUsage, "The board is controller or motor.");
    const auto version = ParseVersion(a.values["--version"]);
    if (!version)
        return Fail(err, kExitUsage, "The version is a number of tenths from 0 to 255, or one such as 2.4.");
    std::optional<std::uint32_t> address;
    if (a.values.count("--address")) {
        address = ParseAddress(a.values["--address"]);
        if (!address || *address % 4 != 0)
            return Fail(err, kExitUsage, "The address is a number (0x for hexadecimal) and a multiple of 4.");
    }
    std::uint16_t chip = 0;
    if (a.values.count("--chip")) {
        const auto id = ParseChipId(a.values["--chip"]);
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
        if (!image.empty() && !a.flags.count("--force"))
            if (const Result r = CheckVectorTable(image, start); !r)
                return Fail(err, kExitUsage,
                            in + " does not look like a program image for " + Hex32(start) + ": " + r.message +
                                ". --force packs it all the same.");
        break;
    }
    if (image.empty())
        return Fail(err, kExitUsage, in + " holds no image.");
    const auto packed = PackFirmware(*board, *version, start, image, chip);
    const std::string& target = a.values["-o"];
    if (const Result r = ReplaceFile(target, std::string_view(reinterpret_cast<const char*>(packed.data()),
                                                                packed.size()));
        !r)
        return Fail(err, kExitUsage, "Cannot write " + target + ": " + r.message + ".");
    out << "Wrote " << target << ": " << image.size() << " bytes for the "
        << FirmwareBoardName(std::uint8_t(*board)) << " at " << Hex32(start) << ", version " << int(*version)
        << (chip ? ", chip " + ChipText(chip) : std::string()) << ".\n";
    return kExitOk;
}

// Why a file that is not ours is not, in one sentence after its name.
std::string ForeignFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    std::string text = path + " is not a firmware file: it starts with " + Escaped(bytes);
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

int CmdInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 3)
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli firmware info FILE");
    const std::string& path = args[2];
    std::string text;
    if (const Result r = ReadRegularFile(path, kMaxFirmwareFileSize, text); !r)
        return Fail(err, kExitUsage,
                    "Cannot read " + path + ": " +
                        (r.code == EFBIG ? std::string("larger than any firmware file") : r.message) + ".");
    const auto bytes = Bytes(text);
    FirmwareHeader h;
    if (DetectFirmwareInput(bytes) != FirmwareInput::Container)
        return Fail(err, kExitUsage, ForeignFile(path, bytes));
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

} // namespace

int RunUpgrade(const std::string& port, const Options& a, std::ostream& out, std::ostream& err,
               const volatile std::sig_atomic_t* stop, bool terminal)
{
    if (a.positional.size() != 1)
        return Fail(err, kExitUsage,
                    "Usage: qav-nuva-cli upgrade --port PORT [--board controller|motor] [--no-identify] FILE");
    const auto b = a.values.find("--board");
    const auto board = BoardByName(b != a.values.end() ? b->second : "controller");
    if (!board)
        return Fail(err, kExitUsage, "The board is controller or motor.");
    const bool identify = a.flags.count("--no-identify") == 0;

    auto notes = std::make_shared<NotifyQueue>();
    CWindroseIAPLibExp lib(*board);
    lib.Init(notes);
    lib.Start(port, a.positional[0], identify ? BoardCheck::Identify : BoardCheck::Skip);
    ProgressPrinter progress(out, terminal);
    int errorCode = 0;
    for (;;) {
        if (stop && *stop) {
            lib.Stop();
            progress.Break();
            return Interrupted(err, stop, "the upgrade was stopped and the board may need it again");
        }
        const auto n = notes->WaitFor(100ms);
        if (!n)
            continue;
        const int code = IapRecordCode(n->lParam);
        if (code == iap::kProgress) {
            progress.Show(IapRecordProgress(n->lParam));
            continue;
        }
        const auto row = FindUpgradeCode(code);
        if (!row)
            continue;
        if (code == iap::kStartAgain) {
            // Only sent after an error: the procedure is over.
            lib.Stop();
            return errorCode ? ExitFor(errorCode) : kExitDeviceFail;
        }
        progress.Break();
        if (row->error) {
            errorCode = code;
            err << kProgram << ": Upgrade failed with code " << code << ": " << lib.ErrorSentence();
            if (code == iap::kNoBootLoader && identify)
                err << " A board that already waited in its boot loader may have taken the board check's polls "
                       "for its baud rate: reset it and start again with --no-identify.";
            err << '\n';
            continue;
        }
        if (code == iap::kStarting)
            out << "Waiting for the boot loader: reset or power the board with its boot jumper set.\n";
        else
            out << char(std::toupper(static_cast<unsigned char>(row->meaning[0]))) << row->meaning.substr(1)
                << ".\n";
        if (code == iap::kDone) {
            lib.Stop();
            return kExitOk;
        }
    }
}

bool IsFirmwareCommand(const std::string& command)
{
    return command == "upgrade" || command == "firmware";
}

int RunFirmwareCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const volatile std::sig_atomic_t* stop, bool terminal)
{
    if (args[0] == "upgrade") {
        std::string error;
        const auto o = ParseOptions(args, 1, kUpgradeValueOptions, kUpgradeFlags, error);
        if (!o)
            return Fail(err, kExitUsage, error);
        const auto port = o->values.find("--port");
        if (port == o->values.end())
            return Fail(err, kExitUsage,
                        "Usage: qav-nuva-cli upgrade --port PORT [--board controller|motor] [--no-identify] FILE");
        return RunUpgrade(port->second, *o, out, err, stop, terminal);
    }
    if (args.size() >= 2 && args[1] == "pack")
        return CmdPack(args, out, err);
    if (args.size() >= 2 && args[1] == "info")
        return CmdInfo(args, out, err);
    return Fail(err, kExitUsage, "Usage: qav-nuva-cli firmware pack|info ...");
}

} // namespace qav::cli
