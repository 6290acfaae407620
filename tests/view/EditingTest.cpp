// The editing handlers of the main screen on its real widgets, without a
// controller: typing, Enter, sliders, check boxes, buttons and lists, and
// what each leaves in the parameter set, the link state and the status line.
// The link flag and the message gate are set by hand so that the gated
// messages can be seen.
#include "view/UARTView.h"

#include "view/ControlIds.h"
#include "view/EditTables.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ParamsPrinter.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <limits>

namespace qav {
namespace {

const QString kGainsUploaded = QStringLiteral("$INKblue$Gains uploaded successfully!");
const QString kLimitsUploaded = QStringLiteral("$INKblue$Angle limitations uploaded successfully!");
const QString kRollCrossed =
    QStringLiteral("$INKred$Max roll angle less than min roll angle, upload failed!");
const QString kPitchCrossed =
    QStringLiteral("$INKred$Max pitch angle less than min pitch angle, upload failed!");
const QString kRollTotalPrompt =
    QStringLiteral("$INKgreen$Roll total gain modified, please push 'return' key!");
constexpr std::uint8_t kNothingPending = 0x55; // a type no handler selects

class EditingTest : public ::testing::Test
{
protected:
    EditingTest() : view_(params_, &status_, prompts_)
    {
        view_.OnInitialUpdate();
        view_.Link().linkEstablished = true;
        view_.OpenMessageGate();
        view_.Link().pendingFrameType = kNothingPending;
        EXPECT_TRUE(test::ShowActive(&view_));
    }

    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(view_.Control(id)); }
    QSlider* Slider(int id) { return qobject_cast<QSlider*>(view_.Control(id)); }

    // Key by key, as a user types.
    void Type(int id, const QString& text)
    {
        view_.Focus(id, false);
        Box(id)->clear();
        QTest::keyClicks(Box(id), text);
    }
    // All at once, as a paste does.
    void Paste(int id, const QString& text)
    {
        view_.Focus(id, false);
        Box(id)->setText(text);
    }
    void Enter(int id)
    {
        view_.Focus(id, false);
        QTest::keyClick(view_.Control(id), Qt::Key_Return);
    }
    void Click(int id) { qobject_cast<QAbstractButton*>(view_.Control(id))->click(); }
    void Choose(int list, int index)
    {
        view_.SetSelection(list, index);
        emit qobject_cast<QComboBox*>(view_.Control(list))->activated(index);
    }
    // As if the controller's echo had put these values on the screen.
    void Show(std::initializer_list<std::pair<int, int>> values)
    {
        for (const auto& [box, value] : values)
            view_.Values().Int(box) = value;
        view_.ShowAllValues();
    }
    void Reset()
    {
        status_.texts.clear();
        prompts_.messages.clear();
        view_.Link().pendingFrameType = kNothingPending;
    }
    bool Shown(const QString& text) const { return status_.texts.contains(text); }
    QString Last() const { return status_.texts.isEmpty() ? QString() : status_.texts.last(); }
    std::uint8_t Pending() { return view_.Link().pendingFrameType; }

    ControllerParams params_;
    test::RecordingStatus status_;
    test::FakePrompts prompts_;
    CUARTView view_;
};

// ---- gains --------------------------------------------------------------------

struct GainTypingRow
{
    const char* text;
    bool paste;
    const char* shown; // the box afterwards
    int value;         // screen value, parameter and slider afterwards
    bool parseMessage;
};

TEST_F(EditingTest, TypingIntoAGainBoxClampsAndStoresWithoutUploading)
{
    const GainTypingRow rows[] = {
        {"600", false, "500", 500, false},
        {"-5", false, "0", 0, false},
        {"007", false, "7", 7, false},
        {" 7 ", true, "7", 7, false},
        {"499", false, "499", 499, false},
        {"12a", false, "12", 12, true}, // the last number read stays
        {"-0", true, "33", 33, true},
        {"+0", true, "33", 33, true},
        {"99999999999", true, "500", 500, false}, // saturates, then clamps
    };
    for (const GainTypingRow& row : rows) {
        Show({{idc::RollTotal, 33}});
        params_.ROLL_TOTAL = 33;
        Reset();
        if (row.paste)
            Paste(idc::RollTotal, QString::fromUtf8(row.text));
        else
            Type(idc::RollTotal, QString::fromUtf8(row.text));
        EXPECT_EQ(view_.Text(idc::RollTotal), row.shown) << row.text;
        EXPECT_EQ(view_.Values().Int(idc::RollTotal), row.value) << row.text;
        EXPECT_EQ(params_.ROLL_TOTAL, row.value) << row.text;
        EXPECT_EQ(Slider(idc::RollTotalSlider)->value(), row.value) << row.text;
        EXPECT_EQ(prompts_.messages.size(), row.parseMessage ? 1 : 0) << row.text;
        if (row.parseMessage) {
            EXPECT_EQ(prompts_.messages.value(0).text, CUARTView::IntParseMessage());
        }
        EXPECT_EQ(Pending(), kNothingPending) << row.text;
        EXPECT_EQ(Last(), kRollTotalPrompt) << row.text;
    }
}

TEST_F(EditingTest, EachGainBoxDrivesItsOwnParameterAndSlider)
{
    struct Row
    {
        int box, slider;
        std::uint16_t ControllerParams::*param;
        const char* prompt;
    };
    const Row rows[] = {
        {idc::RollTotal, idc::RollTotalSlider, &ControllerParams::ROLL_TOTAL, "Roll total"},
        {idc::RollVel, idc::RollVelSlider, &ControllerParams::ROLL_VEL, "Roll velocity"},
        {idc::RollInt, idc::RollIntSlider, &ControllerParams::ROLL_INT, "Roll integral"},
        {idc::RollAcc, idc::RollAccSlider, &ControllerParams::ROLL_ACC, "Roll accelerate"},
        {idc::TiltTotal, idc::TiltTotalSlider, &ControllerParams::PITCH_TOTAL, "Tilt total"},
        {idc::TiltVel, idc::TiltVelSlider, &ControllerParams::PITCH_VEL, "Tilt velocity"},
        {idc::TiltInt, idc::TiltIntSlider, &ControllerParams::PITCH_INT, "Tilt integral"},
        {idc::TiltAcc, idc::TiltAccSlider, &ControllerParams::PITCH_ACC, "Tilt accelerate"},
    };
    int value = 101;
    for (const Row& row : rows) {
        Reset();
        Type(row.box, QString::number(value));
        EXPECT_EQ(params_.*row.param, value) << row.box;
        EXPECT_EQ(Slider(row.slider)->value(), value) << row.box;
        EXPECT_EQ(Last(), QStringLiteral("$INKgreen$%1 gain modified, please push 'return' key!")
                              .arg(QString::fromUtf8(row.prompt)));
        value += 11;
    }
    // Nothing leaked into another gain.
    value = 101;
    for (const Row& row : rows) {
        EXPECT_EQ(params_.*row.param, value) << row.box;
        value += 11;
    }
}

TEST_F(EditingTest, EmptyOrLoneMinusOnlyPrompts)
{
    Show({{idc::TiltVel, 44}});
    params_.PITCH_VEL = 44;
    for (const char* text : {"", "-"}) {
        Reset();
        Paste(idc::TiltVel, QString::fromUtf8(text));
        EXPECT_EQ(status_.texts,
                  QStringList({"", "$INKgreen$Tilt velocity gain modified, please push 'return' key!"}));
        EXPECT_EQ(view_.Values().Int(idc::TiltVel), 44);
        EXPECT_EQ(params_.PITCH_VEL, 44);
        EXPECT_EQ(view_.Text(idc::TiltVel), QString::fromUtf8(text));
        EXPECT_TRUE(prompts_.messages.isEmpty());
    }
}

TEST_F(EditingTest, EnterInAGainBoxStoresAllGainsAndRequestsTheUpload)
{
    // A gain above 500 from the controller goes back unchanged.
    Show({{idc::RollTotal, 600}, {idc::TiltAcc, 77}, {idc::PanVel, 55}});
    Reset();
    Enter(idc::TiltAcc);
    EXPECT_EQ(params_.ROLL_TOTAL, 600);
    EXPECT_EQ(params_.PITCH_ACC, 77);
    EXPECT_EQ(params_.YAW_VEL, 55); // the hidden pan gains are stored too
    EXPECT_EQ(view_.Text(idc::RollTotal), "600");
    EXPECT_EQ(Slider(idc::RollTotalSlider)->value(), 500);
    EXPECT_EQ(Slider(idc::TiltAccSlider)->value(), 77);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_EQ(Last(), kGainsUploaded);
}

TEST_F(EditingTest, EnterInAnEmptyGainBoxComplainsKeepsTheGainAndStillUploads)
{
    Show({{idc::RollVel, 42}});
    params_.ROLL_VEL = 42;
    Paste(idc::RollVel, "-");
    Reset();
    Enter(idc::RollVel);
    ASSERT_FALSE(prompts_.messages.isEmpty());
    EXPECT_EQ(prompts_.messages[0].text, CUARTView::IntParseMessage());
    EXPECT_EQ(params_.ROLL_VEL, 42);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_TRUE(Shown(kGainsUploaded));
}

TEST_F(EditingTest, KeyboardSliderMovesTheBoxButNotTheParameter)
{
    Show({{idc::TiltTotal, 200}});
    view_.SyncSliders();
    params_.PITCH_TOTAL = 200;
    Reset();
    view_.Focus(idc::TiltTotalSlider, false);
    QTest::keyClick(Slider(idc::TiltTotalSlider), Qt::Key_Right);
    EXPECT_EQ(view_.Text(idc::TiltTotal), "201");
    EXPECT_EQ(view_.Values().Int(idc::TiltTotal), 201);
    EXPECT_EQ(params_.PITCH_TOTAL, 200);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_EQ(Last(), QStringLiteral("$INKgreen$Tilt total gain adjusting..."));
}

// The centre of a slider's handle, in its own coordinates.
QPoint HandleCentre(QSlider* slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider)
        .center();
}

TEST_F(EditingTest, DraggingASliderStoresTheGainOnRelease)
{
    QSlider* slider = Slider(idc::RollIntSlider);
    Show({{idc::RollInt, 100}});
    view_.SyncSliders();
    params_.ROLL_INT = 100;
    Reset();
    const QPoint from = HandleCentre(slider);
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(slider, from + QPoint(60, 0));
    const int moved = slider->value();
    ASSERT_GT(moved, 100);
    EXPECT_EQ(view_.Text(idc::RollInt), QString::number(moved));
    EXPECT_EQ(params_.ROLL_INT, 100); // not yet
    EXPECT_EQ(Last(), QStringLiteral("$INKgreen$Roll integral gain adjusting..."));
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, from + QPoint(60, 0));
    EXPECT_EQ(params_.ROLL_INT, moved);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_EQ(Last(), kGainsUploaded);
}

TEST_F(EditingTest, AClickThatLeavesTheSliderInPlaceStillStoresAllGains)
{
    QSlider* slider = Slider(idc::TiltVelSlider);
    Show({{idc::TiltVel, 250}, {idc::RollAcc, 31}});
    view_.SyncSliders();
    Reset();
    const QPoint at = HandleCentre(slider);
    QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(slider->value(), 250);
    EXPECT_EQ(params_.PITCH_VEL, 250);
    EXPECT_EQ(params_.ROLL_ACC, 31);
    EXPECT_EQ(Last(), kGainsUploaded);
}

// ---- angle limits ----------------------------------------------------------------

TEST_F(EditingTest, TypedLimitsAreClampedToTheirSideOfZero)
{
    struct Row
    {
        int box;
        const char* text;
        const char* shown;
        std::int32_t ControllerParams::*param;
        const char* prompt;
    };
    const char* roll = "$INKgreen$Roll angle limitation input range(-45~45), please push 'return' key!";
    const char* tilt = "$INKgreen$Tilt angle limitation input range(-135~90), please push 'return' key!";
    const Row rows[] = {
        {idc::RollMax, "60", "45", &ControllerParams::ROLL_MAX, roll},
        {idc::RollMax, "-20", "0", &ControllerParams::ROLL_MAX, roll},
        {idc::RollMin, "20", "0", &ControllerParams::ROLL_MIN, roll},
        {idc::RollMin, "-44", "-44", &ControllerParams::ROLL_MIN, roll},
        {idc::TiltMin, "-150", "-135", &ControllerParams::PITCH_MIN, tilt},
        {idc::TiltMax, "100", "90", &ControllerParams::PITCH_MAX, tilt},
        {idc::TiltMax, "-7", "0", &ControllerParams::PITCH_MAX, tilt},
    };
    for (const Row& row : rows) {
        Reset();
        Type(row.box, QString::fromUtf8(row.text));
        EXPECT_EQ(view_.Text(row.box), row.shown) << row.box << " " << row.text;
        EXPECT_EQ(params_.*row.param, QString::fromUtf8(row.shown).toInt()) << row.text;
        EXPECT_EQ(Last(), QString::fromUtf8(row.prompt)) << row.text; // the prompt comes last
        EXPECT_EQ(Pending(), kNothingPending);
    }
    // A lone minus shows nothing at all.
    Reset();
    Paste(idc::RollMin, "-");
    EXPECT_TRUE(status_.texts.isEmpty());
}

struct CrossCheckRow
{
    int rollMax, rollMin, tiltMax, tiltMin;
    int focus;
    QString message;
    bool uploaded;
};

TEST_F(EditingTest, EnterInALimitBoxChecksBothAxes)
{
    const CrossCheckRow rows[] = {
        {0, 0, 80, -80, idc::RollMax, kRollCrossed, false},
        {10, 20, 80, -80, idc::TiltMin, kRollCrossed, false},
        {30, -30, 0, 0, idc::RollMin, kPitchCrossed, false}, // tilt checked from a roll box
        {30, -30, -10, 5, idc::TiltMax, kPitchCrossed, false},
        {30, -30, 80, -80, idc::TiltMax, kLimitsUploaded, true},
        {2, 0, 2, 0, idc::RollMax, kLimitsUploaded, true},
        // Compared as the controller holds them: 1 arrives as 0.
        {1, 0, 80, -80, idc::RollMax, kRollCrossed, false},
        {30, -30, 1, -1, idc::TiltMin, kPitchCrossed, false},
    };
    for (const CrossCheckRow& row : rows) {
        params_ = ControllerParams{};
        Show({{idc::RollMax, row.rollMax},
              {idc::RollMin, row.rollMin},
              {idc::TiltMax, row.tiltMax},
              {idc::TiltMin, row.tiltMin},
              {idc::RollRcSensitivity, 66}});
        Reset();
        Enter(row.focus);
        EXPECT_TRUE(Shown(row.message)) << status_.texts.join('|').toStdString();
        EXPECT_EQ(Pending(), row.uploaded ? std::uint8_t{kTypeGains} : kNothingPending) << row.focus;
        if (row.uploaded) {
            EXPECT_EQ(params_.ROLL_MAX, row.rollMax);
            EXPECT_EQ(params_.ROLL_MIN, row.rollMin);
            EXPECT_EQ(params_.PITCH_MAX, row.tiltMax);
            EXPECT_EQ(params_.PITCH_MIN, row.tiltMin);
            EXPECT_EQ(params_.ROLL_RC_ACC, 66); // stored with them
        } else {
            EXPECT_EQ(params_, ControllerParams{}) << "nothing stored on a failed check";
        }
        for (const QString& text : status_.texts)
            EXPECT_FALSE(text.contains(QStringLiteral("not in range"))) << text.toStdString();
    }
}

TEST_F(EditingTest, OutOfRangeLimitFromTheControllerIsStoredThenReportedAndClamped)
{
    Show({{idc::RollMax, 60}, {idc::RollMin, -30}, {idc::TiltMax, 80}, {idc::TiltMin, -200}});
    Reset();
    view_.Focus(idc::RollMax, false);
    QTest::keyPress(view_.Control(idc::RollMax), Qt::Key_Return);
    EXPECT_EQ(params_.ROLL_MAX, 60); // stored before the range check
    EXPECT_EQ(params_.PITCH_MIN, -200);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_TRUE(Shown(kLimitsUploaded));
    EXPECT_EQ(Last(), QStringLiteral("$INKred$Max roll angle not in range, please modify!"));
    EXPECT_EQ(view_.Text(idc::RollMax), "45");
    EXPECT_EQ(view_.Text(idc::TiltMin), "-200"); // only the focused box is checked
    // The release commits again, now with the clamped value, which the
    // controller holds as 44.
    QTest::keyRelease(view_.Control(idc::RollMax), Qt::Key_Return);
    EXPECT_EQ(params_.ROLL_MAX, 44);
    EXPECT_EQ(view_.Text(idc::RollMax), "44");
    EXPECT_EQ(Last(), kLimitsUploaded);

    // Failing the cross-check does not skip the range check.
    Show({{idc::TiltMin, -200}, {idc::TiltMax, -300}});
    Reset();
    view_.Focus(idc::TiltMin, false);
    QTest::keyPress(view_.Control(idc::TiltMin), Qt::Key_Return);
    EXPECT_TRUE(Shown(kPitchCrossed));
    EXPECT_EQ(Last(), QStringLiteral("$INKred$Min tilt angle not in range, please modify!"));
    EXPECT_EQ(view_.Text(idc::TiltMin), "-135");
    EXPECT_EQ(params_.PITCH_MIN, -200);
    QTest::keyRelease(view_.Control(idc::TiltMin), Qt::Key_Return);
}

// An angle limit travels as half its value in one byte: after Enter every
// limit box shows what the controller will hold, and that is what is stored.
TEST_F(EditingTest, AfterEnterTheLimitBoxesShowWhatTheControllerHolds)
{
    using P = ControllerParams;
    const struct
    {
        int box;
        std::int32_t P::*param;
        const char* typed;
        const char* held;
    } rows[] = {
        {idc::RollMax, &P::ROLL_MAX, "45", "44"},     {idc::RollMin, &P::ROLL_MIN, "-45", "-44"},
        {idc::TiltMax, &P::PITCH_MAX, "89", "88"},    {idc::TiltMin, &P::PITCH_MIN, "-135", "-134"},
        {idc::RollMax, &P::ROLL_MAX, "44", "44"},     {idc::TiltMax, &P::PITCH_MAX, "3", "2"},
    };
    for (const auto& row : rows) {
        Show({{idc::RollMax, 30}, {idc::RollMin, -30}, {idc::TiltMax, 80}, {idc::TiltMin, -80}});
        Reset();
        Type(row.box, QString::fromUtf8(row.typed));
        EXPECT_EQ(view_.Text(row.box), row.typed) << "typing shows what was typed";
        Enter(row.box);
        EXPECT_EQ(view_.Text(row.box), row.held) << row.typed;
        EXPECT_EQ(params_.*row.param, QString::fromUtf8(row.held).toInt()) << row.typed;
        EXPECT_EQ(Pending(), kTypeGains);
        EXPECT_EQ(Last(), kLimitsUploaded);
    }
    // An odd limit in another box is shown as held too, since it went with
    // the upload.
    Show({{idc::RollMax, 31}, {idc::RollMin, -31}, {idc::TiltMax, 81}, {idc::TiltMin, -81}});
    Enter(idc::TiltMin);
    EXPECT_EQ(view_.Text(idc::RollMax), "30");
    EXPECT_EQ(view_.Text(idc::RollMin), "-30");
    EXPECT_EQ(view_.Text(idc::TiltMax), "80");
    EXPECT_EQ(params_.PITCH_MIN, -80);
}

// ---- RC sensitivity ----------------------------------------------------------------

TEST_F(EditingTest, RcSensitivityIsClampedWhenTypedAndOnEnter)
{
    Reset();
    Type(idc::TiltRcSensitivity, "150");
    EXPECT_EQ(view_.Text(idc::TiltRcSensitivity), "100");
    EXPECT_EQ(params_.PITCH_RC_ACC, 100);
    EXPECT_EQ(Last(),
              QStringLiteral("$INKgreen$Tilt RC sensitivity input range(0~100), please push 'return' key!"));
    EXPECT_EQ(Pending(), kNothingPending);

    // 150 from the controller, limits crossed: Enter stores both anyway.
    Show({{idc::RollRcSensitivity, 150}, {idc::RollMax, -10}, {idc::RollMin, 10}});
    Reset();
    Enter(idc::RollRcSensitivity);
    EXPECT_EQ(view_.Text(idc::RollRcSensitivity), "100");
    EXPECT_EQ(params_.ROLL_RC_ACC, 100);
    EXPECT_EQ(params_.ROLL_MAX, -10);
    EXPECT_EQ(params_.ROLL_MIN, 10);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_EQ(Last(), QStringLiteral("$INKblue$Roll RC sensitivity uploaded successfully!"));
}

// ---- initial angles ----------------------------------------------------------------

struct InitAngleRow
{
    int box;
    const char* text;
    const char* shown;
    std::int32_t tenths;
};

TEST_F(EditingTest, InitialAnglesAreClampedAndRoundedHalfAwayFromZeroOnEnter)
{
    const InitAngleRow rows[] = {
        {idc::InitTiltAngle, "100", "90", 900},        {idc::InitTiltAngle, "12.35", "12.35", 124},
        {idc::InitTiltAngle, "-0.05", "-0.05", -1},    {idc::InitTiltAngle, "-200", "-135", -1350},
        {idc::InitTiltAngle, "0.04", "0.04", 0},       {idc::InitTiltAngle, "1e1", "10", 100},
        {idc::InitRollAngle, "-50", "-45", -450},      {idc::InitRollAngle, "44.95", "44.95", 450},
        {idc::InitRollAngle, " -3.25 ", "-3.25", -33},
    };
    for (const InitAngleRow& row : rows) {
        params_.INIT_PITCH = params_.INIT_ROLL = 7777;
        Reset();
        Type(row.box, QString::fromUtf8(row.text));
        // Typing changes neither the box nor the parameter.
        EXPECT_EQ(view_.Text(row.box), row.text);
        EXPECT_EQ(params_.INIT_PITCH, 7777);
        EXPECT_EQ(Pending(), kNothingPending);
        Enter(row.box);
        EXPECT_EQ(view_.Text(row.box), row.shown) << row.text;
        const std::int32_t stored = row.box == idc::InitTiltAngle ? params_.INIT_PITCH : params_.INIT_ROLL;
        EXPECT_EQ(stored, row.tenths) << row.text;
        EXPECT_NE(params_.INIT_PITCH, 7777); // both angles are always stored
        EXPECT_NE(params_.INIT_ROLL, 7777);
        EXPECT_EQ(Pending(), kTypeGains);
        EXPECT_EQ(Last(), row.box == idc::InitTiltAngle
                              ? QStringLiteral("$INKblue$初始俯仰角度参数已上传！")
                              : QStringLiteral("$INKblue$初始滚转角度参数已上传！"));
    }
}

TEST_F(EditingTest, UnreadableInitialAngleKeepsTheOldAngleAndStillUploads)
{
    view_.Values().Float(idc::InitTiltAngle) = 12.5f;
    view_.ShowAllValues();
    Reset();
    Type(idc::InitTiltAngle, "abc");
    EXPECT_EQ(Last(),
              QStringLiteral("$INKgreen$Init tilt angle input range(-135~90), please push 'return' key!"));
    Enter(idc::InitTiltAngle);
    ASSERT_FALSE(prompts_.messages.isEmpty());
    EXPECT_EQ(prompts_.messages[0].text, CUARTView::FloatParseMessage());
    EXPECT_EQ(params_.INIT_PITCH, 125);
    EXPECT_EQ(Pending(), kTypeGains);
}

TEST_F(EditingTest, AHugeAngleInTheOtherBoxIsStoredSaturated)
{
    Paste(idc::InitRollAngle, "3e38");
    Type(idc::InitTiltAngle, "5");
    Enter(idc::InitTiltAngle);
    EXPECT_EQ(params_.INIT_PITCH, 50);
    EXPECT_EQ(params_.INIT_ROLL, std::numeric_limits<std::int32_t>::max());
}

// ---- motor direction, servo centres ---------------------------------------------------

TEST_F(EditingTest, MotorReverseTogglesBetweenReversedAndNormal)
{
    struct Row
    {
        int box;
        std::int8_t ControllerParams::*param;
        const char* reversed;
        const char* normal;
    };
    const Row rows[] = {
        {idc::RollMotorReverse, &ControllerParams::ROLL_SERVO_REV,
         "$INKblue$Roll motor reverse direction uploaded successfully!",
         "$INKblue$Roll motor norm direction uploaded successfully!"},
        {idc::TiltMotorReverse, &ControllerParams::PITCH_SERVO_REV,
         "$INKblue$Tilt motor reverse direction uploaded successfully!",
         "$INKblue$Tilt motor norm direction uploaded successfully!"},
    };
    for (const Row& row : rows) {
        Reset();
        Click(row.box);
        EXPECT_EQ(params_.*row.param, -1);
        EXPECT_EQ(Last(), QString::fromUtf8(row.reversed));
        EXPECT_EQ(Pending(), kTypeGains);
        Reset();
        Click(row.box);
        EXPECT_EQ(params_.*row.param, 1);
        EXPECT_EQ(Last(), QString::fromUtf8(row.normal));
        EXPECT_EQ(Pending(), kTypeGains);
    }
    EXPECT_EQ(params_.YAW_SERVO_REV, 0); // the hidden one was never touched
}

TEST_F(EditingTest, ServoCentresAreClampedAndStoredAsTyped)
{
    // Hidden boxes: only the program's own writes reach them.
    Paste(idc::RollServoCenter, "-600");
    EXPECT_EQ(view_.Text(idc::RollServoCenter), "-500");
    EXPECT_EQ(params_.ROLL_SERVO_CENTER, -500);
    EXPECT_EQ(Last(), QStringLiteral("$INKgreen$滚转舵机中立点输入范围(-500~500)，请按回车键上传！"));
    Paste(idc::PanServoCenter, "123");
    EXPECT_EQ(params_.YAW_SERVO_CENTER, 123);
    // A direction click stores the centres as the screen holds them.
    view_.Values().Int(idc::TiltServoCenter) = -77;
    Click(idc::TiltMotorReverse);
    EXPECT_EQ(params_.PITCH_SERVO_CENTER, -77);
}

// ---- commands ----------------------------------------------------------------------

TEST_F(EditingTest, CommandButtonsSetTheirCodeWithPlainPolls)
{
    struct Row
    {
        int button;
        std::uint8_t code;
        const char* message;
    };
    const Row rows[] = {
        {idc::MotorOn, kCmdMotorOn, "$INKgreen$Motor on mode openning..."},
        {idc::MotorOn, kCmdMotorOn, "$INKgreen$Motor on mode openning..."}, // again, already selected
        {idc::MotorOff, kCmdMotorOff, "$INKgreen$Motor off mode openning..."},
        {idc::CalibrateSensors, kCmdCalibrate, "$INKgreen$Calibrate sensors..."},
    };
    for (const Row& row : rows) {
        Reset();
        view_.Link().commandCode = kCmdNone;
        view_.Link().pendingFrameType = kTypeLimits; // in the middle of an upload
        Click(row.button);
        EXPECT_EQ(view_.Link().commandCode, row.code) << row.button;
        EXPECT_EQ(Pending(), kTypePoll);
        EXPECT_EQ(status_.texts, QStringList({"", QString::fromUtf8(row.message)}));
    }
    EXPECT_FALSE(view_.Checked(idc::MotorOn));
    EXPECT_TRUE(view_.Checked(idc::MotorOff));
}

TEST_F(EditingTest, WriteToFlashStoresEverythingEvenCrossedLimitsAndUploads)
{
    Show({{idc::RollTotal, 123},
          {idc::RollMax, -20},
          {idc::RollMin, 20},
          {idc::TiltServoCenter, 45},
          {idc::PanRcSensitivity, 9}});
    view_.Values().Float(idc::InitRollAngle) = 3.0f;
    view_.ShowAllValues();
    params_.INIT_ROLL = 11;
    Reset();
    Click(idc::WriteSettingsToFlash);
    EXPECT_TRUE(view_.Link().flashWritePending);
    EXPECT_EQ(params_.ROLL_TOTAL, 123);
    EXPECT_EQ(params_.ROLL_MAX, -20);
    EXPECT_EQ(params_.ROLL_MIN, 20);
    EXPECT_EQ(params_.PITCH_SERVO_CENTER, 45);
    EXPECT_EQ(params_.YAW_RC_ACC, 9);
    EXPECT_EQ(params_.INIT_ROLL, 11); // the angles go as last stored
    EXPECT_EQ(Slider(idc::RollTotalSlider)->value(), 123);
    EXPECT_EQ(Pending(), kTypeGains);
    EXPECT_EQ(Last(), QStringLiteral("$INKgreen$Writting setting to flash..."));
}

// ---- lists ---------------------------------------------------------------------------

TEST_F(EditingTest, ReceiverTypeNoticeOnlyOnARealChange)
{
    params_.RECEIVER_TYPE = 1;
    Reset();
    Choose(idc::ReceiverType, 0); // the stored one
    EXPECT_EQ(prompts_.receiverNotices, 0);
    EXPECT_TRUE(status_.texts.isEmpty());
    EXPECT_EQ(Pending(), kTypeGains);

    Reset();
    Choose(idc::ReceiverType, 1); // "Futaba SBUS"
    EXPECT_EQ(params_.RECEIVER_TYPE, 2);
    EXPECT_EQ(prompts_.receiverNotices, 1);
    EXPECT_EQ(Last(), QStringLiteral("$INKblue$Receiver type uploaded successfully!"));
    EXPECT_EQ(Pending(), kTypeGains);

    Reset();
    Choose(idc::ReceiverType, 8);
    EXPECT_EQ(params_.RECEIVER_TYPE, 9);
    EXPECT_EQ(prompts_.receiverNotices, 2);
}

TEST_F(EditingTest, MountAndDefaultModeStoreTheirValues)
{
    struct Row
    {
        int list, index;
        std::uint8_t ControllerParams::*param;
        std::uint8_t value;
        const char* message;
    };
    const Row rows[] = {
        {idc::SensorModuleMount, 2, &ControllerParams::INSTALL_MODE, 3,
         "$INKblue$Sensor module mounted face down!"},
        {idc::SensorModuleMount, 0, &ControllerParams::INSTALL_MODE, 2,
         "$INKblue$Velsor Gopro brushless motor gimbal!"},
        {idc::SensorModuleMount, 1, &ControllerParams::INSTALL_MODE, 1,
         "$INKblue$Sensor module mounted face up!"},
        {idc::DefaultMode, 1, &ControllerParams::DEFAULT_MODE, 2,
         "$INKblue$Set default rc mode:stick position mode"},
        {idc::DefaultMode, 0, &ControllerParams::DEFAULT_MODE, 1,
         "$INKblue$Set default rc mode:stick rate mode"},
    };
    for (const Row& row : rows) {
        Reset();
        Choose(row.list, row.index);
        EXPECT_EQ(params_.*row.param, row.value) << row.list << ":" << row.index;
        EXPECT_EQ(status_.texts, QStringList({"", QString::fromUtf8(row.message)}));
        EXPECT_EQ(Pending(), kTypeGains);
    }
}

// ---- without a controller ----------------------------------------------------------

TEST_F(EditingTest, WithoutAControllerNothingIsShownButValuesChange)
{
    view_.Link().linkEstablished = false;
    Type(idc::RollTotal, "600");
    Enter(idc::RollTotal);
    Click(idc::RollMotorReverse);
    Choose(idc::DefaultMode, 1);
    Click(idc::MotorOn);
    EXPECT_TRUE(status_.texts.isEmpty());
    EXPECT_EQ(params_.ROLL_TOTAL, 500);
    EXPECT_EQ(Slider(idc::RollTotalSlider)->value(), 500);
    EXPECT_EQ(params_.ROLL_SERVO_REV, -1);
    EXPECT_EQ(params_.DEFAULT_MODE, 2);
    EXPECT_EQ(view_.Link().commandCode, kCmdMotorOn);

    // The receiver notice is shown all the same.
    Choose(idc::ReceiverType, 3);
    EXPECT_EQ(prompts_.receiverNotices, 1);
    EXPECT_TRUE(status_.texts.isEmpty());
}

// ---- the parameter table --------------------------------------------------------

// Every box clamps typed values to its parameter's row of the table, so a
// range changed there changes the screen with it.
TEST_F(EditingTest, TypedValuesStopAtTheTablesRanges)
{
    using namespace edit;
    struct Box
    {
        int box;
        ValueRange typing;
    };
    std::vector<Box> boxes;
    for (const GainRow& g : kGains)
        boxes.push_back({g.box, Rules(g.param).typing});
    for (const auto& rc : kRcSensitivities)
        boxes.push_back({rc.box, Rules(rc.param).typing});
    for (const auto& c : kServoCenters)
        boxes.push_back({c.box, Rules(c.param).typing});
    for (const LimitRow& l : kLimits)
        boxes.push_back({l.box, Rules(l.param).typing});
    for (const Box& b : boxes) {
        for (const std::int64_t typed : {b.typing.high + 1, b.typing.low - 1}) {
            Paste(b.box, QString::number(typed));
            EXPECT_EQ(view_.Text(b.box), QString::number(b.typing.Clamp(typed))) << b.box << " " << typed;
        }
    }
    // Initial angles are clamped on Enter, in degrees.
    for (const edit::InitAngleRow& a : kInitAngles) {
        const ControllerParamRow& row = Rules(a.param);
        Paste(a.box, QString::number(row.range.high / row.scale + 1));
        Enter(a.box);
        EXPECT_EQ(params_.*a.param, row.range.high) << a.box;
    }
}

// ---- reading the boxes ---------------------------------------------------------------

// A reading parses only the boxes that changed, and gives the values a
// reading of every box would: the boxes' texts win over values the program
// set without showing them, and a box that does not parse stops the reading
// at the same place every time.
TEST_F(EditingTest, ReadingTheBoxesGivesTheBoxesValues)
{
    Show({{idc::RollTotal, 120}, {idc::TiltInt, 30}, {idc::RollMax, 20}});
    view_.Values().Int(idc::RollTotal) = 77; // set, not shown
    EXPECT_TRUE(view_.ReadAllBoxes());
    EXPECT_EQ(view_.Values().Int(idc::RollTotal), 120);

    view_.Values().Float(idc::InitRollAngle) = 12.3456789f;
    view_.ShowAllValues(); // shows 12.3457, which the next reading takes
    EXPECT_TRUE(view_.ReadAllBoxes());
    EXPECT_EQ(view_.Values().Float(idc::InitRollAngle), 12.3457f);

    // A box that does not parse (here the RC monitor's, which no change
    // reaction mends) stops every reading before the boxes after it, until
    // it is mended.
    const auto setText = [&](int box, const char* text) {
        qobject_cast<QLineEdit*>(view_.Control(box))->setText(QString::fromUtf8(text));
    };
    setText(idc::InitRollAngle, "7"); // read on Enter only
    setText(idc::RcTilt, "x");
    for (int reading = 0; reading < 2; ++reading) {
        prompts_.messages.clear();
        EXPECT_FALSE(view_.ReadAllBoxes());
        ASSERT_EQ(prompts_.messages.size(), 1);
        EXPECT_EQ(prompts_.messages[0].text, CUARTView::IntParseMessage());
        EXPECT_EQ(view_.Values().Float(idc::InitRollAngle), 12.3457f);
    }
    setText(idc::RcTilt, "5");
    EXPECT_TRUE(view_.ReadAllBoxes());
    EXPECT_EQ(view_.Values().Int(idc::RcTilt), 5);
    EXPECT_EQ(view_.Values().Float(idc::InitRollAngle), 7.0f);
}

} // namespace
} // namespace qav
