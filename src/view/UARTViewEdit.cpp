// Editing the controller's configuration on the main screen: the gain
// sliders and boxes, angle limits, RC sensitivities, initial angles, motor
// directions, servo centres, the one-shot commands and the three lists.
//
// Typing clamps and stores at once; Enter, a slider release, a click or a
// list choice requests the upload. Nothing is sent here: the next link-timer
// tick carries what changed. Every variation is a row of view/EditTables.h.
#include "ui/Prompts.h"
#include "view/EditTables.h"
#include "view/UARTView.h"

#include <cmath>
#include <limits>

namespace qav {
namespace {

using namespace edit;

QString Msg(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// What a box holds while a number is being typed: nothing to read yet.
bool InBetween(const QString& text)
{
    return text.isEmpty() || text == QLatin1String("-");
}

// Degrees to tenths, rounded half away from zero. Computed in double, so
// that 12.35 (held as a float a hair above) gives 124 and -0.05 gives -1;
// saturated, since an angle typed into the other box may be anything a
// float can hold.
std::int32_t Tenths(float degrees)
{
    const double scaled = static_cast<double>(degrees) * 10.0;
    const double rounded = std::trunc(scaled >= 0 ? scaled + 0.5 : scaled - 0.5);
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(rounded, kLow, kHigh));
}

const QString kGainsUploaded = QStringLiteral("$INKblue$Gains uploaded successfully!");

} // namespace

// ---- store operations --------------------------------------------------------

void CUARTView::StoreGains()
{
    ReadAllBoxes();
    for (const GainRow& g : kGains)
        params_.*g.param = static_cast<std::uint16_t>(values_.Int(g.box));
}

void CUARTView::StoreLimitsAndRc()
{
    ReadAllBoxes();
    for (const LimitRow& l : kLimits)
        params_.*l.param = values_.Int(l.box);
    for (const auto& rc : kRcSensitivities)
        params_.*rc.param = static_cast<std::uint8_t>(values_.Int(rc.box));
}

void CUARTView::StoreServoCenters()
{
    for (const auto& c : kServoCenters)
        params_.*c.param = static_cast<std::int16_t>(values_.Int(c.box));
}

void CUARTView::StoreInitAngles()
{
    ReadAllBoxes();
    for (const InitAngleRow& a : kInitAngles)
        params_.*a.param = Tenths(values_.Float(a.box));
}

// ---- routing ---------------------------------------------------------------

void CUARTView::OnBoxChanged(int id)
{
    if (FindRow(kGains, id, &GainRow::box))
        OnGainBoxChanged(id);
    else if (FindRow(kLimits, id, &LimitRow::box))
        OnAngleLimitChanged(id);
    else if (FindRow(kRcSensitivities, id, &BoxRow<std::uint8_t>::box))
        OnRcSensitivityChanged(id);
    else if (FindRow(kInitAngles, id, &InitAngleRow::box))
        OnInitAngleChanged(id);
    else if (FindRow(kServoCenters, id, &BoxRow<std::int16_t>::box))
        OnServoCenterChanged(id);
}

void CUARTView::OnCommit(CommitBranch branch, int id)
{
    switch (branch) {
    case CommitBranch::Gain:
        CommitGains();
        break;
    case CommitBranch::AngleLimit:
        CommitAngleLimit(id);
        break;
    case CommitBranch::ServoCenter:
        CommitServoCenter(id);
        break;
    case CommitBranch::RcSensitivity:
        CommitRcSensitivity(id);
        break;
    case CommitBranch::InitAngle:
        CommitInitAngle(id);
        break;
    case CommitBranch::None:
        break;
    }
}

// ---- gains -------------------------------------------------------------------

void CUARTView::OnSliderMoved(int id)
{
    const GainRow* g = FindRow(kGains, id, &GainRow::slider);
    if (!g)
        return;
    // The parameter set keeps the old gain until the slider is released.
    values_.Int(g->box) = SliderPos(g->slider);
    ShowAllValues();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(Msg(g->moved));
}

void CUARTView::OnSliderReleased(int id)
{
    const GainRow* g = FindRow(kGains, id, &GainRow::slider);
    if (!g)
        return;
    params_.*g->param = static_cast<std::uint16_t>(values_.Int(g->box));
    StoreGains();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(kGainsUploaded);
}

void CUARTView::OnGainBoxChanged(int box)
{
    const GainRow* g = FindRow(kGains, box, &GainRow::box);
    ShowStatusMessage(Msg(g->prompt));
    if (InBetween(Text(box)))
        return;
    ReadAllBoxes();
    std::int32_t& value = values_.Int(box);
    value = ClampInto(Rules(g->param).range, value);
    params_.*g->param = static_cast<std::uint16_t>(value);
    ShowAllValues();
    SetSliderPos(g->slider, value);
}

void CUARTView::CommitGains()
{
    // No clamp: typing already did, and a gain the controller reported out of
    // range goes back as it came.
    ReadAllBoxes();
    SyncSliders();
    StoreGains();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(kGainsUploaded);
}

// ---- angle limits ------------------------------------------------------------

void CUARTView::OnAngleLimitChanged(int box)
{
    const LimitRow* l = FindRow(kLimits, box, &LimitRow::box);
    if (InBetween(Text(box)))
        return;
    ReadAllBoxes();
    std::int32_t& value = values_.Int(box);
    value = ClampInto(Rules(l->param).typing, value);
    ShowAllValues();
    params_.*l->param = value;
    ShowStatusMessage(Msg(l->prompt));
}

void CUARTView::CommitAngleLimit(int box)
{
    ReadAllBoxes();
    // The limits are compared as the controller will hold them: 1 and 0
    // both arrive as 0, which leaves the gimbal no room.
    const CrossCheckRow* crossed = nullptr;
    for (const CrossCheckRow& c : kCrossChecks) {
        if (HeldLimit(c.maxBox) <= HeldLimit(MinimumBoxOf(c.maxBox))) {
            crossed = &c;
            break;
        }
    }
    if (crossed) {
        ShowStatusMessage(Msg(crossed->failure));
    } else {
        // What is uploaded is what the boxes show: 45 becomes 44, the value
        // the controller holds and reports back.
        for (const LimitRow& l : kLimits)
            values_.Int(l.box) = HeldLimit(l.box);
        ShowAllValues();
        StoreLimitsAndRc();
        Link().SelectFrameType(kTypeGains);
        ShowStatusMessage(QStringLiteral("$INKblue$Angle limitations uploaded successfully!"));
    }
    // The focused box is brought into its range whatever the cross-check
    // said; only a value from the controller or a file can be outside it.
    const LimitRow* l = FindRow(kLimits, box, &LimitRow::box);
    const ValueRange range = Rules(l->param).range;
    std::int32_t& value = values_.Int(box);
    if (!range.Contains(value))
        ShowStatusMessage(Msg(l->outOfRange));
    value = ClampInto(range, value);
    ShowAllValues();
}

std::int32_t CUARTView::HeldLimit(int box) const
{
    const LimitRow* l = FindRow(kLimits, box, &LimitRow::box);
    return static_cast<std::int32_t>(HeldValue(values_.Int(box), ControllerWireForm(Rules(l->param)).step));
}

int CUARTView::MinimumBoxOf(int maxBox)
{
    const ControllerParamRow& max = Rules(FindRow(kLimits, maxBox, &LimitRow::box)->param);
    const ParamMember<P> min = FindControllerParam(max.above)->member;
    for (const LimitRow& l : kLimits)
        if (ParamMember<P>(l.param) == min)
            return l.box;
    return maxBox;
}

// ---- RC sensitivity ----------------------------------------------------------

void CUARTView::OnRcSensitivityChanged(int box)
{
    const auto* rc = FindRow(kRcSensitivities, box, &BoxRow<std::uint8_t>::box);
    ShowStatusMessage(Msg(rc->prompt));
    if (InBetween(Text(box)))
        return;
    ReadAllBoxes();
    std::int32_t& value = values_.Int(box);
    value = ClampInto(Rules(rc->param).range, value);
    params_.*rc->param = static_cast<std::uint8_t>(value);
    ShowAllValues();
}

void CUARTView::CommitRcSensitivity(int box)
{
    const auto* rc = FindRow(kRcSensitivities, box, &BoxRow<std::uint8_t>::box);
    ReadAllBoxes();
    values_.Int(box) = ClampInto(Rules(rc->param).range, values_.Int(box));
    ShowAllValues();
    // Stores the angle limits too, without their cross-check.
    StoreLimitsAndRc();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(Msg(rc->confirmation));
}

// ---- initial angles ------------------------------------------------------------

void CUARTView::OnInitAngleChanged(int box)
{
    // Nothing is read or stored before Enter.
    ShowStatusMessage(Msg(FindRow(kInitAngles, box, &InitAngleRow::box)->prompt));
}

void CUARTView::CommitInitAngle(int box)
{
    const InitAngleRow* a = FindRow(kInitAngles, box, &InitAngleRow::box);
    ReadAllBoxes();
    const ControllerParamRow& rules = Rules(a->param);
    float& degrees = values_.Float(box);
    degrees = std::clamp(degrees, static_cast<float>(rules.range.low) / static_cast<float>(rules.scale),
                         static_cast<float>(rules.range.high) / static_cast<float>(rules.scale));
    ShowAllValues();
    StoreInitAngles();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(Msg(a->confirmation));
}

// ---- servo centres (hidden) ------------------------------------------------------

void CUARTView::OnServoCenterChanged(int box)
{
    const auto* c = FindRow(kServoCenters, box, &BoxRow<std::int16_t>::box);
    if (InBetween(Text(box)))
        return;
    ReadAllBoxes();
    std::int32_t& value = values_.Int(box);
    value = ClampInto(Rules(c->param).range, value);
    ShowAllValues();
    params_.*c->param = static_cast<std::int16_t>(value);
    ShowStatusMessage(Msg(c->prompt));
}

void CUARTView::CommitServoCenter(int box)
{
    const auto* c = FindRow(kServoCenters, box, &BoxRow<std::int16_t>::box);
    ReadAllBoxes();
    values_.Int(box) = ClampInto(Rules(c->param).range, values_.Int(box));
    ShowAllValues();
    StoreServoCenters();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(Msg(c->confirmation));
}

// ---- motor direction ------------------------------------------------------------

void CUARTView::OnMotorReverse(int checkBox)
{
    const DirectionRow* d = FindRow(kDirections, checkBox, &DirectionRow::checkBox);
    // The box has already toggled when the click arrives.
    const bool reversed = Checked(checkBox);
    params_.*d->param = reversed ? kReversed : kNormal;
    ShowStatusMessage(Msg(reversed ? d->reversed : d->normal));
    StoreServoCenters();
    Link().SelectFrameType(kTypeGains);
}

// ---- one-shot commands -------------------------------------------------------------

void CUARTView::OnCommandButton(int button)
{
    const CommandRow* c = FindRow(kCommands, button, &CommandRow::button);
    // The code rides in every frame until the controller reports its result.
    Link().commandCode = c->code;
    Link().SelectFrameType(kTypePoll);
    ShowStatusMessage(Msg(c->message));
}

void CUARTView::OnWriteSettingsToFlash()
{
    // The write itself follows the upload: the acknowledgement of its last
    // frame issues the flash command while this flag is set.
    Link().flashWritePending = true;
    ReadAllBoxes();
    SyncSliders();
    StoreGains();
    StoreServoCenters();
    StoreLimitsAndRc();
    Link().SelectFrameType(kTypeGains);
    ShowStatusMessage(QStringLiteral("$INKgreen$Writting setting to flash..."));
}

// ---- lists -------------------------------------------------------------------------

void CUARTView::OnReceiverTypeSelected()
{
    const int index = Selection(kReceiverList.list);
    if (index < 0)
        return;
    std::uint8_t& type = params_.*kReceiverList.param;
    const std::uint8_t before = type;
    type = static_cast<std::uint8_t>(ItemValue(kReceiverList.param, index));
    Link().SelectFrameType(kTypeGains);
    if (type == before)
        return;
    // The link timer keeps sending while the notice is open.
    prompts_.ReceiverTypeChanged(window());
    ShowStatusMessage(QStringLiteral("$INKblue$Receiver type uploaded successfully!"));
}

void CUARTView::OnModeListSelected(int list)
{
    const ModeListRow* m = FindRow(kModeLists, list, &ModeListRow::list);
    const std::span<const ParamChoice> items = Rules(m->param).choices;
    const int index = Selection(list);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return;
    const auto i = static_cast<std::size_t>(index);
    params_.*m->param = static_cast<std::uint8_t>(items[i].value);
    ShowStatusMessage(Msg(m->messages[i]));
    Link().SelectFrameType(kTypeGains);
}

} // namespace qav
