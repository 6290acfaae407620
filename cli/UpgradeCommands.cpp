#include "UpgradeCommands.h"

#include "Cli.h"
#include "CliOptions.h"
#include "CliReport.h"
#include "platform/Notify.h"
#include "upgrade/FirmwareFile.h"
#include "upgrade/UpgradeCodes.h"
#include "upgrade/WindroseIAP.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>

namespace qav::cli {

namespace {

using namespace std::chrono_literals;

std::optional<FirmwareBoard> BoardByName(const std::string& name)
{
    if (name == "controller")
        return FirmwareBoard::Controller;
    if (name == "motor")
        return FirmwareBoard::Motor;
    return std::nullopt;
}

const char* BoardName(std::uint8_t board)
{
    switch (board) {
    case 1:
        return "main controller";
    case 2:
        return "motor board";
    default:
        return "unknown board";
    }
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

bool ReadAll(const std::string& path, std::string& out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
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

int ExitFor(UpgradeOutcome outcome)
{
    switch (outcome) {
    case UpgradeOutcome::FileError:
        return kExitUsage;
    case UpgradeOutcome::PortError:
        return kExitPort;
    case UpgradeOutcome::NoAnswer:
        return kExitNoAnswer;
    case UpgradeOutcome::Success:
        return kExitOk;
    case UpgradeOutcome::Step:
    case UpgradeOutcome::Failure:
        break;
    }
    return kExitDeviceFail;
}

int CmdUpgrade(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const volatile std::sig_atomic_t* stop, bool terminal)
{
    constexpr const char* kUsageLine =
        "Usage: qav-nuva-cli upgrade --port PORT [--board controller|motor] FILE";
    std::string error;
    auto parsed = ParseOptions(args, 1, {"--port", "--board"}, {}, error);
    if (!parsed)
        return Fail(err, kExitUsage, error);
    Options& a = *parsed;
    if (!a.values.count("--port") || a.positional.size() != 1)
        return Fail(err, kExitUsage, kUsageLine);
    const auto board = BoardByName(a.values.count("--board") ? a.values["--board"] : "controller");
    if (!board)
        return Fail(err, kExitUsage, "The board is controller or motor.");

    auto notes = std::make_shared<NotifyQueue>();
    CWindroseIAPLibExp lib(*board);
    lib.Init(notes);
    lib.Start(a.values["--port"], a.positional[0]);
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
            const auto failed = FindUpgradeCode(errorCode);
            return failed ? ExitFor(failed->outcome) : kExitDeviceFail;
        }
        progress.Break();
        if (row->error) {
            errorCode = code;
            err << "qav-nuva-cli: Upgrade failed with code " << code << ": " << row->meaning << ".\n";
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

int CmdPack(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    constexpr const char* kUsageLine =
        "Usage: qav-nuva-cli firmware pack --board controller|motor --version N [--address A] IN -o OUT";
    std::string error;
    auto parsed = ParseOptions(args, 2, {"--board", "--version", "--address", "-o"}, {}, error);
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
    const std::string& in = a.positional[0];
    std::string text;
    if (!ReadAll(in, text))
        return Fail(err, kExitUsage, "Cannot read " + in + ".");
    std::vector<std::uint8_t> image;
    std::uint32_t start = address.value_or(kDefaultFlashAddress);
    if (!text.empty() && text[0] == ':') {
        std::uint32_t hexStart = 0;
        if (!ParseIntelHex(text, hexStart, image, error))
            return Fail(err, kExitUsage, in + " is not a valid Intel HEX file: " + error + ".");
        if (address && *address != hexStart)
            return Fail(err, kExitUsage,
                        in + " starts at " + Hex32(hexStart) + ", not at the address given.");
        if (hexStart % 4 != 0)
            return Fail(err, kExitUsage, in + " starts at an address that is not a multiple of 4.");
        start = hexStart;
    } else {
        image.assign(text.begin(), text.end());
    }
    if (image.empty())
        return Fail(err, kExitUsage, in + " holds no image.");
    const auto packed = PackFirmware(*board, *version, start, image);
    const std::string& target = a.values["-o"];
    std::ofstream o(target, std::ios::binary | std::ios::trunc);
    o.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
    o.close();
    if (!o)
        return Fail(err, kExitUsage, "Cannot write " + target + ".");
    out << "Wrote " << target << ": " << image.size() << " bytes for the " << BoardName(std::uint8_t(*board))
        << " at " << Hex32(start) << ", version " << int(*version) << ".\n";
    return kExitOk;
}

int CmdInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() != 3)
        return Fail(err, kExitUsage, "Usage: qav-nuva-cli firmware info FILE");
    std::string text;
    if (!ReadAll(args[2], text))
        return Fail(err, kExitUsage, "Cannot read " + args[2] + ".");
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    FirmwareHeader h;
    if (!DecodeFirmwareHeader(bytes, h))
        return Fail(err, kExitUsage, args[2] + " is shorter than a firmware header.");
    const std::uint32_t headerCrc = FirmwareCrc32(bytes.first(28));
    const bool whole = bytes.size() >= kFirmwareHeaderSize + std::uint64_t(h.length);
    out << "magic: " << std::string(text.data(), 4) << '\n'
        << "format: " << int(h.format) << '\n'
        << "board: " << int(h.board) << " (" << BoardName(h.board) << ")\n"
        << "version: " << int(h.version) << " (V" << h.version / 10 << '.' << h.version % 10 << ")\n"
        << "address: " << Hex32(h.address) << '\n'
        << "length: " << h.length << " bytes\n"
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
    const FirmwareCheckResult check = ParseFirmware(bytes, 0, fw);
    if (check.check != FirmwareCheck::Ok)
        return Fail(err, kExitUsage, args[2] + " is not a valid firmware file: " + check.reason + ".");
    return kExitOk;
}

} // namespace

bool IsFirmwareCommand(const std::string& command)
{
    return command == "upgrade" || command == "firmware";
}

int RunFirmwareCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                       const volatile std::sig_atomic_t* stop, bool terminal)
{
    if (args[0] == "upgrade")
        return CmdUpgrade(args, out, err, stop, terminal);
    if (args.size() >= 2 && args[1] == "pack")
        return CmdPack(args, out, err);
    if (args.size() >= 2 && args[1] == "info")
        return CmdInfo(args, out, err);
    return Fail(err, kExitUsage, "Usage: qav-nuva-cli firmware pack|info ...");
}

} // namespace qav::cli
