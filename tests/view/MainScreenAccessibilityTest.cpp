#include "app/MainFrame.h"
#include "app/UARTDoc.h"
#include "view/ControlIds.h"
#include "view/MainScreenTable.h"
#include "view/UARTView.h"

#include "gui_support/FakePrompts.h"

#include <QAccessible>
#include <gtest/gtest.h>

namespace qav {
namespace {

// What a screen reader is told about the main screen's controls.
class MainScreenAccessibilityTest : public ::testing::Test
{
protected:
    MainScreenAccessibilityTest() : frame_(doc_, params_, prompts_) { frame_.show(); }

    CUARTView& View() { return *frame_.View(); }
    QAccessibleInterface* Iface(int id) { return QAccessible::queryAccessibleInterface(View().Control(id)); }

    CUARTDoc doc_;
    ControllerParams params_;
    test::FakePrompts prompts_;
    CMainFrame frame_;
};

TEST_F(MainScreenAccessibilityTest, ControlsAreSpokenByNameAndRole)
{
    const struct
    {
        int id;
        const char* name;
        QAccessible::Role role;
    } cases[] = {
        {idc::RollTotal, "Roll Total Gain", QAccessible::EditableText},
        {idc::TiltTotal, "Tilt Total Gain", QAccessible::EditableText},
        {idc::TiltAccSlider, "Tilt Accelerate Gain slider", QAccessible::Slider},
        {idc::RollMax, "Roll Max", QAccessible::EditableText},
        {idc::TiltMin, "Tilt Min", QAccessible::EditableText},
        {idc::RollRcSensitivity, "Roll RC Sensitivity", QAccessible::EditableText},
        {idc::InitRollAngle, "Init Roll Angle", QAccessible::EditableText},
        {idc::TiltMotorReverse, "Tilt Motor Reverse", QAccessible::CheckBox},
        {1200, "Roll Angle Limit", QAccessible::Grouping},
        {idc::ComList, "COM", QAccessible::ComboBox},
        {idc::SensorModuleMount, "Sensor Module Mount", QAccessible::ComboBox},
        {idc::ReceiverType, "Receiver Type", QAccessible::ComboBox},
        {idc::DefaultMode, "Default Mode", QAccessible::ComboBox},
        {idc::MotorOff, "Motor Off", QAccessible::RadioButton},
        {idc::MotorOn, "Motor On", QAccessible::RadioButton},
        {idc::OpenComPort, "Open COM Port", QAccessible::Button},
        {idc::AccelX, "AX", QAccessible::EditableText},
    };
    for (const auto& c : cases) {
        QAccessibleInterface* iface = Iface(c.id);
        ASSERT_NE(iface, nullptr) << c.id;
        EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), c.name) << c.id;
        EXPECT_EQ(iface->role(), c.role) << c.id << " " << c.name;
    }
}

// Every box, slider and check box of the two axis groups says its axis.
TEST_F(MainScreenAccessibilityTest, EveryAxisControlNamesItsAxis)
{
    const QHash<int, QString> axisOfGroup = {{1198, "Roll"}, {1199, "Tilt"}};
    int named = 0;
    for (const ControlRow& row : MainScreenControls()) {
        if (row.type == ControlType::Label)
            continue;
        QString axis;
        for (const ControlRow* g = View().Row(row.group); g && axis.isEmpty(); g = View().Row(g->group))
            axis = axisOfGroup.value(g->id);
        if (axis.isEmpty())
            continue;
        const QString name = Iface(row.id)->text(QAccessible::Name);
        EXPECT_TRUE(name.split(' ').contains(axis)) << row.id << " " << name.toStdString();
        ++named;
    }
    EXPECT_EQ(named,
              2 * (4 + 4 + 1 + 2 + 1 + 1 + 1)); // gains, sliders, limit group, limits, reverse, rc, init
}

TEST_F(MainScreenAccessibilityTest, ListKeepsItsNameAndShowsItsChoiceAsValue)
{
    const struct
    {
        int id;
        const char* name;
        int index;
        const char* value;
    } cases[] = {
        {idc::ReceiverType, "Receiver Type", 1, "Futaba SBUS"},
        {idc::ReceiverType, "Receiver Type", -1, ""},
        {idc::SensorModuleMount, "Sensor Module Mount", 2, "Face Down"},
        {idc::DefaultMode, "Default Mode", 0, "Default Mode: stick rate mode"},
    };
    for (const auto& c : cases) {
        View().SetSelection(c.id, c.index);
        QAccessibleInterface* iface = Iface(c.id);
        EXPECT_EQ(iface->text(QAccessible::Name).toStdString(), c.name) << c.id;
        EXPECT_EQ(iface->text(QAccessible::Value).toStdString(), c.value) << c.id;
        QAccessibleTextInterface* text = iface->textInterface();
        ASSERT_NE(text, nullptr) << c.id;
        EXPECT_EQ(text->text(0, text->characterCount()).toStdString(), c.value) << c.id;
        // The drop-down list is its child.
        ASSERT_EQ(iface->childCount(), 1);
        QAccessibleInterface* list = iface->child(0);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->childCount() > 0, View().ItemCount(c.id) > 0) << c.id;
        EXPECT_EQ(iface->indexOfChild(list), 0);
    }
}

TEST_F(MainScreenAccessibilityTest, MotorButtonsReportTheirStateAndPressLikeAClick)
{
    QAccessibleInterface* off = Iface(idc::MotorOff);
    QAccessibleInterface* on = Iface(idc::MotorOn);
    EXPECT_TRUE(off->state().checkable);
    EXPECT_TRUE(off->state().checked); // "Motor Off" is checked at start
    EXPECT_FALSE(on->state().checked);

    ASSERT_NE(on->actionInterface(), nullptr);
    ASSERT_TRUE(on->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    on->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(View().Checked(idc::MotorOn));
    EXPECT_FALSE(View().Checked(idc::MotorOff));
    EXPECT_TRUE(on->state().checked);
    EXPECT_FALSE(off->state().checked);
}

TEST_F(MainScreenAccessibilityTest, FirmwareLabelIsSpokenAsItReads)
{
    QAccessibleInterface* label = Iface(idc::FirmwareVersion);
    EXPECT_EQ(label->text(QAccessible::Name), "Firmware Version:xxxx");
    for (const char* text : {"Firmware Version:2.3", "Firmware Version:0.0"}) {
        View().SetText(idc::FirmwareVersion, text);
        EXPECT_EQ(label->text(QAccessible::Name).toStdString(), text);
    }
}

} // namespace
} // namespace qav
