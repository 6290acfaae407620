#include "view/UpgradeDriver.h"

#include "upgrade/BootChips.h"
#include "view/UpgradeWords.h"

#include <array>
#include <cstdio>

namespace qav {
namespace {

struct Texts
{
    int code;
    const char* mainScreen;
    const char* motorDialog;
};

// Codes with a text of their own; the error codes share one, below.
constexpr std::array kTexts{
    Texts{iap::kPortOpened, "$INKblue$COM port open successfully!", "COM port open successfully!"},
    Texts{iap::kPortOpenFailed, "$INKred$COM port open failed!", "COM port open failed!"},
    Texts{iap::kStarting, "$INKgreen$Starting firmware upgrade procedure, please waiting...",
          "Starting upgrade procedure, please waiting"},
    Texts{iap::kBootLoaderAnswered, "$INKblue$Firmware upgrade procedure start successfully!",
          "Upgrade start successfully!"},
    Texts{iap::kErasing, "$INKgreen$Erasing chips, please waiting...", "Erasing chips..."},
    Texts{iap::kErased, "$INKblue$Chips erased successfully!", "Chips erased successfully!"},
    Texts{iap::kWriting, "$INKgreen$Firmware upgrading, please wait...", "Firmware upgrading..."},
    Texts{iap::kDone, "$INKblue$Firmware upgraded successfully!", "Firmware upgraded successfully!"},
};

const Texts* OwnText(int code)
{
    for (const Texts& t : kTexts)
        if (t.code == code)
            return &t;
    return nullptr;
}

bool IsError(int code)
{
    const auto row = FindUpgradeCode(code);
    return row && row->error;
}

// "Main controller firmware V2.6, 24576 bytes, chip 0x410 (...)".
std::string Describe(const FirmwareHeader& h)
{
    std::string board(FirmwareBoardName(h.board));
    board[0] = static_cast<char>(board[0] - 'a' + 'A');
    char text[96];
    std::snprintf(text, sizeof text, "%s firmware V%d.%d, %u bytes", board.c_str(), h.version / 10,
                  h.version % 10, static_cast<unsigned>(h.length));
    return text + (h.chip ? ", chip " + ChipText(h.chip) : std::string()) + ".";
}

} // namespace

std::string UpgradeNotificationText(UpgradeOwnerKind kind, int code)
{
    const bool main = kind == UpgradeOwnerKind::MainScreen;
    if (const Texts* t = OwnText(code))
        return main ? t->mainScreen : t->motorDialog;
    // Every other error shares one text.
    if (!IsError(code))
        return {};
    char text[64];
    std::snprintf(text, sizeof text, main ? "$INKred$Upgrade error code:%d!" : "Upgrade error code:%d!", code);
    return text;
}

UpgradeDriver::UpgradeDriver(IUpgradeOwner& owner, UpgradeOwnerKind kind, BoardId board,
                             BootLoaderTiming timing)
    : owner_(owner), kind_(kind), library_(board, timing)
{
}

void UpgradeDriver::Init(std::weak_ptr<INotifySink> sink)
{
    library_.Init(std::move(sink));
    owner_.EnableUpgradeStart(false);
    owner_.EnableUpgradeCancel(false);
}

std::string_view UpgradeDriver::ChooserTitle() const
{
    return kind_ == UpgradeOwnerKind::MainScreen ? "NUVA main controller firmware file"
                                                 : "Motor firmware file";
}

std::string_view UpgradeDriver::ChooserFilter() const
{
    return kind_ == UpgradeOwnerKind::MainScreen ? "bgsf File (*.bgsf)" : "bmcf File (*.bmcf)";
}

std::string UpgradeDriver::Text(std::string_view colour, const std::string& plain) const
{
    if (kind_ != UpgradeOwnerKind::MainScreen)
        return plain;
    return "$INK" + std::string(colour) + "$" + plain;
}

void UpgradeDriver::OnFileChosen(const std::string& path)
{
    const FirmwareCheck check = CheckFirmwareFile(path, library_.Board());
    std::string text;
    if (check.outcome.code != 0) {
        path_.clear();
        text = Text("red", "Firmware file refused: " + UpgradeErrorText(check.outcome));
    } else {
        path_ = path;
        text = Text("blue", std::string(kind_ == UpgradeOwnerKind::MainScreen ? "Firmware file open successfully!"
                                                                               : "Firmware open successfully!") +
                                " " + Describe(check.firmware.header));
    }
    owner_.SetMessageGate(true);
    owner_.ShowUpgradeText(text);
    owner_.SetMessageGate(false);
    owner_.EnableUpgradeStart(check.outcome.code == 0);
}

void UpgradeDriver::OnStart()
{
    const int port = owner_.UpgradePortNumber();
    lastCheck_ = owner_.HeardBoardOn(port) || leftInBootLoader_.count(port) > 0 ? BoardCheck::Skip
                                                                                : BoardCheck::Identify;
    runPort_ = port;
    owner_.ReleaseLinkForUpgrade();
    library_.Start(port, path_, lastCheck_);
    if (kind_ == UpgradeOwnerKind::MainScreen)
        owner_.SetMessageGate(true);
    else
        owner_.ShowUpgradeText("Start upgrade...");
    owner_.SetUpgradeProgress(0);
    owner_.EnableUpgradeStart(false);
    owner_.EnableUpgradeCancel(true);
}

void UpgradeDriver::OnCancel()
{
    library_.Stop();
    if (kind_ == UpgradeOwnerKind::MainScreen) {
        owner_.ShowUpgradeText("$INKblue$Firmware upgrade procedure cancel!");
        owner_.SetMessageGate(false);
    } else {
        owner_.ShowUpgradeText("Upgrade procedure cancel!");
    }
    owner_.EnableUpgradeStart(true);
    owner_.EnableUpgradeCancel(false);
}

void UpgradeDriver::OnNotification(std::intptr_t lParam)
{
    const int code = IapRecordCode(lParam);
    owner_.SetMessageGate(true);
    if (std::string text = UpgradeNotificationText(kind_, code); !text.empty()) {
        // What the code means for this run, after the text of old.
        if (const std::string why = UpgradeErrorText(library_.Failure()); IsError(code) && !why.empty())
            text += " " + why;
        owner_.ShowUpgradeText(text);
    }
    switch (code) {
    case iap::kStarting:
        // The board on this port passed the board check (or needed none) and
        // sync bytes go out from now on: whatever ends this run, a board reset
        // meanwhile waits in its boot loader, in step, where the polls of
        // another check would only be taken for commands.
        leftInBootLoader_.insert(runPort_);
        break;
    case iap::kStartAgain:
        owner_.EnableUpgradeStart(true);
        break;
    case iap::kProgress:
        owner_.SetUpgradeProgress(IapRecordProgress(lParam));
        break;
    case iap::kDone:
        // The new firmware runs: the board answers the polls again.
        leftInBootLoader_.erase(runPort_);
        owner_.EnableUpgradeStart(true);
        owner_.EnableUpgradeCancel(false);
        owner_.SetUpgradeProgress(0);
        owner_.SetMessageGate(false);
        break;
    default:
        break;
    }
}

} // namespace qav
