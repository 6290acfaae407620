#pragma once
// The upgrade flow both owners share (the main screen and the motor
// dialog): the chosen file, the three buttons' states, the reaction to each
// notification code and the texts each owner shows. The owner supplies its
// controls through IUpgradeOwner and hands every WM_IAP_NOTIFY it receives
// to OnNotification.
//
// Button states: no file (Start and Cancel disabled), ready (Start enabled,
// Cancel disabled: a file chosen, a cancel, code 22), running (Start
// disabled, Cancel enabled). Code 1 only enables Start; error codes change
// no button. The owner's link stays closed after an upgrade.
//
// GUI thread only.
#include "platform/Notify.h"
#include "upgrade/WindroseIAP.h"

#include <string>
#include <string_view>

namespace qav {

// Whose texts: the main screen's carry colour tags for its status line, the
// motor dialog's are plain.
enum class UpgradeOwnerKind { MainScreen, MotorDialog };

class IUpgradeOwner
{
public:
    virtual ~IUpgradeOwner() = default;
    // The n of COMn of the owner's own link.
    virtual int UpgradePortNumber() = 0;
    // Closes the owner's link (waiting up to 500 ms) and stops its periodic
    // timer, so nothing else uses the port during the upgrade.
    virtual void ReleaseLinkForUpgrade() = 0;
    // Main screen: written straight to the status line; motor dialog:
    // replaces its status box.
    virtual void ShowUpgradeText(std::string_view text) = 0;
    virtual void SetUpgradeProgress(int position) = 0;
    virtual void EnableUpgradeStart(bool enable) = 0;
    virtual void EnableUpgradeCancel(bool enable) = 0;
    // The main screen's message gate; the motor dialog has none.
    virtual void SetMessageGate(bool /*open*/) {}
};

// The text an owner shows for a notification code; empty for none.
std::string UpgradeNotificationText(UpgradeOwnerKind kind, int code);

class UpgradeDriver
{
public:
    UpgradeDriver(IUpgradeOwner& owner, UpgradeOwnerKind kind, FirmwareBoard board,
                  BootLoaderTiming timing = {});

    // Once, while the owner initialises: hands the library the sink that
    // delivers to the owner's thread, and sets the "no file" state.
    void Init(std::weak_ptr<INotifySink> sink);

    // "Open Firmware" with the path chosen (the chooser was not cancelled).
    void OnFileChosen(const std::string& path);
    void OnStart();
    void OnCancel();
    // A WM_IAP_NOTIFY's lParam, read now.
    void OnNotification(std::intptr_t lParam);
    // The owner closes while an upgrade may run (the motor dialog).
    void StopQuietly() { library_.Stop(); }

    const std::string& FirmwarePath() const { return path_; }
    CWindroseIAPLibExp& Library() { return library_; }

    // The title and filter of the file chooser, in Qt's form.
    std::string_view ChooserTitle() const;
    std::string_view ChooserFilter() const;

private:
    IUpgradeOwner& owner_;
    UpgradeOwnerKind kind_;
    CWindroseIAPLibExp library_;
    std::string path_;
};

} // namespace qav
