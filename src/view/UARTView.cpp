#include "view/UARTView.h"

#include "files/Backups.h"
#include "files/ConfigDiff.h"
#include "files/SettingsFile.h"
#include "platform/PortMap.h"
#include "ui/Prompts.h"
#include "ui/Skin.h"
#include "view/ControlIds.h"
#include "view/EditTables.h"
#include "view/MainScreenTable.h"
#include "view/ParamTips.h"

namespace qav {
namespace {

// The hidden spin control beside each servo-centre box.
struct CentreSpin
{
    int spin;
    std::int16_t ControllerParams::*param;
};
constexpr CentreSpin kCentreSpins[] = {
    {idc::RollServoCenterSpin, &ControllerParams::ROLL_SERVO_CENTER},
    {idc::TiltServoCenterSpin, &ControllerParams::PITCH_SERVO_CENTER},
    {idc::PanServoCenterSpin, &ControllerParams::YAW_SERVO_CENTER},
};

void SetRangeOf(FormHost& host, int id, const ValueRange& range)
{
    host.SetRange(id, static_cast<int>(range.low), static_cast<int>(range.high));
}

} // namespace

CUARTView::CUARTView(ControllerParams& params, IStatusLine* status, IPrompts& prompts, QWidget* parent)
    : FormHost(MainScreenControls(), this, parent, kMainScreenContext), params_(params), prompts_(prompts),
      tuning_(*this, prompts, *this, engine_, params, valuesKnown_), engine_(params, tuning_), link_(*this),
      comChoice_(*this, idc::ComList, kSettingsComKey, kSettingsComNameKey), status_(status, engine_.State()),
      boxes_(*this, prompts, params), store_(boxes_, params), live_(*this, boxes_.Values(), engine_.State()),
      editor_(*this, boxes_, store_, params, engine_.State(), status_),
      commands_(*this, boxes_, store_, params, engine_.State(), status_, prompts),
      answers_(*this, engine_, link_, comChoice_, status_, live_, boxes_),
      upgrade_(*this, prompts, status_, comChoice_, answers_, link_),
      motor_(*this, prompts, status_, link_, answers_, startupDirectory_),
      files_(*this, prompts, params, engine_.State(), link_, tuning_, boxes_, status_, valuesKnown_,
             DefaultBackupFolder())
{
    engine_.SetTransport(&link_);
    boxes_.SetOnLiveRewritten([this] { live_.ForgetShownValues(); });
    boxes_.SetBeforeExchange([this] { live_.WriteOutScreenTexts(); });
    setFixedSize(kMainScreenWidth, kMainScreenHeight);
    for (int id : MainScreenCaptionIds())
        if (QWidget* caption = Control(id))
            caption->setProperty(kTransparentCaptionProperty, true);
    SetMainScreenParamTips(*this);
}

CUARTView::~CUARTView()
{
    link_.Detach();
    // Ended without a confirmed close: the COM choice is still kept, but no
    // box is read, since a message box would find its parent half gone.
    if (!sessionFinished_)
        comChoice_.Save(startupDirectory_);
}

void CUARTView::OnInitialUpdate()
{
    ShowAllValues();
    Enable(idc::CancelUpgrade, false);
    for (const edit::GainRow& g : edit::kGains) {
        SetSliderPos(g.slider, Values().Int(g.box));
        SetRangeOf(*this, g.slider, edit::Rules(g.param).range);
    }
    for (const CentreSpin& c : kCentreSpins)
        SetRangeOf(*this, c.spin, edit::Rules(c.param).range);
    for (int list = idc::RollServoType; list <= idc::PanControlMode; ++list)
        SetSelection(list, 0);
    Enable(idc::StartUpgrade, false);
    Enable(idc::LoadConfig, false);
    comChoice_.Init(startupDirectory_);
    live_.Init();
    SetChecked(idc::MotorOff, true);
}

void CUARTView::FinishSession()
{
    if (sessionFinished_)
        return;
    sessionFinished_ = true;
    // No serial event may reach the window while a message box is up.
    link_.Detach();
    if (!startupDirectory_.empty()) {
        ReadAllBoxes();
        comChoice_.Save(startupDirectory_);
    }
}

void CUARTView::OnLinkTick()
{
    engine_.Tick();
    live_.ShowAttitude();
}

bool CUARTView::LinkLost() const
{
    return engine_.State().watchdogCount > ControllerLink::kWatchdogLimit;
}

void CUARTView::OnClicked(int id)
{
    switch (id) {
    case idc::OpenComPort:
        OnOpenComPort();
        break;
    case idc::MotorOn:
    case idc::MotorOff:
    case idc::CalibrateSensors:
        commands_.OnCommandButton(id);
        break;
    case idc::WriteSettingsToFlash:
        commands_.OnWriteSettingsToFlash();
        break;
    case idc::RollMotorReverse:
    case idc::TiltMotorReverse:
    case idc::PanServoReverse:
        commands_.OnMotorReverse(id);
        break;
    case idc::LoadConfig:
        LoadCommand(ConfigFileKind::Bgsc);
        break;
    case idc::SaveConfig:
        SaveCommand(ConfigFileKind::Bgsc);
        break;
    case idc::MotorConfiguration:
        OnMotorConfiguration();
        break;
    case idc::OpenFirmware:
        OnOpenFirmware();
        break;
    case idc::StartUpgrade:
        OnStartUpgrade();
        break;
    case idc::CancelUpgrade:
        OnCancelUpgrade();
        break;
    default:
        break;
    }
}

void CUARTView::OnTextChanged(int id)
{
    if (boxes_.Showing())
        return;
    OnBoxChanged(id);
}

void CUARTView::OnSelectionChanged(int id)
{
    switch (id) {
    case idc::ComList:
        // The new port takes effect at the next "Open COM Port".
        comChoice_.TakeSelection();
        break;
    case idc::ReceiverType:
        commands_.OnReceiverTypeSelected();
        break;
    case idc::SensorModuleMount:
    case idc::DefaultMode:
        commands_.OnModeListSelected(id);
        break;
    default:
        break;
    }
}

void CUARTView::OnDropDown(int id)
{
    if (id == idc::ComList)
        comChoice_.Refill();
}

void CUARTView::OnEnterKey(int focusedId, bool keyDown, bool autoRepeat)
{
    if (!boxes_.TakeEnter(keyDown, autoRepeat))
        return;
    const CommitBranch branch = CommitBranchFor(focusedId);
    if (branch != CommitBranch::None)
        OnCommit(branch, focusedId);
}

} // namespace qav
