#include "view/UARTView.h"
#include "ui/ImageBar.h"
#include "ui/StatusLine.h"
#include "view/ControlIds.h"
#include "view/MainScreenTable.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSet>
#include <QSlider>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace qav {
namespace {

// The screen with its editing reactions observed.
class ObservedView : public CUARTView
{
public:
    using CUARTView::CUARTView;
    std::vector<int> changed;
    std::vector<std::pair<CommitBranch, int>> commits;
    bool readOnCommit = false; // behave like the real commits: read all boxes first

protected:
    void OnBoxChanged(int id) override { changed.push_back(id); }
    void OnCommit(CommitBranch branch, int id) override
    {
        commits.emplace_back(branch, id);
        if (readOnCommit)
            ReadAllBoxes();
    }
};

class ViewTest : public ::testing::Test
{
protected:
    ViewTest() : view_(params_, &status_, prompts_)
    {
        view_.OnInitialUpdate();
        view_.changed.clear();
    }

    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(view_.Control(id)); }
    void Type(int id, const QString& text)
    {
        view_.Focus(id, true);
        Box(id)->clear();
        QTest::keyClicks(Box(id), text);
    }

    ControllerParams params_;
    test::RecordingStatus status_;
    test::FakePrompts prompts_;
    ObservedView view_;
};

// ---- the control table ----------------------------------------------------

TEST_F(ViewTest, EveryControlExistsOnceWithItsIdAsName)
{
    QSet<int> seen;
    for (const ControlRow& row : MainScreenControls()) {
        EXPECT_FALSE(seen.contains(row.id)) << "duplicate " << row.id;
        seen.insert(row.id);
        ASSERT_NE(view_.Control(row.id), nullptr) << row.id;
        EXPECT_EQ(view_.findChildren<QWidget*>(QString::number(row.id)).size(), 1) << row.id;
    }
}

TEST_F(ViewTest, ControlsTheProgramNeverShowsAreCreatedHidden)
{
    const int hidden[] = {1025, 1209, 1230, 1300, 1210, 1005, 1231, 1299, 1291, 1219, 1220, 1223,
                          1225, 1222, 1224, 1226, 1280, 1281, 1282, 1283, 1284, 1285, 1266, 1306};
    QSet<int> hiddenSet(std::begin(hidden), std::end(hidden));
    for (const ControlRow& row : MainScreenControls())
        EXPECT_EQ(view_.Visible(row.id), !hiddenSet.contains(row.id)) << row.id;
}

TEST_F(ViewTest, CaptionsAndKindsAreThoseOfTheScreen)
{
    const std::pair<int, const char*> captions[] = {
        {idc::OpenComPort, "Open COM Port"},
        {idc::WriteSettingsToFlash, "Write Settings To Flash"},
        {idc::CalibrateSensors, "Calibrate Sensors"},
        {idc::LoadConfig, "Load Config"},
        {idc::SaveConfig, "Save Config"},
        {idc::MotorConfiguration, "Motor Configuration"},
        {idc::OpenFirmware, "Open Firmware"},
        {idc::StartUpgrade, "Start Upgrade"},
        {idc::CancelUpgrade, "Cancel Upgrade"},
        {idc::MotorOff, "Motor Off"},
        {idc::MotorOn, "Motor On"},
        {idc::RollMotorReverse, "Motor Reverse"},
        {idc::TiltMotorReverse, "Motor Reverse"},
        {idc::FirmwareVersion, "Firmware Version:xxxx"},
    };
    for (const auto& [id, caption] : captions)
        EXPECT_EQ(view_.Text(id), QString::fromUtf8(caption)) << id;
    EXPECT_TRUE(qobject_cast<QSlider*>(view_.Control(idc::RollTotalSlider)));
    EXPECT_TRUE(qobject_cast<QSpinBox*>(view_.Control(idc::RollServoCenterSpin)));
    EXPECT_TRUE(qobject_cast<CImageBar*>(view_.Control(idc::RcModeBar)));
    EXPECT_TRUE(qobject_cast<QLineEdit*>(view_.Control(idc::AccelX))->isReadOnly());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(view_.Control(idc::RollTotal))->isReadOnly());
}

TEST_F(ViewTest, ListsHoldTheirItemsInOrder)
{
    EXPECT_EQ(view_.ItemCount(idc::ReceiverType), 9);
    EXPECT_EQ(view_.ItemText(idc::ReceiverType, 0), "Standard Receiver");
    EXPECT_EQ(view_.ItemText(idc::ReceiverType, 8), "DSMX-2");
    EXPECT_EQ(view_.ItemText(idc::SensorModuleMount, 0), "Velsor Gopro Brushless Motor Gimbal");
    EXPECT_EQ(view_.ItemText(idc::SensorModuleMount, 2), "Face Down");
    EXPECT_EQ(view_.ItemText(idc::DefaultMode, 1), "Default Mode: stick position mode");
    EXPECT_EQ(view_.ItemText(idc::RollServoType, 5), QStringLiteral("速度舵机(760us)"));
    EXPECT_EQ(view_.ItemText(idc::PanControlMode, 1), QStringLiteral("跟随(FPV)模式"));
    // No selection until the controller or a file says which.
    EXPECT_EQ(view_.Selection(idc::ReceiverType), -1);
    EXPECT_EQ(view_.Selection(idc::SensorModuleMount), -1);
    EXPECT_EQ(view_.Selection(idc::DefaultMode), -1);
}

TEST_F(ViewTest, VisibleControlsFitTheScreenAndTheirGroupsWithoutOverlapping)
{
    const QRect screen(0, 0, kMainScreenWidth, kMainScreenHeight);
    std::vector<const ControlRow*> shown;
    for (const ControlRow& row : MainScreenControls()) {
        if (row.hidden)
            continue;
        EXPECT_TRUE(screen.contains(row.rect)) << row.id;
        if (row.group != 0) {
            EXPECT_TRUE(view_.Row(row.group)->rect.contains(row.rect)) << row.id << " in " << row.group;
        }
        shown.push_back(&row);
    }
    for (const ControlRow* a : shown) {
        for (const ControlRow* b : shown) {
            if (a < b && a->group == b->group && a->type != ControlType::Group &&
                b->type != ControlType::Group) {
                EXPECT_FALSE(a->rect.intersects(b->rect)) << a->id << " overlaps " << b->id;
            }
        }
    }
}

TEST_F(ViewTest, EveryControlHasASpeakableNameUniqueInItsGroup)
{
    QHash<QWidget*, QSet<QString>> namesByParent;
    for (const ControlRow& row : MainScreenControls()) {
        if (row.type == ControlType::Label)
            continue;
        QWidget* w = view_.Control(row.id);
        const QString name = w->accessibleName();
        EXPECT_FALSE(name.isEmpty()) << row.id;
        QSet<QString>& names = namesByParent[w->parentWidget()];
        EXPECT_FALSE(names.contains(name)) << row.id << " repeats " << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(view_.Control(idc::RollTotal)->accessibleName(), "Roll Total Gain");
    EXPECT_EQ(view_.Control(idc::AccelX)->accessibleName(), "AX");
    EXPECT_EQ(view_.Control(idc::RcMode)->accessibleName(), "RC mode:C");
    EXPECT_EQ(view_.Control(idc::InitTiltAngle)->accessibleName(), "Init Tilt Angle");
    EXPECT_EQ(view_.Control(idc::ReceiverType)->accessibleName(), "Receiver Type");
}

TEST_F(ViewTest, CaptionsAreTransparent)
{
    for (int id : MainScreenCaptionIds()) {
        QWidget* caption = view_.Control(id);
        ASSERT_NE(caption, nullptr) << id;
        EXPECT_TRUE(caption->property("transparentCaption").toBool()) << id;
        EXPECT_FALSE(caption->autoFillBackground()) << id;
    }
    // A caption paints only its text: where there is none, the group
    // behind it shows through.
    QWidget* label = view_.Control(1237); // "Total Gain"
    QWidget* group = label->parentWidget();
    view_.resize(kMainScreenWidth, kMainScreenHeight);
    view_.show();
    const QImage img = group->grab().toImage();
    const QPoint blank = label->geometry().topRight() + QPoint(-1, 1);
    const QPoint outside = label->geometry().topRight() + QPoint(3, 1);
    EXPECT_EQ(img.pixel(blank), img.pixel(outside));
}

// ---- initial update -------------------------------------------------------

TEST_F(ViewTest, InitialUpdateSetsUpTheScreen)
{
    for (const ExchangeEntry& e : kExchangeOrder)
        EXPECT_EQ(view_.Text(e.box), e.kind == ValueKind::Text ? "" : "0") << e.box;
    EXPECT_TRUE(view_.Checked(idc::MotorOff));
    EXPECT_FALSE(view_.Checked(idc::MotorOn));
    EXPECT_FALSE(view_.Enabled(idc::LoadConfig));
    EXPECT_FALSE(view_.Enabled(idc::StartUpgrade));
    EXPECT_FALSE(view_.Enabled(idc::CancelUpgrade));
    EXPECT_TRUE(view_.Enabled(idc::OpenFirmware));
    for (int list = idc::RollServoType; list <= idc::PanControlMode; ++list)
        EXPECT_EQ(view_.Selection(list), 0) << list;
    for (const SliderBox& pair : kGainSliders) {
        auto* slider = qobject_cast<QSlider*>(view_.Control(pair.slider));
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), 500);
    }
    auto* spin = qobject_cast<QSpinBox*>(view_.Control(idc::PanServoCenterSpin));
    EXPECT_EQ(spin->minimum(), -500);
    EXPECT_EQ(spin->maximum(), 500);
    auto* bar = qobject_cast<CImageBar*>(view_.Control(idc::RcModeBar));
    EXPECT_EQ(bar->Minimum(), 0);
    EXPECT_EQ(bar->Maximum(), 200);
    EXPECT_TRUE(view_.changed.empty());
}

// ---- read all boxes and show all values -----------------------------------

TEST_F(ViewTest, BlanksAndLeadingZerosAreReadAndShownPlain)
{
    Type(idc::RollTotal, " 7 ");
    Type(idc::TiltTotal, "007");
    Type(idc::InitTiltAngle, "1e2");
    ASSERT_TRUE(view_.ReadAllBoxes());
    EXPECT_EQ(view_.Values().Int(idc::RollTotal), 7);
    EXPECT_EQ(view_.Values().Int(idc::TiltTotal), 7);
    EXPECT_EQ(view_.Values().Float(idc::InitTiltAngle), 100.0f);
    view_.ShowAllValues();
    EXPECT_EQ(view_.Text(idc::RollTotal), "7");
    EXPECT_EQ(view_.Text(idc::TiltTotal), "7");
    EXPECT_EQ(view_.Text(idc::InitTiltAngle), "100");
    EXPECT_TRUE(prompts_.messages.isEmpty());
}

TEST_F(ViewTest, ParseErrorInTheFirstBoxKeepsEveryValueAndSelectsTheBox)
{
    test::ShowActive(&view_);
    view_.Values().Int(idc::TiltInt) = 11;
    view_.Values().Int(idc::RollTotal) = 22;
    view_.Values().Float(idc::InitRollAngle) = 3.5f;
    view_.SetText(idc::RollTotal, "300"); // would be read if the reading went on
    view_.SetText(idc::TiltInt, "12a");   // 1014 is read first

    EXPECT_FALSE(view_.ReadAllBoxes());
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("请键入一个整数。"));
    EXPECT_EQ(prompts_.messages[0].caption, "QAV-NUVA");
    EXPECT_EQ(view_.Values().Int(idc::TiltInt), 11);
    EXPECT_EQ(view_.Values().Int(idc::RollTotal), 22);
    EXPECT_EQ(view_.Values().Float(idc::InitRollAngle), 3.5f);
    EXPECT_EQ(view_.FocusedId(), idc::TiltInt);
    EXPECT_EQ(Box(idc::TiltInt)->selectedText(), "12a");
    // A later show puts the old value back.
    view_.ShowAllValues();
    EXPECT_EQ(view_.Text(idc::TiltInt), "11");
}

TEST_F(ViewTest, ParseErrorStopsTheReadingAtThatBox)
{
    // Exchange order: ... 1017 (ROLL_TOTAL) ... 1216 (PITCH_MAX) ... 1289 ...
    view_.SetText(idc::RollTotal, "55");
    view_.SetText(idc::TiltMax, "-0");
    view_.SetText(idc::RollRcSensitivity, "66");
    EXPECT_FALSE(view_.ReadAllBoxes());
    EXPECT_EQ(view_.Values().Int(idc::RollTotal), 55);
    EXPECT_EQ(view_.Values().Int(idc::RollRcSensitivity), 0);
    EXPECT_EQ(prompts_.messages.size(), 1);
}

TEST_F(ViewTest, IntegerBoxesRefuseWhatIsNotAnInteger)
{
    for (const char* bad : {"12a", "-0", "+0", "", "-"}) {
        prompts_.messages.clear();
        view_.SetText(idc::RollMax, QString::fromUtf8(bad));
        EXPECT_FALSE(view_.ReadAllBoxes()) << bad;
        ASSERT_EQ(prompts_.messages.size(), 1) << bad;
        EXPECT_EQ(prompts_.messages[0].text, CUARTView::IntParseMessage());
        view_.SetText(idc::RollMax, "0");
    }
}

TEST_F(ViewTest, AngleBoxesRefuseWhatIsNotANumber)
{
    view_.Values().Float(idc::InitTiltAngle) = 12.5f;
    view_.SetText(idc::InitTiltAngle, "abc");
    EXPECT_FALSE(view_.ReadAllBoxes());
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_EQ(prompts_.messages[0].text, QStringLiteral("请键入一个数。"));
    EXPECT_EQ(view_.Values().Float(idc::InitTiltAngle), 12.5f);
}

TEST_F(ViewTest, AttitudeBoxesAreTakenAsText)
{
    view_.SetText(idc::AttitudeRoll, "+30.0");
    view_.SetText(idc::AttitudeTilt, "anything");
    ASSERT_TRUE(view_.ReadAllBoxes());
    EXPECT_EQ(view_.Values().Text(idc::AttitudeRoll), "+30.0");
    EXPECT_EQ(view_.Values().Text(idc::AttitudeTilt), "anything");
}

TEST_F(ViewTest, FloatsAreShownWithSixSignificantDigits)
{
    view_.Values().Float(idc::InitRollAngle) = 12.35f;
    view_.Values().Float(idc::InitTiltAngle) = -134.123456f;
    view_.ShowAllValues();
    EXPECT_EQ(view_.Text(idc::InitRollAngle), "12.35");
    EXPECT_EQ(view_.Text(idc::InitTiltAngle), "-134.123");
}

TEST_F(ViewTest, ShowingValuesFiresNoChangeReaction)
{
    for (const ExchangeEntry& e : kExchangeOrder) {
        if (e.kind == ValueKind::Int)
            view_.Values().Int(e.box) = e.box;
    }
    view_.ShowAllValues();
    EXPECT_EQ(view_.Text(idc::RollTotal), "1017");
    EXPECT_TRUE(view_.changed.empty());
    // Outside of it, a program's write reacts like typing does.
    view_.SetText(idc::RollTotal, "5");
    Type(idc::TiltTotal, "9");
    EXPECT_EQ(view_.changed, (std::vector<int>{idc::RollTotal, idc::TiltTotal, idc::TiltTotal}));
}

TEST_F(ViewTest, ShowingUnchangedValuesLeavesTheCaretAlone)
{
    view_.Values().Int(idc::RollTotal) = 123;
    view_.ShowAllValues();
    Box(idc::RollTotal)->setCursorPosition(1);
    view_.Values().Int(idc::TiltTotal) = 9; // another box changes
    view_.ShowAllValues();
    EXPECT_EQ(Box(idc::RollTotal)->cursorPosition(), 1);
    EXPECT_EQ(view_.Text(idc::TiltTotal), "9");
}

TEST_F(ViewTest, SyncSlidersMovesAllTwelveQuietly)
{
    int value = 10;
    for (const SliderBox& pair : kGainSliders)
        view_.Values().Int(pair.box) = value++;
    view_.Values().Int(idc::RollTotal) = 600; // beyond the slider: sits at its end
    view_.SyncSliders();
    value = 10;
    for (const SliderBox& pair : kGainSliders) {
        const int expected = pair.box == idc::RollTotal ? 500 : value;
        EXPECT_EQ(view_.SliderPos(pair.slider), expected) << pair.slider;
        ++value;
    }
    EXPECT_EQ(view_.Values().Int(idc::RollTotal), 600);
    EXPECT_TRUE(view_.changed.empty());
}

// ---- Enter --------------------------------------------------------------

TEST_F(ViewTest, EnterCommitsTheFocusedBoxOnPressAndAgainOnRelease)
{
    ASSERT_TRUE(test::ShowActive(&view_));
    const std::pair<int, CommitBranch> cases[] = {
        {idc::RollTotal, CommitBranch::Gain},          {idc::TiltAcc, CommitBranch::Gain},
        {idc::TiltMin, CommitBranch::AngleLimit},      {idc::RollRcSensitivity, CommitBranch::RcSensitivity},
        {idc::InitRollAngle, CommitBranch::InitAngle},
    };
    for (const auto& [box, branch] : cases) {
        view_.commits.clear();
        view_.Focus(box, false);
        QTest::keyClick(view_.Control(box), Qt::Key_Return);
        EXPECT_EQ(view_.commits, (std::vector<std::pair<CommitBranch, int>>{{branch, box}, {branch, box}}))
            << box;
    }
}

TEST_F(ViewTest, EnterElsewhereCommitsNothing)
{
    ASSERT_TRUE(test::ShowActive(&view_));
    for (int id : {idc::AccelX, idc::RcRoll, idc::SensorModuleMount, idc::WriteSettingsToFlash}) {
        view_.Focus(id, false);
        QTest::keyClick(view_.Control(id), Qt::Key_Return);
    }
    EXPECT_TRUE(view_.commits.empty());
}

TEST_F(ViewTest, HiddenBoxesCommitByTheirBranchToo)
{
    for (int id : {idc::PanTotal, idc::PanAcc})
        EXPECT_EQ(CommitBranchFor(id), CommitBranch::Gain);
    for (int id : {idc::RollServoCenter, idc::TiltServoCenter, idc::PanServoCenter})
        EXPECT_EQ(CommitBranchFor(id), CommitBranch::ServoCenter);
    EXPECT_EQ(CommitBranchFor(idc::PanRcSensitivity), CommitBranch::RcSensitivity);
    EXPECT_EQ(CommitBranchFor(idc::PanServoReverse), CommitBranch::None);
}

TEST_F(ViewTest, ParseErrorOnPressTakesTheRelease)
{
    ASSERT_TRUE(test::ShowActive(&view_));
    view_.readOnCommit = true;
    Type(idc::RollTotal, "12a");
    QTest::keyClick(view_.Control(idc::RollTotal), Qt::Key_Return);
    EXPECT_EQ(view_.commits.size(), 1u);
    EXPECT_EQ(prompts_.messages.size(), 1);
    // With the box fixed, the next Enter commits on both edges again.
    Type(idc::RollTotal, "12");
    QTest::keyClick(view_.Control(idc::RollTotal), Qt::Key_Return);
    EXPECT_EQ(view_.commits.size(), 3u);
    EXPECT_EQ(prompts_.messages.size(), 1);
}

TEST_F(ViewTest, HeldEnterCommitsOnEveryRepeat)
{
    ASSERT_TRUE(test::ShowActive(&view_));
    QWidget* box = view_.Control(idc::RollMax);
    view_.Focus(idc::RollMax, false);
    QKeyEvent first(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(box, &first);
    for (int i = 0; i < 3; ++i) {
        // X11 repeats a held key as release-press pairs marked as repeats.
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r", true);
        QApplication::sendEvent(box, &up);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true);
        QApplication::sendEvent(box, &down);
    }
    QKeyEvent last(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(box, &last);
    EXPECT_EQ(view_.commits.size(), 5u); // first press, three repeats, release
}

// ---- status messages --------------------------------------------------------

TEST_F(ViewTest, StatusMessagesNeedTheLinkAndTheGate)
{
    view_.ShowStatusMessage("$INKblue$Gains uploaded successfully!");
    view_.Link().linkEstablished = true;
    view_.ShowStatusMessage("$INKblue$Gains uploaded successfully!"); // gate still closed
    EXPECT_TRUE(status_.texts.isEmpty());

    view_.OpenMessageGate();
    view_.ShowStatusMessage("$INKblue$Gains uploaded successfully!");
    EXPECT_EQ(status_.texts, (QStringList{"", "$INKblue$Gains uploaded successfully!"}));

    status_.texts.clear();
    view_.Link().linkEstablished = false;
    view_.ShowStatusMessage("$INKred$lost");
    view_.SetStatusText("$INKred$QAV-NUVA not connected!"); // direct writes always go through
    EXPECT_EQ(status_.texts, QStringList{"$INKred$QAV-NUVA not connected!"});
    EXPECT_TRUE(view_.MessageGateOpen());
}

} // namespace
} // namespace qav
