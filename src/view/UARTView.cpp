#include "view/UARTView.h"

#include "files/SettingsFile.h"
#include "platform/BoxParse.h"
#include "ui/ImageBar.h"
#include "ui/PostedNotify.h"
#include "ui/Prompts.h"
#include "ui/Skin.h"
#include "ui/StatusLine.h"
#include "view/ControlIds.h"
#include "view/EditTables.h"
#include "view/MainScreenTable.h"
#include "view/ParamTips.h"

#include <algorithm>
#include <span>

namespace qav {
namespace {

std::u16string_view Utf16(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())};
}

constexpr int kRcModeBarMax = 200;

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

// Every box row of the edit tables commits on Enter, so a row added there
// cannot miss its commit.
CommitBranch CommitBranchFor(int id)
{
    using namespace edit;
    if (FindRow(kGains, id, &GainRow::box))
        return CommitBranch::Gain;
    if (FindRow(kLimits, id, &LimitRow::box))
        return CommitBranch::AngleLimit;
    if (FindRow(kServoCenters, id, &BoxRow<std::int16_t>::box))
        return CommitBranch::ServoCenter;
    if (FindRow(kRcSensitivities, id, &BoxRow<std::uint8_t>::box))
        return CommitBranch::RcSensitivity;
    if (FindRow(kInitAngles, id, &InitAngleRow::box))
        return CommitBranch::InitAngle;
    return CommitBranch::None;
}

CUARTView::CUARTView(ControllerParams& params, IStatusLine* status, IPrompts& prompts, QWidget* parent)
    : FormHost(MainScreenControls(), this, parent), params_(params), status_(status), prompts_(prompts),
      engine_(params, tee_), link_(*this),
      comChoice_(*this, idc::ComList, kSettingsComKey, kSettingsComNameKey),
      upgrade_(*this, UpgradeOwnerKind::MainScreen, BoardId::Controller)
{
    InitLink();
    InitUpgrade();
    InitTuningAids();
    setFixedSize(kMainScreenWidth, kMainScreenHeight);
    for (int id : MainScreenCaptionIds())
        if (QWidget* caption = Control(id))
            caption->setProperty(kTransparentCaptionProperty, true);
    SetMainScreenParamTips(*this);
}

void CUARTView::OnInitialUpdate()
{
    ShowAllValues();
    Enable(idc::CancelUpgrade, false);
    for (const edit::GainRow& g : edit::kGains) {
        SetSliderPos(g.slider, values_.Int(g.box));
        SetRangeOf(*this, g.slider, edit::Rules(g.param).range);
    }
    for (const CentreSpin& c : kCentreSpins)
        SetRangeOf(*this, c.spin, edit::Rules(c.param).range);
    for (int list = idc::RollServoType; list <= idc::PanControlMode; ++list)
        SetSelection(list, 0);
    Enable(idc::StartUpgrade, false);
    Enable(idc::LoadConfig, false);
    comChoice_.Init(startupDirectory_);
    show3d_.Init(Control(idc::AttitudeArea), 0, 0.8);
    SetChecked(idc::MotorOff, true);
    if (auto* bar = qobject_cast<CImageBar*>(Control(idc::RcModeBar)))
        bar->SetRange(0, kRcModeBarMax);
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

bool CUARTView::ReadAllBoxes()
{
    for (const ExchangeEntry& entry : kExchangeOrder) {
        const QString text = Text(entry.box);
        // A box whose text and value are those of its last reading would
        // read as the same value again: only changed boxes are parsed.
        const auto last = lastRead_.constFind(entry.box);
        if (last != lastRead_.cend() && last->text == text) {
            const bool same = entry.kind == ValueKind::Int     ? values_.Int(entry.box) == last->i
                              : entry.kind == ValueKind::Float ? values_.Float(entry.box) == last->f
                                                               : values_.Text(entry.box) == text;
            if (same)
                continue;
        }
        LastRead read{text, 0, 0.0f};
        switch (entry.kind) {
        case ValueKind::Int:
            if (const auto v = ParseBoxInt(Utf16(text))) {
                values_.Int(entry.box) = read.i = *v;
            } else {
                ShowParseError(entry.box, IntParseMessage());
                return false;
            }
            break;
        case ValueKind::Float:
            if (const auto v = ParseBoxFloat(Utf16(text))) {
                values_.Float(entry.box) = read.f = *v;
            } else {
                ShowParseError(entry.box, FloatParseMessage());
                return false;
            }
            break;
        case ValueKind::Text:
            values_.Text(entry.box) = text;
            break;
        }
        lastRead_.insert(entry.box, read);
    }
    return true;
}

void CUARTView::ShowParseError(int box, const QString& message)
{
    // The message box takes the key release of this Enter press, so the
    // release must not commit again when it lands in the box afterwards.
    enterDownSeen_ = false;
    prompts_.Message(window(), AppTitle(), message, MessageButtons::Ok);
    Focus(box, true);
}

void CUARTView::ShowAllValues()
{
    ++showingValues_;
    bool liveRewritten = false;
    for (const ExchangeEntry& entry : kExchangeOrder) {
        QString text;
        switch (entry.kind) {
        case ValueKind::Int:
            text = QString::fromStdString(FormatBoxInt(values_.Int(entry.box)));
            break;
        case ValueKind::Float:
            text = QString::fromStdString(FormatBoxFloat(values_.Float(entry.box)));
            break;
        case ValueKind::Text:
            text = values_.Text(entry.box);
            break;
        }
        if (Text(entry.box) != text) {
            SetText(entry.box, text);
            liveRewritten = liveRewritten || IsLiveDisplay(entry.box);
        }
    }
    --showingValues_;
    // A live value put back from an old screen value is shown anew with the
    // next answer, even when that answer brings the value last shown.
    if (liveRewritten)
        ForgetShownLiveValues();
}

void CUARTView::SyncSliders()
{
    for (const SliderBox& pair : kGainSliders)
        SetSliderPos(pair.slider, values_.Int(pair.box));
}

void CUARTView::ShowParameterSet(unsigned parts)
{
    using namespace edit;
    const ControllerParams& p = params_;
    // The first eight gain rows are roll and tilt, the last four pan.
    for (const GainRow& g : std::span(kGains).first<8>())
        if (parts & kRollTiltGains)
            values_.Int(g.box) = p.*g.param;
    for (const GainRow& g : std::span(kGains).last<4>())
        if (parts & kPanGainsAndAngles)
            values_.Int(g.box) = p.*g.param;
    if (parts & kServoCentres)
        for (const auto& c : kServoCenters)
            values_.Int(c.box) = p.*c.param;
    for (const DirectionRow& d : kDirections)
        if (parts & (d.param == &P::YAW_SERVO_REV ? kPanDirection : kRollTiltDirections))
            SetChecked(d.checkBox, p.*d.param == kReversed);

    if (parts & kServoTypesAndModes) {
        for (const ServoListRow& s : kServoLists) {
            const bool speedServo = p.*s.servoType > kLastPositionServo;
            if (speedServo)
                SetSelection(s.modeList, 0);
            Enable(s.modeList, !speedServo);
        }
        for (const ServoListRow& s : kServoLists)
            SetSelection(s.typeList, ItemOf(s.servoType, p.*s.servoType));
    }

    if (parts & kPanGainsAndAngles) {
        ShowModeList(idc::DefaultMode);
        for (const InitAngleRow& a : kInitAngles)
            values_.Float(a.box) = static_cast<float>(p.*a.param * 0.1); // tenths of a degree
    }
    if (parts & kLimitsAndReceiver) {
        for (const LimitRow& l : kLimits)
            values_.Int(l.box) = p.*l.param;
        for (const auto& rc : kRcSensitivities)
            values_.Int(rc.box) = p.*rc.param;
    }
    if (parts & kServoTypesAndModes) {
        for (const ServoListRow& s : kServoLists) {
            if (const int item = ItemOf(s.controlMode, p.*s.controlMode); item >= 0)
                SetSelection(s.modeList, item);
        }
    }
    if (parts & kLimitsAndReceiver) {
        ShowModeList(idc::SensorModuleMount);
        SetSelection(edit::kReceiverList.list,
                     edit::ItemOf(edit::kReceiverList.param, p.*edit::kReceiverList.param)); // none for 0
    }
    ShowAllValues();
    if (parts & kRollTiltGains)
        SyncSliders();
}

void CUARTView::ShowStatusMessage(const QString& text)
{
    if (!Link().linkEstablished || !messageGateOpen_)
        return;
    SetStatusText(QString());
    SetStatusText(text);
}

void CUARTView::SetStatusText(const QString& text)
{
    if (status_)
        status_->SetStatusText(text);
}

void CUARTView::SetStatusDetails(const QString& details)
{
    if (status_)
        status_->SetStatusDetails(details);
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
        OnCommandButton(id);
        break;
    case idc::WriteSettingsToFlash:
        OnWriteSettingsToFlash();
        break;
    case idc::RollMotorReverse:
    case idc::TiltMotorReverse:
    case idc::PanServoReverse:
        OnMotorReverse(id);
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
    if (showingValues_ > 0)
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
        OnReceiverTypeSelected();
        break;
    case idc::SensorModuleMount:
    case idc::DefaultMode:
        OnModeListSelected(id);
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
    if (keyDown) {
        enterDownSeen_ = true;
    } else {
        // Held keys repeat their presses; only the final release counts, and
        // only for a press this screen saw.
        if (autoRepeat || !enterDownSeen_)
            return;
        enterDownSeen_ = false;
    }
    const CommitBranch branch = CommitBranchFor(focusedId);
    if (branch != CommitBranch::None)
        OnCommit(branch, focusedId);
}

} // namespace qav
