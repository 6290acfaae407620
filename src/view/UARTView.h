#pragma once
// The main configuration screen: its controls (MainScreenTable.h), the
// screen values behind its boxes and the mechanics every editing handler
// works through: read all boxes, show all values, SyncSliders, the status
// messages gated by the link, and the Enter key that commits the focused
// box. It holds the controller link state; the parameter set is the
// program's single record, passed in.
//
// GUI thread only.
#include "files/ConfigFileCheck.h"
#include "motor/MotorProtocol.h"
#include "protocol/ControllerLink.h"
#include "ui/FormHost.h"
#include "ui/Show3D.h"
#include "view/ComPortChoice.h"
#include "view/ScreenLink.h"
#include "view/ScreenValues.h"
#include "view/UpgradeDriver.h"

class QLabel;
class QPushButton;

#include <array>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace qav {

class IPrompts;
class IStatusLine;
class PlotWindow;
class UpgradeNotifyTarget;

// The two kinds of controller configuration file: ".bgsc" from the "Load
// Config" and "Save Config" buttons, ".ini" from Ctrl+O and Ctrl+S.
enum class ConfigFileKind { Bgsc, Ini };

// Which commit an Enter in a box runs; at most one matches, since only one
// control holds the focus.
enum class CommitBranch { None, Gain, AngleLimit, ServoCenter, RcSensitivity, InitAngle };
CommitBranch CommitBranchFor(int focusedId);

class CUARTView : public FormHost,
                  protected IFormEvents,
                  protected IControllerEvents,
                  protected IScreenLinkOwner,
                  protected IUpgradeOwner
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kLinkPeriod = ScreenLink::kTickPeriod;

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

    ScreenValues& Values() { return values_; }
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
    bool LiveDisplaysStale() const { return liveDisplaysStale_; }
    int ComListIndex() const { return comChoice_.Index(); }
    bool LinkTimerActive() const { return link_.TickActive(); }
    // The link and its tick, which tests drive by hand.
    ScreenLink& PortLink() { return link_; }

    // "Open COM Port": (re)opens the chosen port, starts the read-back and
    // the 20 ms link timer.
    void OnOpenComPort();
    // Chooses the COM list entry of port `number` as the user would and
    // opens it; a port the list does not have is opened all the same (the
    // status line says why it did not open). False when it was not listed.
    bool ConnectTo(int number);
    // For the motor dialog and the firmware upgrade, which need the port:
    // closes it and stops the link timer; the link stays down until the
    // port is opened again.
    void TakeDownLink();
    // "Motor Configuration": hands the port over to the motor dialog, runs it
    // modally, and leaves the controller link closed afterwards.
    void OnMotorConfiguration();
    // The program's motor parameter set, kept across openings of the dialog.
    MotorParams& MotorParameters() { return motorParams_; }

    // Parses every value box into its screen value, in exchange order. At
    // the first box that does not parse: shows the parse message, puts the
    // focus into that box with its text selected and returns false; the
    // values of that box and the ones after it are kept.
    bool ReadAllBoxes();
    // Writes every screen value into its box; a box already showing the
    // text is left alone (its caret stays). Change reactions are suppressed
    // meanwhile.
    void ShowAllValues();
    // Moves the twelve gain sliders to their boxes' values, quietly.
    void SyncSliders();

    // Parts of the parameter set on screen: what one quarter of the echo
    // brings, and what only a file brings.
    enum ScreenPart : unsigned {
        kRollTiltGains = 1u << 0,
        kServoCentres = 1u << 1,
        kRollTiltDirections = 1u << 2,
        kLimitsAndReceiver = 1u << 3, // limits, RC sensitivities, mount, receiver
        kPanGainsAndAngles = 1u << 4, // pan gains, initial angles, default mode
        kPanDirection = 1u << 5,
        kServoTypesAndModes = 1u << 6,
        kAllParts = (1u << 7) - 1,
    };
    // Puts the named parts of the parameter set into the boxes, sliders,
    // check boxes and lists.
    void ShowParameterSet(unsigned parts);

    // Shown only while the link is established and the message gate is open.
    void ShowStatusMessage(const QString& text);
    // Always shown.
    void SetStatusText(const QString& text);
    // The full story of the message shown last (its tooltip).
    void SetStatusDetails(const QString& details);
    bool MessageGateOpen() const { return messageGateOpen_; }
    void OpenMessageGate() { messageGateOpen_ = true; }
    void CloseMessageGate() { messageGateOpen_ = false; }

    // Store operations: copy screen values into the parameter set. They
    // never send anything; an upload is requested by the caller.
    // Reads all boxes, then copies the twelve gains (low 16 bits).
    void StoreGains();
    // Reads all boxes, then copies the four angle limits and the three RC
    // sensitivities (low byte); no range check, no cross-check.
    void StoreLimitsAndRc();
    // Copies the three servo centres (16 bits) without reading the boxes.
    void StoreServoCenters();
    // Reads all boxes, then sets INIT_PITCH and INIT_ROLL to the initial
    // angles in tenths of a degree, rounded half away from zero.
    void StoreInitAngles();

    // Configuration-file commands of the main window's keyboard shortcuts.
    void OnLoadIniCommand() { LoadCommand(ConfigFileKind::Ini); }
    void OnSaveIniCommand() { SaveCommand(ConfigFileKind::Ini); }
    // The file dialog, the name checks, then LoadConfigFile or
    // SaveConfigFile.
    void LoadCommand(ConfigFileKind kind);
    void SaveCommand(ConfigFileKind kind);
    // Reads a controller configuration file into the parameter set, shows it
    // on the screen and starts the upload. A file that exists but cannot be
    // read is reported in a message box and changes nothing. While the
    // controller is connected, what the file would change is shown first
    // (IPrompts::ReviewLoad) and nothing changes unless it is applied; a
    // file that changes nothing says so and sends nothing.
    void LoadConfigFile(const QString& path);
    // Writes the parameter set (not the boxes) to `path`; a failure is
    // reported in a message box. True when written.
    bool SaveConfigFile(const QString& path);
    // True once the parameter set holds real values: the controller's whole
    // set was read back, or a file was loaded. Until then the save commands
    // say there is nothing to save (NothingToSaveMessage) instead of
    // writing zeros.
    bool ValuesKnown() const { return valuesKnown_; }
    static QString NothingToSaveMessage();

    // The controller's firmware upgrade (UARTViewUpgrade.cpp): "Open
    // Firmware", "Start Upgrade", "Cancel Upgrade".
    void OnOpenFirmware();
    void OnStartUpgrade();
    void OnCancelUpgrade();
    UpgradeDriver& Upgrade() { return upgrade_; }

    // Tuning aids beside the specified controls: the live plot window
    // (button "Live Plots", Ctrl+P) and the marker of uploads the controller
    // holds in RAM only.
    void OpenPlotWindow();
    PlotWindow* Plots() const { return plots_; }
    QPushButton* PlotsButton() const { return plotsButton_; }
    // Set by an acknowledged upload, cleared by a successful flash write and
    // when the port is opened anew.
    bool HasUnflashedChanges() const { return unflashedChanges_; }
    QLabel* UnflashedIndicator() const { return unflashedIndicator_; }
    // Where a load keeps the set it replaces; empty: no backups.
    void SetBackupFolder(std::string folder) { backupFolder_ = std::move(folder); }

    static QString IntParseMessage() { return QStringLiteral("请键入一个整数。"); }
    static QString FloatParseMessage() { return QStringLiteral("请键入一个数。"); }

protected:
    // IFormEvents
    void OnClicked(int id) override;
    void OnTextChanged(int id) override;
    void OnSelectionChanged(int id) override;
    void OnDropDown(int id) override;
    void OnSliderMoved(int id) override;
    void OnSliderReleased(int id) override;
    void OnEnterKey(int focusedId, bool keyDown, bool autoRepeat) override;

    // IControllerEvents: answers of the controller, mapped to the controls.
    void OnLinkEstablished() override;
    void OnMotorState(std::uint8_t state) override;
    void OnCommandResult(const ControllerResult& result, std::uint8_t motorState) override;
    void OnFirmwareVersion(std::uint8_t tenths) override;
    void OnEchoDecoded(std::uint8_t type) override;
    void OnTelemetry(const ControllerTelemetry& t) override;
    void OnLinkLost() override;

    // IScreenLinkOwner
    void OnLinkTick() override;
    void OnLinkBytes(const std::uint8_t* bytes, std::uint32_t count) override;
    bool LinkLost() const override;
    std::uint32_t FramesTaken() const override { return engine_.FramesDispatched(); }
    std::uint32_t EchoesHeard() const override { return engine_.Sent().Echoes(); }
    // The status line names a controller left in its boot loader.
    void OnBoardInBootLoader(int portNumber, bool waiting) override;

    // IUpgradeOwner
    int UpgradePortNumber() override { return comChoice_.PortNumber(); }
    bool HeardBoardOn(int number) override
    {
        return heardBoardOn_.count(number) > 0 || link_.BootLoaderWaitsOn(number);
    }
    void ReleaseLinkForUpgrade() override { TakeDownLink(); }
    void ShowUpgradeText(std::string_view text) override;
    void SetUpgradeProgress(int position) override;
    void EnableUpgradeStart(bool enable) override;
    void EnableUpgradeCancel(bool enable) override;
    void SetMessageGate(bool open) override { messageGateOpen_ = open; }

    // A box's text changed, by the user or by the program (not while the
    // screen shows its values).
    virtual void OnBoxChanged(int id);
    // Enter in the focused box, `branch` chosen by its id.
    virtual void OnCommit(CommitBranch branch, int id);

private:
    // Hands every answer to the screen first, then to the tuning aids. It
    // stands between the engine and the screen, so it forwards every event
    // of IControllerEvents: a new event needs its line here.
    class TuningTee final : public IControllerEvents
    {
    public:
        explicit TuningTee(CUARTView& view) : view_(view) {}
        void OnPortOpened() override;
        void OnLinkEstablished() override
        {
            view_.heardBoardOn_.insert(view_.link_.Serial().PortNumber());
            view_.OnLinkEstablished();
        }
        void OnMotorState(std::uint8_t state) override;
        void OnCommandResult(const ControllerResult& result, std::uint8_t motorState) override;
        void OnFirmwareVersion(std::uint8_t tenths) override;
        void OnEchoDecoded(std::uint8_t type) override;
        void OnUploadAcknowledged(std::uint8_t type) override;
        void OnTelemetry(const ControllerTelemetry& t) override;
        void OnLinkLost() override { view_.OnLinkLost(); }

    private:
        CUARTView& view_;
        unsigned echoQuarters_ = 0; // of a read-back, one bit per type 0x81..0x84
    };

    void InitTuningAids();
    void SetUnflashedChanges(bool on);
    // The mark follows what the controller holds: shown while its set
    // differs from the set it keeps in flash (as first read since start, or
    // as last written there), kept while that is not known yet.
    // `uploaded`: an upload quarter was just acknowledged.
    void UpdateUnflashedChanges(bool uploaded);
    // The controller's set as it holds it, or the parameter set while a
    // read-back has not yet brought all of it.
    const ControllerParams& BoardSet() const;
    void ShowParseError(int box, const QString& message);

    // Editing handlers, by the kind of control.
    void OnGainBoxChanged(int box);
    void OnAngleLimitChanged(int box);
    void OnRcSensitivityChanged(int box);
    void OnInitAngleChanged(int box);
    void OnServoCenterChanged(int box);
    void CommitGains();
    void CommitAngleLimit(int box);
    void CommitRcSensitivity(int box);
    void CommitInitAngle(int box);
    void CommitServoCenter(int box);
    // The angle limit in `box` as the controller will hold it.
    std::int32_t HeldLimit(int box) const;
    // The minimum's box of the maximum in `maxBox`.
    static int MinimumBoxOf(int maxBox);
    void OnMotorReverse(int checkBox);
    void OnCommandButton(int button);
    void OnWriteSettingsToFlash();
    void OnReceiverTypeSelected();
    void OnModeListSelected(int list);
    void ReportShortFileName(ConfigFileKind kind);
    void InitLink();
    void InitUpgrade();
    void OpenPort(int number);
    void ShowAttitude();
    void SetLiveText(int id, const QString& text);
    // A telemetry channel's value into its live box and its screen value.
    void ShowChannel(std::size_t channel, double value);
    void SetLiveDisplaysStale(bool stale);
    static bool IsLiveDisplay(int id);
    // The next answer shows every live value, also those equal to the last.
    void ForgetShownLiveValues();
    // Selects the item of a mode list ("Sensor Module Mount", "Default
    // Mode") that stands for its parameter's value; other values leave it.
    void ShowModeList(int list);
    void SetMotorButtons(int checked);

    ControllerParams& params_;
    MotorParams motorParams_;
    bool motorValuesKnown_ = false; // motorParams_ came from a board or a file
    std::optional<MotorParams> motorFlashSet_; // what the motor board keeps in flash, as far as known
    // The motor receiver's phase outlives each opening of the dialog.
    FrameReceiver motorReceiver_{kMotorHeader0, kMotorHeader1};
    IStatusLine* status_;
    IPrompts& prompts_;
    ScreenValues values_;
    TuningTee tee_{*this};
    ControllerLink engine_;
    ScreenLink link_;
    ComPortChoice comChoice_;
    bool sessionFinished_ = false;
    QAVShow3DLibExp show3d_;
    UpgradeDriver upgrade_;
    UpgradeNotifyTarget* upgradeTarget_ = nullptr; // a child; delivers the library's notifications
    std::set<int> heardBoardOn_;                    // ports where the link heard the controller
    std::string startupDirectory_;
    bool liveDisplaysStale_ = false;
    // The attitude last shown (roll, tilt, pan): a tick that brings no new
    // one leaves the displays as they are.
    std::optional<std::array<float, 3>> attitudeShown_;
    std::optional<ControllerTelemetry> telemetryShown_; // the answer last shown
    bool messageGateOpen_ = false;
    // Each box's text and value when it was last read, so that a reading
    // parses only the boxes that changed since.
    struct LastRead
    {
        QString text;
        std::int32_t i;
        float f;
    };
    QHash<int, LastRead> lastRead_;
    int showingValues_ = 0;       // nesting depth of ShowAllValues
    bool enterDownSeen_ = false;  // the Enter now released was pressed on this screen
    PlotWindow* plots_ = nullptr; // a window of its own, child of the screen
    QPushButton* plotsButton_ = nullptr;
    QLabel* unflashedIndicator_ = nullptr;
    bool unflashedChanges_ = false;
    // What the controller keeps in flash, as far as this program knows:
    // the set first read back since start, then the set a flash write
    // stored.
    std::optional<ControllerParams> flashSet_;
    bool valuesKnown_ = false;
    std::optional<std::uint8_t> motorState_, firmware_; // as last reported, for the plots
    std::string backupFolder_;
};

} // namespace qav
