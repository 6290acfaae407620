#pragma once
// The main configuration screen: it owns its parts and hands each event of
// its controls and of the controller link to the part that does it.
//   ScreenBoxes     the screen values, read all boxes, show all values
//   ScreenEditor    box, slider and Enter handlers; ScreenStore the stores
//   ScreenCommands  clicks and list choices that command the controller
//   ScreenAnswers   the port and what the controller's answers show
//   LiveDisplays    attitude, RC channels, accelerations
//   ScreenUpgrade   the firmware upgrade; MotorHandOver the motor dialog
//   TuningAids      live plots and the unflashed mark
//   ScreenStatus    the status line and its message gate
//   ScreenFiles     loading and saving configuration files
// The parameter set is the program's single record, passed in.
//
// GUI thread only.
#include "files/ConfigFileCheck.h"
#include "protocol/ControllerLink.h"
#include "ui/FormHost.h"
#include "view/ComPortChoice.h"
#include "view/LiveDisplays.h"
#include "view/MotorHandOver.h"
#include "view/ScreenAnswers.h"
#include "view/ScreenBoxes.h"
#include "view/ScreenCommands.h"
#include "view/ScreenEditor.h"
#include "view/ScreenFiles.h"
#include "view/ScreenLink.h"
#include "view/ScreenStatus.h"
#include "view/ScreenStore.h"
#include "view/ScreenUpgrade.h"
#include "view/TuningAids.h"

class QLabel;
class QPushButton;

#include <string>

namespace qav {

class IPrompts;
class IStatusLine;
class PlotWindow;

class CUARTView : public FormHost,
                  protected IFormEvents,
                  protected IControllerEvents,
                  protected IScreenLinkOwner
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLinkPeriod = ScreenLink::kTickPeriod;
    using enum ScreenPart;

    // `status` may be null (nothing is shown then).
    CUARTView(ControllerParams& params, IStatusLine* status, IPrompts& prompts, QWidget* parent = nullptr);
    // Closes the port, storing the COM list's index if FinishSession did
    // not run; the rest of the window-end work is FinishSession's.
    ~CUARTView() override;
    // The window-end work, while the window is still whole: stops the
    // link's notifications and timer, reads the boxes (a bad one shows its
    // message) and stores the COM list's index in the settings file. Once.
    void FinishSession();

    // Where the settings file lives (ending in "/"); empty: no settings file.
    // Set before OnInitialUpdate.
    void SetStartupDirectory(std::string directory) { startupDirectory_ = std::move(directory); }

    // The screen's initialisation; runs again on the new-document command.
    void OnInitialUpdate();

    ScreenValues& Values() { return boxes_.Values(); }
    ControllerParams& Params() { return params_; }
    ControllerLinkState& Link() { return engine_.State(); }
    CSerialLink& Serial() { return link_.Serial(); }
    int ComPortNumber() const { return comChoice_.PortNumber(); }
    // The port "Open COM Port" last opened (or tried to); a lost link is
    // reopened there, whatever the COM list shows meanwhile.
    int OpenedPortNumber() const { return link_.OpenedPortNumber(); }
    // True while the live displays (attitude, RC channels, accelerations,
    // mode bar, 3D display) show values of a link that is gone; they are
    // greyed then.
    bool LiveDisplaysStale() const { return live_.Stale(); }
    int ComListIndex() const { return comChoice_.Index(); }
    bool LinkTimerActive() const { return link_.TickActive(); }
    // The link and its tick, which tests drive by hand.
    ScreenLink& PortLink() { return link_; }

    // "Open COM Port": (re)opens the chosen port, starts the read-back and
    // the 20 ms link timer.
    void OnOpenComPort() { answers_.OpenPort(comChoice_.PortNumber()); }
    // Chooses the COM list entry of port `number` as the user would and
    // opens it; a port the list does not have is opened all the same (the
    // status line says why it did not open). False when it was not listed.
    bool ConnectTo(int number) { return answers_.ConnectTo(number); }
    // For the motor dialog and the firmware upgrade, which need the port:
    // closes it and stops the link timer; the link stays down until the
    // port is opened again.
    void TakeDownLink() { answers_.TakeDownLink(); }
    // "Motor Configuration": hands the port over to the motor dialog, runs it
    // modally, and leaves the controller link closed afterwards.
    void OnMotorConfiguration() { motor_.Run(); }
    // The program's motor parameter set, kept across openings of the dialog.
    MotorParams& MotorParameters() { return motor_.Params(); }

    // The screen values and their boxes (ScreenBoxes).
    bool ReadAllBoxes() { return boxes_.ReadAll(); }
    void ShowAllValues() { boxes_.ShowAll(); }
    void SyncSliders() { boxes_.SyncSliders(); }
    void ShowParameterSet(unsigned parts) { boxes_.ShowParameterSet(parts); }

    // The status line (ScreenStatus).
    void ShowStatusMessage(const QString& text) { status_.ShowMessage(text); }
    void SetStatusText(const QString& text) { status_.SetText(text); }
    void SetStatusDetails(const QString& details) { status_.SetDetails(details); }
    bool MessageGateOpen() const { return status_.GateOpen(); }
    void OpenMessageGate() { status_.SetGate(true); }
    void CloseMessageGate() { status_.SetGate(false); }

    // Store operations (ScreenStore).
    void StoreGains() { store_.Gains(); }
    void StoreLimitsAndRc() { store_.LimitsAndRc(); }
    void StoreServoCenters() { store_.ServoCenters(); }
    void StoreInitAngles() { store_.InitAngles(); }

    // Configuration files (ScreenFiles); the .ini commands are the main
    // window's keyboard shortcuts.
    void OnLoadIniCommand() { files_.LoadCommand(ConfigFileKind::Ini); }
    void OnSaveIniCommand() { files_.SaveCommand(ConfigFileKind::Ini); }
    void LoadCommand(ConfigFileKind kind) { files_.LoadCommand(kind); }
    void SaveCommand(ConfigFileKind kind) { files_.SaveCommand(kind); }
    void LoadConfigFile(const QString& path) { files_.LoadConfigFile(path); }
    bool SaveConfigFile(const QString& path) { return files_.SaveConfigFile(path); }
    // True once the parameter set holds real values: the controller's whole
    // set was read back, or a file was loaded. Until then the save commands
    // say there is nothing to save (NothingToSaveMessage) instead of
    // writing zeros.
    bool ValuesKnown() const { return valuesKnown_; }
    static QString NothingToSaveMessage() { return ScreenFiles::NothingToSaveMessage(); }

    // The controller's firmware upgrade (ScreenUpgrade).
    void OnOpenFirmware() { upgrade_.OnOpenFirmware(); }
    void OnStartUpgrade() { upgrade_.OnStart(); }
    void OnCancelUpgrade() { upgrade_.OnCancel(); }
    UpgradeDriver& Upgrade() { return upgrade_.Driver(); }

    // Tuning aids (TuningAids).
    void OpenPlotWindow() { tuning_.OpenPlotWindow(); }
    PlotWindow* Plots() const { return tuning_.Plots(); }
    QPushButton* PlotsButton() const { return tuning_.PlotsButton(); }
    bool HasUnflashedChanges() const { return tuning_.HasUnflashedChanges(); }
    QLabel* UnflashedIndicator() const { return tuning_.UnflashedIndicator(); }
    // Where a load keeps the set it replaces; empty: no backups.
    void SetBackupFolder(std::string folder) { files_.SetBackupFolder(std::move(folder)); }

    static QString IntParseMessage() { return ScreenBoxes::IntParseMessage(); }
    static QString FloatParseMessage() { return ScreenBoxes::FloatParseMessage(); }

protected:
    // IFormEvents
    void OnClicked(int id) override;
    void OnTextChanged(int id) override;
    void OnSelectionChanged(int id) override;
    void OnDropDown(int id) override;
    void OnSliderMoved(int id) override { editor_.OnSliderMoved(id); }
    void OnSliderReleased(int id) override { editor_.OnSliderReleased(id); }
    void OnEnterKey(int focusedId, bool keyDown, bool autoRepeat) override;

    // IControllerEvents: answers of the controller, after the tuning aids
    // saw them, to the screen's link part.
    void OnLinkEstablished() override { answers_.OnLinkEstablished(); }
    void OnMotorState(std::uint8_t state) override { answers_.OnMotorState(state); }
    void OnCommandResult(const ControllerResult& result, std::uint8_t motorState) override
    {
        answers_.OnCommandResult(result, motorState);
    }
    void OnFirmwareVersion(std::uint8_t tenths) override { answers_.OnFirmwareVersion(tenths); }
    void OnEchoDecoded(std::uint8_t type) override { answers_.OnEchoDecoded(type); }
    void OnTelemetry(const ControllerTelemetry& t) override { answers_.OnTelemetry(t); }
    void OnLinkLost() override { answers_.OnLinkLost(); }

    // IScreenLinkOwner
    void OnLinkTick() override;
    void OnLinkBytes(const std::uint8_t* bytes, std::uint32_t count) override
    {
        engine_.OnBytes(bytes, count);
    }
    bool LinkLost() const override;
    std::uint32_t FramesTaken() const override { return engine_.FramesDispatched(); }
    std::uint32_t EchoesHeard() const override { return engine_.Sent().Echoes(); }
    void OnBoardInBootLoader(int portNumber, bool waiting) override
    {
        answers_.OnBoardInBootLoader(portNumber, waiting);
    }

    // A box's text changed, by the user or by the program (not while the
    // screen shows its values).
    virtual void OnBoxChanged(int id) { editor_.OnBoxChanged(id); }
    // Enter in the focused box, `branch` chosen by its id.
    virtual void OnCommit(CommitBranch branch, int id) { editor_.OnCommit(branch, id); }

private:
    ControllerParams& params_;
    IPrompts& prompts_;
    bool valuesKnown_ = false;
    std::string startupDirectory_;
    bool sessionFinished_ = false;
    // Declared in the order they are built: each part gets what it needs of
    // those before it.
    TuningAids tuning_;
    ControllerLink engine_;
    ScreenLink link_;
    ComPortChoice comChoice_;
    ScreenStatus status_;
    ScreenBoxes boxes_;
    ScreenStore store_;
    LiveDisplays live_;
    ScreenEditor editor_;
    ScreenCommands commands_;
    ScreenAnswers answers_;
    ScreenUpgrade upgrade_;
    MotorHandOver motor_;
    ScreenFiles files_;
};

} // namespace qav
