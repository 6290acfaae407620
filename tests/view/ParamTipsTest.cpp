// The tooltips and accessible descriptions of the controls that edit a
// parameter, on the real screens: every row of both tables reaches the
// controls that edit its field with its sentence, range and key, and no
// visible editing control is left without one.
#include "view/ParamTips.h"

#include "view/ControlIds.h"
#include "view/EditTables.h"
#include "view/MainScreenTable.h"
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/UARTView.h"

#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace qav {
namespace {

void ExpectTip(QWidget* control, const ParamFacts& f)
{
    ASSERT_NE(control, nullptr);
    const QString tip = control->toolTip();
    EXPECT_EQ(control->accessibleDescription(), tip);
    EXPECT_EQ(tip, ParamTipText(f));
    for (const std::string& part : {std::string(f.meaning), RangeText(f, true), "Key: " + std::string(f.key) + "."})
        EXPECT_TRUE(tip.contains(QString::fromStdString(part))) << part;
}

bool Hidden(const ParamFacts& f)
{
    return f.control.ends_with("(hidden)");
}

TEST(ParamTips, EveryControllerRowTellsItsControlsWhatItIs)
{
    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    CUARTView view(params, &status, prompts);
    const std::vector<ParamControl> controls = MainScreenParamControls();
    for (const ControllerParamRow& row : ControllerParamTable()) {
        const ParamFacts f = ControllerFacts(row);
        SCOPED_TRACE(std::string(row.key));
        int shown = 0;
        for (const ParamControl& c : controls) {
            if (!(c.member == row.member))
                continue;
            ExpectTip(view.Control(c.id), f);
            shown += view.Row(c.id)->hidden ? 0 : 1;
        }
        // A row the screen shows is edited by a control it shows.
        EXPECT_EQ(shown > 0, !Hidden(f));
    }
    // And every control the user edits says what it stands for.
    for (const ControlRow& row : MainScreenControls()) {
        const bool edits = row.type == ControlType::Edit || row.type == ControlType::Slider ||
                           row.type == ControlType::Combo || row.type == ControlType::CheckBox;
        if (edits && !row.hidden && row.id != idc::ComList) {
            EXPECT_TRUE(view.Control(row.id)->toolTip().contains(QStringLiteral("Key: "))) << row.id;
        }
    }
}

TEST(ParamTips, EveryMotorRowTellsItsBoxWhatItIs)
{
    MotorParams params;
    FrameReceiver receiver{kMotorHeader0, kMotorHeader1};
    test::FakePrompts prompts;
    CMotorConfigDlg dlg(params, receiver, prompts, std::string());
    for (const MotorParamRow& row : MotorParamTable()) {
        const ParamFacts f = MotorFacts(row);
        SCOPED_TRACE(std::string(row.key));
        int boxes = 0;
        for (const MotorParamBox& b : kMotorParamBoxes)
            if (row.member == ParamMember<MotorParams>(b.param)) {
                ExpectTip(dlg.Form().Control(b.box), f);
                ++boxes;
            }
        EXPECT_EQ(boxes, Hidden(f) ? 0 : 1);
    }
    for (int id : {mdc::Motor1Reverse, mdc::Motor2Reverse})
        EXPECT_TRUE(dlg.Form().Control(id)->toolTip().contains(QStringLiteral("Key: DIR_MOTOR"))) << id;
}

} // namespace
} // namespace qav
