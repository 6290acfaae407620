#include "view/ParamTips.h"

#include "ui/FormHost.h"
#include "view/EditTables.h"

#include <QWidget>

namespace qav {

std::vector<ParamControl> MainScreenParamControls()
{
    using namespace edit;
    std::vector<ParamControl> out;
    for (const GainRow& g : kGains) {
        out.push_back({g.box, g.param});
        out.push_back({g.slider, g.param});
    }
    for (const LimitRow& l : kLimits)
        out.push_back({l.box, l.param});
    for (const auto& rc : kRcSensitivities)
        out.push_back({rc.box, rc.param});
    for (const auto& c : kServoCenters)
        out.push_back({c.box, c.param});
    for (const InitAngleRow& a : kInitAngles)
        out.push_back({a.box, a.param});
    for (const DirectionRow& d : kDirections)
        out.push_back({d.checkBox, d.param});
    for (const ServoListRow& s : kServoLists) {
        out.push_back({s.typeList, s.servoType});
        out.push_back({s.modeList, s.controlMode});
    }
    for (const ModeListRow& m : kModeLists)
        out.push_back({m.list, m.param});
    out.push_back({kReceiverList.list, kReceiverList.param});
    return out;
}

QString ParamTipText(const ParamFacts& facts)
{
    return QString::fromStdString(ParamTip(facts));
}

void SetTip(QWidget* widget, const QString& tip)
{
    widget->setToolTip(tip);
    widget->setAccessibleDescription(tip);
}

void SetMainScreenParamTips(FormHost& host)
{
    for (const ParamControl& c : MainScreenParamControls())
        if (QWidget* control = host.Control(c.id))
            SetTip(control, ParamTipText(ControllerFacts(ControllerParamOf(c.member))));
}

} // namespace qav
