#include "view/UpgradeDriver.h"

#include "upgrade/BootChips.h"
#include "view/UpgradeWords.h"

#include <QCoreApplication>

#include <array>

namespace qav {
namespace {

// Marked under the context "UpgradeDriver"; the colour tag goes before the
// translated sentence, so a translator never sees it.
struct Texts
{
    int code;
    const char* colour; // of the main screen's text
    const char* mainScreen;
    const char* motorDialog;
};

// Codes with a text of their own; the error codes share one, below.
constexpr std::array kTexts{
    Texts{iap::kPortOpened, "blue", QT_TRANSLATE_NOOP("UpgradeDriver", "COM port open successfully!"),
          QT_TRANSLATE_NOOP("UpgradeDriver", "COM port open successfully!")},
    Texts{iap::kPortOpenFailed, "red", QT_TRANSLATE_NOOP("UpgradeDriver", "COM port open failed!"),
          QT_TRANSLATE_NOOP("UpgradeDriver", "COM port open failed!")},
    Texts{iap::kStarting, "green",
          QT_TRANSLATE_NOOP("UpgradeDriver", "Starting firmware upgrade procedure, please waiting..."),
          QT_TRANSLATE_NOOP("UpgradeDriver", "Starting upgrade procedure, please waiting")},
    Texts{iap::kBootLoaderAnswered, "blue",
          QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware upgrade procedure start successfully!"),
          QT_TRANSLATE_NOOP("UpgradeDriver", "Upgrade start successfully!")},
    Texts{iap::kErasing, "green", QT_TRANSLATE_NOOP("UpgradeDriver", "Erasing chips, please waiting..."),
          QT_TRANSLATE_NOOP("UpgradeDriver", "Erasing chips...")},
    Texts{iap::kErased, "blue", QT_TRANSLATE_NOOP("UpgradeDriver", "Chips erased successfully!"),
          QT_TRANSLATE_NOOP("UpgradeDriver", "Chips erased successfully!")},
    Texts{iap::kWriting, "green", QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware upgrading, please wait..."),
          QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware upgrading...")},
    Texts{iap::kDone, "blue", QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware upgraded successfully!"),
          QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware upgraded successfully!")},
};

std::string Tr(const char* text)
{
    return QCoreApplication::translate("UpgradeDriver", text).toStdString();
}

// The main screen's status line takes a colour tag before the text.
std::string Inked(UpgradeOwnerKind kind, std::string_view colour, const std::string& plain)
{
    if (kind != UpgradeOwnerKind::MainScreen)
        return plain;
    return "$INK" + std::string(colour) + "$" + plain;
}

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
    const QString described = QCoreApplication::translate("UpgradeDriver", "%1 firmware V%2.%3, %4 bytes")
                                  .arg(QString::fromStdString(board))
                                  .arg(h.version / 10)
                                  .arg(h.version % 10)
                                  .arg(static_cast<unsigned>(h.length));
    return described.toStdString() +
           (h.chip ? QCoreApplication::translate("UpgradeDriver", ", chip %1")
                         .arg(QString::fromStdString(ChipText(h.chip)))
                         .toStdString()
                   : std::string()) +
           ".";
}

} // namespace

std::string UpgradeNotificationText(UpgradeOwnerKind kind, int code)
{
    const bool main = kind == UpgradeOwnerKind::MainScreen;
    if (const Texts* t = OwnText(code))
        return Inked(kind, t->colour, Tr(main ? t->mainScreen : t->motorDialog));
    // Every other error shares one text.
    if (!IsError(code))
        return {};
    return Inked(
        kind, "red",
        QCoreApplication::translate("UpgradeDriver", "Upgrade error code:%1!").arg(code).toStdString());
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

std::string UpgradeDriver::ChooserTitle() const
{
    return Tr(kind_ == UpgradeOwnerKind::MainScreen
                  ? QT_TRANSLATE_NOOP("UpgradeDriver", "NUVA main controller firmware file")
                  : QT_TRANSLATE_NOOP("UpgradeDriver", "Motor firmware file"));
}

std::string UpgradeDriver::ChooserFilter() const
{
    return Tr(kind_ == UpgradeOwnerKind::MainScreen
                  ? QT_TRANSLATE_NOOP("UpgradeDriver", "bgsf File (*.bgsf)")
                  : QT_TRANSLATE_NOOP("UpgradeDriver", "bmcf File (*.bmcf)"));
}

std::string UpgradeDriver::Text(std::string_view colour, const std::string& plain) const
{
    return Inked(kind_, colour, plain);
}

void UpgradeDriver::OnFileChosen(const std::string& path)
{
    const FirmwareCheck check = CheckFirmwareFile(path, library_.Board());
    std::string text;
    if (check.outcome.code != 0) {
        path_.clear();
        text = Text("red", Tr(QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware file refused: ")) +
                               UpgradeErrorText(check.outcome));
    } else {
        path_ = path;
        text = Text("blue", Tr(kind_ == UpgradeOwnerKind::MainScreen
                                   ? QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware file open successfully!")
                                   : QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware open successfully!")) +
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
        owner_.ShowUpgradeText(Tr(QT_TRANSLATE_NOOP("UpgradeDriver", "Start upgrade...")));
    owner_.SetUpgradeProgress(0);
    owner_.EnableUpgradeStart(false);
    owner_.EnableUpgradeCancel(true);
}

void UpgradeDriver::OnCancel()
{
    library_.Stop();
    if (kind_ == UpgradeOwnerKind::MainScreen) {
        owner_.ShowUpgradeText(
            Text("blue", Tr(QT_TRANSLATE_NOOP("UpgradeDriver", "Firmware upgrade procedure cancel!"))));
        owner_.SetMessageGate(false);
    } else {
        owner_.ShowUpgradeText(Tr(QT_TRANSLATE_NOOP("UpgradeDriver", "Upgrade procedure cancel!")));
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
