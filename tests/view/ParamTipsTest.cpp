// The tooltips and accessible descriptions of the controls that edit a
// parameter, on the real screens: every row of both tables reaches the
// controls of its field, and no visible editing control is left without.
#include "view/ParamTips.h"

#include "view/ControlIds.h"
#include "view/MainScreenTable.h"
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/UARTView.h"

#include "gui_support/FakePrompts.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace qav {
namespace {

// The tip of `control`: the row's sentence, range and key; false when the
// control is hidden.
bool ExpectTip(QWidget* control, bool hidden, const ParamFacts& f)
{
    EXPECT_EQ(control->toolTip(), ParamTipText(f));
    EXPECT_EQ(control->accessibleDescription(), control->toolTip());
    EXPECT_TRUE(control->toolTip().contains(QString::fromStdString("Key: " + std::string(f.key) + ".")));
    return !hidden;
}

TEST(ParamTips, EveryRowTellsTheControlsOfItsFieldWhatItIs)
{
    ControllerParams params;
    test::FakePrompts prompts;
    CUARTView view(params, nullptr, prompts);
    for (const ControllerParamRow& row : ControllerParamTable()) {
        const ParamFacts f = ControllerFacts(row);
        int shown = 0;
        for (const ParamControl& c : MainScreenParamControls())
            if (c.member == row.member)
                shown += ExpectTip(view.Control(c.id), view.Row(c.id)->hidden, f);
        // A row the screen shows is edited by a control it shows.
        EXPECT_EQ(shown > 0, !f.control.ends_with("(hidden)")) << row.key;
    }
    for (const ControlRow& row : MainScreenControls()) {
        const bool edits = row.type == ControlType::Edit || row.type == ControlType::Slider ||
                           row.type == ControlType::Combo || row.type == ControlType::CheckBox;
        if (edits && !row.hidden && row.id != idc::ComList) {
            EXPECT_TRUE(view.Control(row.id)->toolTip().contains(QStringLiteral("Key: "))) << row.id;
        }
    }

    MotorParams motor;
    FrameReceiver receiver{kMotorHeader0, kMotorHeader1};
    CMotorConfigDlg dlg(motor, receiver, prompts, std::string());
    for (const MotorParamRow& row : MotorParamTable()) {
        int shown = 0;
        for (const MotorParamBox& b : kMotorParamBoxes)
            if (row.member == ParamMember<MotorParams>(b.param))
                shown += ExpectTip(dlg.Form().Control(b.box), false, MotorFacts(row));
        EXPECT_EQ(shown, row.control.ends_with("(hidden)") ? 0 : 1) << row.key;
    }
}

} // namespace
} // namespace qav
