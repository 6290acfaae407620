#pragma once
// The upgrade flow both screens share (the main screen and the motor
// dialog): the chosen file, the three buttons' states, the reaction to each
// notification code and the texts each screen shows. The screen supplies
// its controls through IUpgradeOwner and hands every WM_IAP_NOTIFY it
// receives to OnNotification. The library below knows only codes and their
// meanings; the wording per screen is here.
//
// Button states: no file (Start and Cancel disabled), ready (Start enabled,
// Cancel disabled: a file chosen, a cancel, code 22), running (Start
// disabled, Cancel enabled). Code 1 only enables Start; error codes change
// no button. The owner's link stays closed after an upgrade.
//
// Beyond the Windows tool: a chosen file is checked at once (a bad one is
// reported with its reason and Start stays disabled; a good one is described
// after the confirmation), an error's meaning follows its code, a port that
// does not open is reported with its reason, and the board check before the
// first sync byte is skipped on a port where the screen's own link heard its
// board in this session, or where an upgrade of this driver got past its
// board check and did not end with the new firmware started (the board may
// wait in its boot loader there, already in step).
//
// GUI thread only.
#include "platform/Notify.h"
#include "upgrade/WindroseIAP.h"

#include <set>
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
    // Whether the owner's own link heard its board on port `number` since
    // the owner was made, or found a board waiting in its boot loader there:
    // the board is the right one, or can no longer say which it is, and
    // (after a reset) it waits in its boot loader, where the board check's
    // polls could spoil its baud rate.
    virtual bool HeardBoardOn(int number) = 0;
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

// The owner's own text for a notification code (without what the library
// adds for this run); empty for none.
std::string UpgradeNotificationText(UpgradeOwnerKind kind, int code);

class UpgradeDriver
{
public:
    UpgradeDriver(IUpgradeOwner& owner, UpgradeOwnerKind kind, BoardId board, BootLoaderTiming timing = {});

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

    // The file chosen and found good; empty otherwise.
    const std::string& FirmwarePath() const { return path_; }
    CWindroseIAPLibExp& Library() { return library_; }
    // Whether the last Start asked the running firmware which board it is.
    BoardCheck LastBoardCheck() const { return lastCheck_; }

    // The title and filter of the file chooser, in Qt's form.
    std::string ChooserTitle() const;
    std::string ChooserFilter() const;

private:
    // The owner's text, coloured for the main screen.
    std::string Text(std::string_view colour, const std::string& plain) const;

    IUpgradeOwner& owner_;
    UpgradeOwnerKind kind_;
    CWindroseIAPLibExp library_;
    std::string path_;
    int runPort_ = 0;
    BoardCheck lastCheck_ = BoardCheck::Identify;
    std::set<int> leftInBootLoader_; // ports where a run of ours may have left the board in its boot loader
};

} // namespace qav
