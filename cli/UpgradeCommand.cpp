// upgrade: firmware through the board's boot loader, on one port or many at
// once. Exit codes as in Cli.h: 1 for a file that is unreadable, invalid or
// for the other board or chip, 2 when the port cannot be opened, 3 when the
// boot loader never answers, 4 for any other failure, 128 + N when signal N
// stopped it.
#include "BoardSession.h"
#include "Cli.h"
#include "CliMessages.h"
#include "CommandHandlers.h"
#include "ManyPorts.h"
#include "platform/Notify.h"
#include "upgrade/UpgradeCodes.h"
#include "upgrade/WindroseIAP.h"

#include <ostream>

namespace qav::cli {
namespace {

using namespace std::chrono_literals;

// How `upgrade` ends on each error code; any other error is a failure the
// device reported (kExitDeviceFail).
struct UpgradeExit
{
    int code;
    int exit;
};
constexpr UpgradeExit kUpgradeExits[] = {
    {iap::kPortOpenFailed, kExitPort}, {iap::kFileUnreadable, kExitUsage},  {iap::kFileInvalid, kExitUsage},
    {iap::kWrongBoard, kExitUsage},    {iap::kNoBootLoader, kExitNoAnswer},
};

int ExitFor(int errorCode)
{
    for (const UpgradeExit& e : kUpgradeExits)
        if (e.code == errorCode)
            return e.exit;
    return kExitDeviceFail;
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
            out_ << '\r'
                 << Say(Message::ProgressBar, {std::string(filled, '#') + std::string(kWidth - filled, ' '),
                                               std::to_string(percent)})
                 << std::flush;
            open_ = true;
            return;
        }
        while (percent >= nextLine_ && nextLine_ <= 100) {
            out_ << Say(Message::ProgressLine, {std::to_string(nextLine_)}) << '\n' << std::flush;
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

// One port's upgrade: the library's notifications as lines, until it is
// done or has failed.
int UpgradePort(const std::string& port, BoardId board, const std::string& file, bool identify,
                std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop, bool terminal)
{
    auto notes = std::make_shared<NotifyQueue>();
    CWindroseIAPLibExp lib(board);
    lib.Init(notes);
    lib.Start(port, file, identify ? BoardCheck::Identify : BoardCheck::Skip);
    ProgressPrinter progress(out, terminal);
    int errorCode = 0;
    for (;;) {
        if (stop && *stop) {
            lib.Stop();
            progress.Break();
            return Interrupted(err, stop, Say(Message::UpgradeStopped));
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
            std::string why =
                Say(Message::UpgradeFailed, {std::to_string(code), UpgradeErrorText(lib.Failure())});
            if (code == iap::kNoBootLoader && identify)
                why += Say(Message::NoIdentifyHint);
            Note(err, why);
            continue;
        }
        if (code == iap::kStarting)
            out << Say(Message::WaitingForBootLoader) << '\n';
        else
            out << Capitalized(Say(Message::Sentence, {row->meaning})) << '\n';
        if (code == iap::kDone) {
            lib.Stop();
            return kExitOk;
        }
    }
}

} // namespace

int RunUpgrade(const CommandCall& call)
{
    const std::vector<std::string>& ports = call.options.all.find("--port")->second;
    if (const std::string* twice = RepeatedPort(ports))
        return Fail(call.err, kExitUsage, Say(Message::PortGivenTwice, {*twice}));
    const auto board = ChosenBoard(call.options);
    if (!board)
        return Fail(call.err, kExitUsage, Say(Message::BoardIs, {BoardWords()}));
    const bool identify = !call.options.Flag("--no-identify");
    const std::string& file = call.Operands()[0];
    if (call.options.Flag("--force") && identify)
        return Fail(call.err, kExitUsage, Say(Message::ForceWithoutIdentify));
    // Without the board check, the chip the file names is the one guard left
    // between it and the other board. A file that cannot be read is reported
    // by the upgrade itself, as without --no-identify.
    if (!identify && !call.options.Flag("--force")) {
        const FirmwareCheck check = CheckFirmwareFile(file, *board);
        if (check.outcome.code == 0 && check.firmware.header.chip == 0)
            return Fail(call.err, kExitUsage,
                        Say(Message::NoChipNoIdentify, {file, BoardOf(*board).firmwareName}));
    }
    // Several ports: every board at once, one line each, no progress bar.
    const bool terminal = call.terminal && ports.size() == 1;
    return RunOnPorts(
        ports,
        [&](const std::string& port, std::ostream& out, std::ostream& err) {
            return UpgradePort(port, *board, file, identify, out, err, call.stop, terminal);
        },
        call.out, call.err);
}

} // namespace qav::cli
