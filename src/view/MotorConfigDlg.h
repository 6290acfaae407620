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
// dialog. Escape and the close box both run the close sequence (the COM
// entry is saved either way), which first stops a running upgrade.
//
// The Upgrade group drives the board's firmware upgrade through the shared
// UpgradeDriver; starting one closes the dialog's link, which stays closed
// until "Open COM Port".
//
// GUI thread only.
#include "motor/MotorLink.h"
#include "protocol/FrameIntake.h"
#include "serial/SerialLink.h"
#include "ui/FormHost.h"
#include "view/UpgradeDriver.h"

#include <QDialog>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>

namespace qav {

class IPrompts;
class PostedNotifySink;
class UpgradeNotifyTarget;

class CMotorConfigDlg : public QDialog,
                        protected IFormEvents,
                        protected IMotorEvents,
                        protected IFrameTransport,
                        protected IUpgradeOwner
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLinkPeriod{20};
    static constexpr int kParamMin = 0;
    static constexpr int kParamMax = 100;

    // `startupDirectory` holds Setting.ini (ending in "/"; empty: none).
    CMotorConfigDlg(MotorParams& params, FrameReceiver& receiver, IPrompts& prompts,
                    std::string startupDirectory, QWidget* parent = nullptr);
    // Closes the port if still open.
    ~CMotorConfigDlg() override;

    static QString Title() { return QStringLiteral("Motor Configuration"); }

    FormHost& Form() { return *form_; }
    MotorLink& Engine() { return engine_; }
    CSerialLink& Serial() { return serial_; }
    int ComPortNumber() const { return comPortNumber_; }
    int ComListIndex() const { return comListIndex_; }
    bool LinkTimerActive() const { return linkTimer_.isActive(); }
    std::int32_t Value(int box) const;
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

    // Motor configuration files (.bmc).
    void LoadMotorConfig();
    void SaveMotorConfig();
    // A file that exists but cannot be read is reported and changes nothing.
    void LoadMotorConfigFile(const QString& path);
    // False (and reported) when the file could not be written.
    bool SaveMotorConfigFile(const QString& path);

    // The close sequence: a running upgrade stopped, port closed, timer
    // stopped, the COM entry saved, the dialog ended. The close box and Escape both come here.
    void reject() override;
    // The template's default OK action: nothing.
    void accept() override {}

    static QString IntParseMessage() { return QStringLiteral("请键入一个整数。"); }

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
    void OnFirmwareVersion(std::uint8_t tenths) override;
    void OnParameterReport(const MotorParams& reported) override;
    void OnMonitor(std::uint16_t voltageRaw, std::uint16_t currentRaw) override;
    void OnMotorLost(bool wasConnected) override;

    // IFrameTransport
    bool IsOpen() const override { return serial_.IsOpen(); }
    void WriteFrame(const Frame& frame) override;

    // IUpgradeOwner
    int UpgradePortNumber() override { return comPortNumber_; }
    bool HeardBoardOn(int number) override { return heardBoardOn_.count(number) > 0; }
    void ReleaseLinkForUpgrade() override;
    void ShowUpgradeText(std::string_view text) override;
    void SetUpgradeProgress(int position) override;
    void EnableUpgradeStart(bool enable) override;
    void EnableUpgradeCancel(bool enable) override;

    bool event(QEvent* e) override;

private:
    void InitComList();
    void FillComList();
    void TakePortNumberFromSelection();
    void OnBoxChanged(int box);
    // Takes the four values as last read and both direction check boxes
    // into the parameter set.
    void TakeValuesIntoParams();
    void SendParameters();
    void OnWriteSettingsToFlash();
    void OnDirectionClicked(int checkBox);
    void OnLinkTimer();
    void ReopenAfterHangUp();
    void OnPortReceived(std::intptr_t portNumber);
    bool MotorConnected() const { return engine_.State().motorConnected; }

    MotorParams& params_;
    IPrompts& prompts_;
    std::string startupDirectory_;
    FormHost* form_ = nullptr;
    MotorLink engine_;
    CSerialLink serial_;
    std::shared_ptr<PostedNotifySink> notify_;
    FrameIntake intake_;
    QTimer linkTimer_;
    std::array<std::int32_t, 4> values_{}; // the four parameter boxes, in box order
    std::int32_t comListIndex_ = 0;
    int comPortNumber_ = 0;
    int showingValues_ = 0;
    static constexpr int kReopenEveryTicks = 25;
    int ticksSinceHangUp_ = 0;
    bool waitingForDevice_ = false;
    // Last among the members: its library is stopped before anything it
    // reports to goes.
    UpgradeDriver upgrade_;
    UpgradeNotifyTarget* upgradeTarget_ = nullptr; // a child; delivers the library's notifications
    std::set<int> heardBoardOn_;                    // ports where the link heard the motor board
};

} // namespace qav
