#pragma once
// The main screen's firmware upgrade: its three buttons and the status
// bar's progress bar, driven by the shared upgrade driver.
#include "view/UpgradeDriver.h"

namespace qav {

class ComPortChoice;
class FormHost;
class IPrompts;
class ScreenAnswers;
class ScreenLink;
class ScreenStatus;
class UpgradeNotifyTarget;

class ScreenUpgrade final : public IUpgradeOwner
{
public:
    ScreenUpgrade(FormHost& form, IPrompts& prompts, ScreenStatus& status, ComPortChoice& comChoice,
                  ScreenAnswers& answers, ScreenLink& link);

    // "Open Firmware", "Start Upgrade", "Cancel Upgrade".
    void OnOpenFirmware();
    void OnStart() { driver_.OnStart(); }
    void OnCancel() { driver_.OnCancel(); }
    UpgradeDriver& Driver() { return driver_; }

    // IUpgradeOwner
    int UpgradePortNumber() override;
    bool HeardBoardOn(int number) override;
    void ReleaseLinkForUpgrade() override;
    void ShowUpgradeText(std::string_view text) override;
    void SetUpgradeProgress(int position) override;
    void EnableUpgradeStart(bool enable) override;
    void EnableUpgradeCancel(bool enable) override;
    void SetMessageGate(bool open) override;

private:
    FormHost& form_;
    IPrompts& prompts_;
    ScreenStatus& status_;
    ComPortChoice& comChoice_;
    ScreenAnswers& answers_;
    ScreenLink& link_;
    UpgradeDriver driver_;
    UpgradeNotifyTarget* target_ = nullptr; // a child of the screen; delivers the library's notifications
};

} // namespace qav
