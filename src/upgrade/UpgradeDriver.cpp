#include "upgrade/UpgradeDriver.h"

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

constexpr std::array kErrorCodes{7, 8, 9, 10, 12, 14, 18, 19, 20, 23, 24, 27};

bool IsErrorCode(int code)
{
    for (int c : kErrorCodes)
        if (c == code)
            return true;
    return false;
}

} // namespace

std::string UpgradeNotificationText(UpgradeOwnerKind kind, int code)
{
    const bool main = kind == UpgradeOwnerKind::MainScreen;
    if (IsErrorCode(code)) {
        char text[64];
        std::snprintf(text, sizeof text, main ? "$INKred$Upgrade error code:%d!" : "Upgrade error code:%d!",
                      code);
        return text;
    }
    for (const Texts& t : kTexts)
        if (t.code == code)
            return main ? t.mainScreen : t.motorDialog;
    return {};
}

UpgradeDriver::UpgradeDriver(IUpgradeOwner& owner, UpgradeOwnerKind kind, FirmwareBoard board,
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

void UpgradeDriver::OnFileChosen(const std::string& path)
{
    path_ = path;
    if (kind_ == UpgradeOwnerKind::MainScreen) {
        owner_.SetMessageGate(true);
        owner_.ShowUpgradeText("$INKblue$Firmware file open successfully!");
        owner_.SetMessageGate(false);
    } else {
        owner_.ShowUpgradeText("Firmware open successfully!");
    }
    owner_.EnableUpgradeStart(true);
}

void UpgradeDriver::OnStart()
{
    owner_.ReleaseLinkForUpgrade();
    library_.Start(owner_.UpgradePortNumber(), path_);
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
    if (const std::string text = UpgradeNotificationText(kind_, code); !text.empty())
        owner_.ShowUpgradeText(text);
    switch (code) {
    case iap::kStartAgain:
        owner_.EnableUpgradeStart(true);
        break;
    case iap::kProgress:
        owner_.SetUpgradeProgress(IapRecordProgress(lParam));
        break;
    case iap::kDone:
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
