#include "view/ScreenEditor.h"

#include "ui/FormHost.h"
#include "view/EditTables.h"
#include "view/ScreenBoxes.h"
#include "view/ScreenStatus.h"
#include "view/ScreenStore.h"

#include <QCoreApplication>

namespace qav {
namespace {

using namespace edit;

// What a box holds while a number is being typed: nothing to read yet.
bool InBetween(const QString& text)
{
    return text.isEmpty() || text == QLatin1String("-");
}

// Made when shown, so that the translation installed then applies.
QString GainsUploaded()
{
    return QStringLiteral("$INKblue$") +
           QCoreApplication::translate("ScreenEditor", "Gains uploaded successfully!");
}

} // namespace

// Every box row of the edit tables commits on Enter, so a row added there
// cannot miss its commit.
CommitBranch CommitBranchFor(int id)
{
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

// ---- routing ---------------------------------------------------------------

void ScreenEditor::OnBoxChanged(int id)
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

void ScreenEditor::OnCommit(CommitBranch branch, int id)
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

void ScreenEditor::OnSliderMoved(int id)
{
    const GainRow* g = FindRow(kGains, id, &GainRow::slider);
    if (!g)
        return;
    // The parameter set keeps the old gain until the slider is released.
    boxes_.Values().Int(g->box) = form_.SliderPos(g->slider);
    boxes_.ShowAll();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(Said(g->moved));
}

void ScreenEditor::OnSliderReleased(int id)
{
    const GainRow* g = FindRow(kGains, id, &GainRow::slider);
    if (!g)
        return;
    params_.*g->param = static_cast<std::uint16_t>(boxes_.Values().Int(g->box));
    store_.Gains();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(GainsUploaded());
}

void ScreenEditor::OnGainBoxChanged(int box)
{
    const GainRow* g = FindRow(kGains, box, &GainRow::box);
    status_.ShowMessage(Said(g->prompt));
    if (InBetween(form_.Text(box)))
        return;
    boxes_.ReadAll();
    std::int32_t& value = boxes_.Values().Int(box);
    value = ClampInto(Rules(g->param).range, value);
    params_.*g->param = static_cast<std::uint16_t>(value);
    boxes_.ShowAll();
    form_.SetSliderPos(g->slider, value);
}

void ScreenEditor::CommitGains()
{
    // No clamp: typing already did, and a gain the controller reported out of
    // range goes back as it came.
    boxes_.ReadAll();
    boxes_.SyncSliders();
    store_.Gains();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(GainsUploaded());
}

// ---- angle limits ------------------------------------------------------------

void ScreenEditor::OnAngleLimitChanged(int box)
{
    const LimitRow* l = FindRow(kLimits, box, &LimitRow::box);
    if (InBetween(form_.Text(box)))
        return;
    boxes_.ReadAll();
    std::int32_t& value = boxes_.Values().Int(box);
    value = ClampInto(Rules(l->param).typing, value);
    boxes_.ShowAll();
    params_.*l->param = value;
    status_.ShowMessage(Said(l->prompt));
}

void ScreenEditor::CommitAngleLimit(int box)
{
    boxes_.ReadAll();
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
        status_.ShowMessage(Said(crossed->failure));
    } else {
        // What is uploaded is what the boxes show: 45 becomes 44, the value
        // the controller holds and reports back.
        for (const LimitRow& l : kLimits)
            boxes_.Values().Int(l.box) = HeldLimit(l.box);
        boxes_.ShowAll();
        store_.LimitsAndRc();
        link_.SelectFrameType(kTypeGains);
        status_.ShowMessage(
            QStringLiteral("$INKblue$") +
            QCoreApplication::translate("ScreenEditor", "Angle limitations uploaded successfully!"));
    }
    // The focused box is brought into its range whatever the cross-check
    // said; only a value from the controller or a file can be outside it.
    const LimitRow* l = FindRow(kLimits, box, &LimitRow::box);
    const ValueRange range = Rules(l->param).range;
    std::int32_t& value = boxes_.Values().Int(box);
    if (!range.Contains(value))
        status_.ShowMessage(Said(l->outOfRange));
    value = ClampInto(range, value);
    boxes_.ShowAll();
}

std::int32_t ScreenEditor::HeldLimit(int box) const
{
    const LimitRow* l = FindRow(kLimits, box, &LimitRow::box);
    return static_cast<std::int32_t>(
        HeldValue(boxes_.Values().Int(box), ControllerWireForm(Rules(l->param)).step));
}

int ScreenEditor::MinimumBoxOf(int maxBox)
{
    const ControllerParamRow& max = Rules(FindRow(kLimits, maxBox, &LimitRow::box)->param);
    const ParamMember<P> min = FindControllerParam(max.above)->member;
    for (const LimitRow& l : kLimits)
        if (ParamMember<P>(l.param) == min)
            return l.box;
    return maxBox;
}

// ---- RC sensitivity ----------------------------------------------------------

void ScreenEditor::OnRcSensitivityChanged(int box)
{
    const auto* rc = FindRow(kRcSensitivities, box, &BoxRow<std::uint8_t>::box);
    status_.ShowMessage(Said(rc->prompt));
    if (InBetween(form_.Text(box)))
        return;
    boxes_.ReadAll();
    std::int32_t& value = boxes_.Values().Int(box);
    value = ClampInto(Rules(rc->param).range, value);
    params_.*rc->param = static_cast<std::uint8_t>(value);
    boxes_.ShowAll();
}

void ScreenEditor::CommitRcSensitivity(int box)
{
    const auto* rc = FindRow(kRcSensitivities, box, &BoxRow<std::uint8_t>::box);
    boxes_.ReadAll();
    boxes_.Values().Int(box) = ClampInto(Rules(rc->param).range, boxes_.Values().Int(box));
    boxes_.ShowAll();
    // Stores the angle limits too, without their cross-check.
    store_.LimitsAndRc();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(Said(rc->confirmation));
}

// ---- initial angles ------------------------------------------------------------

void ScreenEditor::OnInitAngleChanged(int box)
{
    // Nothing is read or stored before Enter.
    status_.ShowMessage(Said(FindRow(kInitAngles, box, &InitAngleRow::box)->prompt));
}

void ScreenEditor::CommitInitAngle(int box)
{
    const InitAngleRow* a = FindRow(kInitAngles, box, &InitAngleRow::box);
    boxes_.ReadAll();
    const ControllerParamRow& rules = Rules(a->param);
    float& degrees = boxes_.Values().Float(box);
    degrees = std::clamp(degrees, static_cast<float>(rules.range.low) / static_cast<float>(rules.scale),
                         static_cast<float>(rules.range.high) / static_cast<float>(rules.scale));
    boxes_.ShowAll();
    store_.InitAngles();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(Said(a->confirmation));
}

// ---- servo centres (hidden) ------------------------------------------------------

void ScreenEditor::OnServoCenterChanged(int box)
{
    const auto* c = FindRow(kServoCenters, box, &BoxRow<std::int16_t>::box);
    if (InBetween(form_.Text(box)))
        return;
    boxes_.ReadAll();
    std::int32_t& value = boxes_.Values().Int(box);
    value = ClampInto(Rules(c->param).range, value);
    boxes_.ShowAll();
    params_.*c->param = static_cast<std::int16_t>(value);
    status_.ShowMessage(Said(c->prompt));
}

void ScreenEditor::CommitServoCenter(int box)
{
    const auto* c = FindRow(kServoCenters, box, &BoxRow<std::int16_t>::box);
    boxes_.ReadAll();
    boxes_.Values().Int(box) = ClampInto(Rules(c->param).range, boxes_.Values().Int(box));
    boxes_.ShowAll();
    store_.ServoCenters();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(Said(c->confirmation));
}

} // namespace qav
