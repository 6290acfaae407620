#pragma once
// "Motor Configuration": the modal dialog that sets up the motor driver
// board over a serial port of its own. Its controls come from
// MotorDialogTable.h; the exchange is the Qt-free MotorLink, driven by a
// 20 ms timer; every message replaces the text of the status box.
//
// Made afresh for each opening. The parameter set and the frame receiver
// are the program's, passed in, so both outlive one opening.
//
// Enter in a parameter box sends the parameters and never closes the
// dialog. A box whose value differs from what the board was last sent or
// reported is marked as not sent until a frame carries it or the board's
// value replaces it. Escape and the close box both run the close sequence (the COM
// entry is saved either way), which first stops a running upgrade.
//
// The Upgrade group drives the board's firmware upgrade through the shared
// UpgradeDriver; starting one closes the dialog's link, which stays closed
// until "Open COM Port".
//
// GUI thread only.
#include "files/ConfigFileCheck.h"
#include "motor/MotorLink.h"
#include "ui/FormHost.h"
#include "view/ComPortChoice.h"
#include "view/ScreenLink.h"
#include "view/UpgradeDriver.h"

#include <QDialog>

class QLabel;

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace qav {

class IPrompts;
class UpgradeNotifyTarget;

class CMotorConfigDlg : public QDialog,
                        protected IFormEvents,
                        protected IMotorEvents,
                        protected IScreenLinkOwner,
                        protected IUpgradeOwner
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLinkPeriod = ScreenLink::kTickPeriod;

    // `startupDirectory` holds Setting.ini (ending in "/"; empty: none).
    // `controllerPort` (0: none) is the port the main screen's link had
    // open: never preselected, since the motor board cannot be on it.
    // `valuesKnown`, when given, outlives the dialog with `params`: whether
    // they came from a board's report or a loaded file (else the dialog
    // keeps that to itself). So does `flashSet`, when given: what the
    // board keeps in flash as far as the program knows (first reported
    // since start, then as last written there).
    CMotorConfigDlg(MotorParams& params, FrameReceiver& receiver, IPrompts& prompts,
                    std::string startupDirectory, QWidget* parent = nullptr, int controllerPort = 0,
                    bool* valuesKnown = nullptr, std::optional<MotorParams>* flashSet = nullptr);
    // Closes the port if still open.
    ~CMotorConfigDlg() override;

    static QString Title() { return tr("Motor Configuration"); }

    FormHost& Form() { return *form_; }
    MotorLink& Engine() { return engine_; }
    CSerialLink& Serial() { return link_.Serial(); }
    int ComPortNumber() const { return comChoice_->PortNumber(); }
    // The port "Open COM Port" last opened (or tried to); a lost link is
    // reopened there, whatever the COM list shows meanwhile.
    int OpenedPortNumber() const { return link_.OpenedPortNumber(); }
    int ComListIndex() const { return comChoice_->Index(); }
    bool LinkTimerActive() const { return link_.TickActive(); }
    // The link and its tick, which tests drive by hand.
    ScreenLink& PortLink() { return link_; }
    std::int32_t Value(int box) const;
    // Whether the box is marked as holding a value not sent to the board.
    bool Unsent(int box) const;
    static QString UnsentText() { return tr("not sent: press Return"); }
    UpgradeDriver& Upgrade() { return upgrade_; }

    // "Open COM Port".
    void OnOpenComPort();
    // Parses the four parameter boxes into their values, in order. At the
    // first box that is not an integer: the integer-required message, the
    // focus into that box, false; that box and the later ones keep their
    // values.
    bool ReadAllBoxes();
    // Writes the four values into their boxes, without change reactions.
    void ShowAllValues();
    // Replaces the status box's text.
    void ShowStatus(const QString& text);
    // What the status box's message stands for in full: its tooltip.
    void ShowStatusDetails(const QString& details);

    // Motor configuration files (.bmc).
    void LoadMotorConfig();
    void SaveMotorConfig();
    // A file that exists but cannot be read, or has none of the keys, is
    // reported and changes nothing; a key the file lacks keeps its value.
    // While the board is connected, what the file would change is shown
    // first and nothing changes unless it is applied.
    void LoadMotorConfigFile(const QString& path);
    // False (and reported) when the file could not be written.
    bool SaveMotorConfigFile(const QString& path);
    // Whether the parameter set came from a board or a file; until then
    // "Save Config" says there is nothing to save.
    bool ValuesKnown() const { return *valuesKnown_; }
    static QString NothingToSaveMessage();
    // The red mark shown while the board holds settings its flash lacks.
    bool HasUnflashedChanges() const;
    // The board's set as it holds it (the directions, which never travel,
    // as the parameter set holds them), or the parameter set while the
    // board has not reported it since the port was opened.
    MotorParams BoardSet() const;

    // The close sequence: a running upgrade stopped, port closed, timer
    // stopped, the COM entry saved, the dialog ended. The close box and Escape both come here.
    void reject() override;
    // The template's default OK action: nothing.
    void accept() override {}

    static QString IntParseMessage() { return tr("请键入一个整数。"); }

protected:
    // IFormEvents
    void OnClicked(int id) override;
    void OnTextChanged(int id) override;
    void OnSelectionChanged(int id) override;
    void OnDropDown(int id) override;
    void OnSliderMoved(int) override {}
    void OnSliderReleased(int) override {}
    void OnEnterKey(int focusedId, bool keyDown, bool autoRepeat) override;

    // IMotorEvents
    void OnMotorConnected() override;
    void OnFlashResult(bool stored) override;
    void OnParametersAccepted(bool flashNext) override;
    void OnFirmwareVersion(std::uint8_t tenths) override;
    void OnParameterReport(const MotorParams& reported) override;
    void OnMonitor(std::uint16_t voltageRaw, std::uint16_t currentRaw) override;
    void OnMotorLost(bool wasConnected) override;

    // IScreenLinkOwner
    void OnLinkTick() override;
    void OnLinkBytes(const std::uint8_t* bytes, std::uint32_t count) override;
    bool LinkLost() const override { return engine_.State().missCount > MotorLink::kMissLimit; }
    std::uint32_t FramesTaken() const override { return engine_.RepliesHandled(); }
    std::uint32_t EchoesHeard() const override { return engine_.Sent().Echoes(); }
    // The status box names a board left in its boot loader.
    void OnBoardInBootLoader(int portNumber, bool waiting) override;

    // IUpgradeOwner
    int UpgradePortNumber() override { return comChoice_->PortNumber(); }
    bool HeardBoardOn(int number) override
    {
        return heardBoardOn_.count(number) > 0 || link_.BootLoaderWaitsOn(number);
    }
    void ReleaseLinkForUpgrade() override;
    void ShowUpgradeText(std::string_view text) override;
    void SetUpgradeProgress(int position) override;
    void EnableUpgradeStart(bool enable) override;
    void EnableUpgradeCancel(bool enable) override;

private:
    void OnBoxChanged(int box);
    // Marks each box whose value differs from the board's as not sent.
    void UpdateUnsentMarks();
    // Takes the four values as last read and both direction check boxes
    // into the parameter set.
    void TakeValuesIntoParams();
    void SendParameters();
    void OnWriteSettingsToFlash();
    void OnDirectionClicked(int checkBox);
    bool MotorConnected() const { return engine_.State().motorConnected; }
    // Shows the mark while the board's set differs from its flash's, keeps
    // it while either is unknown; `accepted`: the board just took a write.
    void UpdateUnflashedMark(bool accepted);

    MotorParams& params_;
    IPrompts& prompts_;
    std::string startupDirectory_;
    FormHost* form_ = nullptr;
    MotorLink engine_;
    ScreenLink link_;
    std::optional<ComPortChoice> comChoice_; // made with the form
    std::array<std::int32_t, 4> values_{}; // the four parameter boxes, in box order
    bool ownValuesKnown_ = false;
    bool* valuesKnown_ = &ownValuesKnown_;
    std::optional<MotorParams> ownFlashSet_;
    std::optional<MotorParams>* flashSet_ = &ownFlashSet_;
    QLabel* unflashedMark_ = nullptr;
    // What the board was last sent or reported, and which boxes differ from it.
    std::array<std::int32_t, 4> boardValues_{};
    std::array<bool, 4> unsent_{};
    int showingValues_ = 0;
    // Last among the members: its library is stopped before anything it
    // reports to goes.
    UpgradeDriver upgrade_;
    UpgradeNotifyTarget* upgradeTarget_ = nullptr; // a child; delivers the library's notifications
    std::set<int> heardBoardOn_;                    // ports where the link heard the motor board
};

} // namespace qav
