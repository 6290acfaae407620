// Edits and commands of the main screen against the simulated controller on
// a real pseudo-terminal: what the user changes on the screen must arrive
// in the controller's working parameter set byte for byte once the upload
// sequence has run, and the commands must come back with their results.
#include "view/UARTView.h"

#include "Simulator.h"
#include "files/ConfigFile.h"
#include "view/ControlIds.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "gui_support/DriveLink.h"
#include "support/ParamsPrinter.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace qav {

namespace {

using namespace std::chrono_literals;
constexpr int kCom = 172;

const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");
const QString kMotorOnRefused = QStringLiteral(
    "$INKred$Motor on failed! Please check angle limitation and gains(any gain item can't be zero)!");
const QString kFlashDone = QStringLiteral("$INKblue$Write setting to flash successfully!");
const QString kFlashFailed = QStringLiteral("$INKblue$Write setting to flash failed!");

// What the controller holds after an upload of `pc`: limits travel halved
// (an odd one comes back one degree closer to zero), initial angles as 16
// bits, and the servo centres, servo types and control modes are never sent.
ControllerParams OnDevice(ControllerParams pc, const ControllerParams& device)
{
    for (std::int32_t ControllerParams::*limit : {&ControllerParams::ROLL_MAX, &ControllerParams::ROLL_MIN,
                                                  &ControllerParams::PITCH_MAX, &ControllerParams::PITCH_MIN})
        pc.*limit = LimitFromWire(LimitToWire(pc.*limit));
    pc.INIT_PITCH = static_cast<std::int16_t>(pc.INIT_PITCH);
    pc.INIT_ROLL = static_cast<std::int16_t>(pc.INIT_ROLL);
    pc.ROLL_SERVO_CENTER = device.ROLL_SERVO_CENTER;
    pc.PITCH_SERVO_CENTER = device.PITCH_SERVO_CENTER;
    pc.YAW_SERVO_CENTER = device.YAW_SERVO_CENTER;
    pc.ROLL_SERVO_TYPE = device.ROLL_SERVO_TYPE;
    pc.PITCH_SERVO_TYPE = device.PITCH_SERVO_TYPE;
    pc.YAW_SERVO_TYPE = device.YAW_SERVO_TYPE;
    pc.ROLL_CTRL_MODE = device.ROLL_CTRL_MODE;
    pc.PITCH_CTRL_MODE = device.PITCH_CTRL_MODE;
    pc.YAW_CTRL_MODE = device.YAW_CTRL_MODE;
    return pc;
}

class EditUploadTest : public ::testing::Test
{
protected:
    // One simulated controller for the whole suite; every test reads the
    // device's set back when it connects.
    static void SetUpTestSuite()
    {
        ports_ = new test::ScopedPortsDir;
        sim::SimulatorConfig config;
        config.controllerCom = kCom;
        config.flashPath = ports_->Scratch() + "/flash.bgsc";
        config.calibrationTime = 100ms;
        sim_ = new sim::Simulator(config);
        const Result started = sim_->Start();
        ASSERT_TRUE(started) << started.message;
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
        delete ports_;
        ports_ = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(sim_, nullptr);
        view_ = std::make_unique<CUARTView>(params_, &status_, prompts_);
        view_->OnInitialUpdate();
        ASSERT_TRUE(test::ShowActive(view_.get()));
        ASSERT_EQ(view_->ComPortNumber(), kCom);
        Click(idc::OpenComPort);
        ASSERT_TRUE(WaitShown(kAllUpdated)) << status_.texts.join('\n').toStdString();
        ASSERT_EQ(params_, sim_->ControllerWorkingParams());
        deviceBefore_ = sim_->ControllerWorkingParams();
    }
    void TearDown() override { view_.reset(); }

    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(view_->Control(id)); }
    void Type(int id, const QString& text)
    {
        view_->Focus(id, false);
        Box(id)->clear();
        QTest::keyClicks(Box(id), text);
    }
    void Enter(int id)
    {
        view_->Focus(id, false);
        QTest::keyClick(view_->Control(id), Qt::Key_Return);
    }
    void TypeAndEnter(int id, const QString& text)
    {
        Type(id, text);
        Enter(id);
    }
    void Click(int id) { qobject_cast<QAbstractButton*>(view_->Control(id))->click(); }
    void Choose(int list, int index)
    {
        view_->SetSelection(list, index);
        emit qobject_cast<QComboBox*>(view_->Control(list))->activated(index);
    }
    // What the screen and the controller do, they do as the test ticks the
    // link, each tick answered: a slow machine cannot make the link look lost
    // in the middle of an upload.
    template <class Condition> bool Until(Condition condition)
    {
        return test::DriveLink(view_->PortLink(), condition);
    }
    bool WaitShown(const QString& text, int fromIndex = 0)
    {
        return Until([&] { return status_.texts.indexOf(text, fromIndex) >= 0; });
    }
    // Waits until the controller holds what the screen uploaded. The
    // screen's set must differ from what the device held before the edits,
    // or the wait would find it at once and show nothing.
    void ExpectUploaded()
    {
        const ControllerParams want = OnDevice(params_, sim_->ControllerWorkingParams());
        ASSERT_NE(want, deviceBefore_) << "the edits changed nothing the controller holds";
        EXPECT_TRUE(Until([&] { return sim_->ControllerWorkingParams() == want; }));
        EXPECT_EQ(sim_->ControllerWorkingParams(), want);
        deviceBefore_ = want;
        // The device holds the values as soon as it has heard the last
        // quarter; its answer is still on the way. The next edit must come
        // after the screen has taken it, as a person's would: an answer that
        // ends the chain after a new upload was chosen would end that one.
        EXPECT_TRUE(Until([&] { return view_->Link().pendingFrameType == kTypePoll; }));
    }

    static test::ScopedPortsDir* ports_;
    static sim::Simulator* sim_;
    ControllerParams params_;
    ControllerParams deviceBefore_; // what the controller held before the latest edits
    test::RecordingStatus status_;
    test::FakePrompts prompts_;
    std::unique_ptr<CUARTView> view_;
};

test::ScopedPortsDir* EditUploadTest::ports_ = nullptr;
sim::Simulator* EditUploadTest::sim_ = nullptr;

TEST_F(EditUploadTest, EditsReachTheControllerByteForByte)
{
    const ControllerParams before = sim_->ControllerWorkingParams();
    struct Step
    {
        int box;
        const char* text;
    };
    // Gains; odd limits, which travel one degree short; RC sensitivities;
    // initial angles, rounded half away from zero.
    const Step steps[] = {
        {idc::RollTotal, "211"},        {idc::RollVel, "212"},          {idc::RollInt, "213"},
        {idc::RollAcc, "214"},          {idc::TiltTotal, "215"},        {idc::TiltVel, "216"},
        {idc::TiltInt, "217"},          {idc::TiltAcc, "218"},          {idc::RollMax, "43"},
        {idc::RollMin, "-41"},          {idc::TiltMax, "87"},           {idc::TiltMin, "-133"},
        {idc::RollRcSensitivity, "77"}, {idc::TiltRcSensitivity, "66"}, {idc::InitTiltAngle, "12.35"},
        {idc::InitRollAngle, "-0.05"},
    };
    for (const Step& step : steps)
        Type(step.box, QString::fromUtf8(step.text));
    // Each kind of box commits its own way; one Enter in each.
    for (int box :
         {idc::TiltAcc, idc::TiltMin, idc::TiltRcSensitivity, idc::InitTiltAngle, idc::InitRollAngle})
        Enter(box);
    EXPECT_EQ(params_.INIT_PITCH, 124);
    EXPECT_EQ(params_.INIT_ROLL, -1);
    ExpectUploaded();

    Click(idc::RollMotorReverse);
    Click(idc::TiltMotorReverse);
    Choose(idc::SensorModuleMount, 2);
    Choose(idc::DefaultMode, before.DEFAULT_MODE == 1 ? 1 : 0);
    Choose(idc::ReceiverType, before.RECEIVER_TYPE == 5 ? 5 : 4);
    EXPECT_EQ(prompts_.receiverNotices, 1);
    ExpectUploaded();

    const ControllerParams device = sim_->ControllerWorkingParams();
    EXPECT_NE(device, before);
    EXPECT_EQ(device.ROLL_TOTAL, 211);
    EXPECT_EQ(device.PITCH_ACC, 218);
    EXPECT_EQ(device.ROLL_MAX, 42);
    EXPECT_EQ(device.ROLL_MIN, -40);
    EXPECT_EQ(device.PITCH_MIN, -132);
    EXPECT_EQ(device.INIT_PITCH, 124);
    EXPECT_EQ(device.INSTALL_MODE, 3);
    EXPECT_EQ(device.ROLL_SERVO_REV, before.ROLL_SERVO_REV == -1 ? 1 : -1);

    // Read back on a new connection, the limits come back even.
    status_.texts.clear();
    Click(idc::OpenComPort);
    ASSERT_TRUE(WaitShown(kAllUpdated));
    EXPECT_EQ(view_->Text(idc::RollMax), "42");
    EXPECT_EQ(view_->Text(idc::TiltMax), "86");
    EXPECT_EQ(view_->Text(idc::InitTiltAngle), "12.4");
    EXPECT_EQ(view_->Selection(idc::SensorModuleMount), 2);
}

TEST_F(EditUploadTest, MotorOnIsRefusedWithAZeroGain)
{
    const std::uint16_t velocity = params_.ROLL_VEL;
    TypeAndEnter(idc::RollVel, "0");
    ExpectUploaded();
    ASSERT_EQ(sim_->ControllerWorkingParams().ROLL_VEL, 0);

    QList<bool> motorOn; // every change of "Motor On"
    QObject::connect(qobject_cast<QAbstractButton*>(view_->Control(idc::MotorOn)), &QAbstractButton::toggled,
                     [&](bool checked) { motorOn << checked; });
    Click(idc::MotorOn);
    EXPECT_EQ(status_.texts.last(), QStringLiteral("$INKgreen$Motor on mode openning..."));
    ASSERT_TRUE(WaitShown(kMotorOnRefused)) << status_.texts.join('\n').toStdString();
    // Checked by the click (and again by the result if an answer unchecked it
    // meanwhile), then cleared by the motor state that follows.
    EXPECT_TRUE(Until([&] { return view_->Checked(idc::MotorOff); }));
    ASSERT_GE(motorOn.size(), 2);
    EXPECT_EQ(motorOn.first(), true);
    EXPECT_EQ(motorOn.last(), false);
    EXPECT_FALSE(view_->Checked(idc::MotorOn));
    EXPECT_FALSE(sim_->ControllerMotorsOn());
    EXPECT_EQ(view_->Link().commandCode, kCmdNone);

    TypeAndEnter(idc::RollVel, QString::number(velocity == 0 ? 80 : velocity));
    ExpectUploaded();
}

TEST_F(EditUploadTest, MotorOnAndOffAreCarriedOut)
{
    ASSERT_FALSE(sim_->ControllerMotorsOn());
    int from = static_cast<int>(status_.texts.size());
    Click(idc::MotorOn);
    ASSERT_TRUE(WaitShown(QStringLiteral("$INKblue$Motor on successfully!"), from));
    EXPECT_TRUE(sim_->ControllerMotorsOn());
    EXPECT_TRUE(view_->Checked(idc::MotorOn));
    EXPECT_FALSE(view_->Checked(idc::MotorOff));
    // The mount cannot change while the motors run.
    EXPECT_TRUE(Until([&] { return !view_->Enabled(idc::SensorModuleMount); }));
    EXPECT_EQ(view_->Link().commandCode, kCmdNone);

    from = static_cast<int>(status_.texts.size());
    Click(idc::MotorOff);
    ASSERT_TRUE(WaitShown(QStringLiteral("$INKblue$Motor off successfully!"), from));
    EXPECT_FALSE(sim_->ControllerMotorsOn());
    EXPECT_TRUE(view_->Checked(idc::MotorOff));
    EXPECT_TRUE(Until([&] { return view_->Enabled(idc::SensorModuleMount); }));
}

TEST_F(EditUploadTest, CalibrationReportsItsResult)
{
    Click(idc::CalibrateSensors);
    EXPECT_EQ(view_->Link().commandCode, kCmdCalibrate);
    ASSERT_TRUE(WaitShown(QStringLiteral("$INKblue$Sensors calibrated successfully!")));
    EXPECT_EQ(view_->Link().commandCode, kCmdNone);
}

TEST_F(EditUploadTest, WriteToFlashUploadsThenWrites)
{
    TypeAndEnter(idc::TiltVel, QString::number(params_.PITCH_VEL == 123 ? 124 : 123));
    Type(idc::RollRcSensitivity, QString::number(params_.ROLL_RC_ACC == 55 ? 56 : 55)); // no Enter
    Click(idc::WriteSettingsToFlash);
    ASSERT_TRUE(WaitShown(kFlashDone)) << status_.texts.join('\n').toStdString();
    EXPECT_FALSE(view_->Link().flashWritePending);
    const ControllerParams want = OnDevice(params_, sim_->ControllerWorkingParams());
    EXPECT_EQ(sim_->ControllerWorkingParams(), want);
    EXPECT_EQ(sim_->ControllerFlashParams(), want);
}

TEST_F(EditUploadTest, ARefusedFlashWriteIsIssuedAgainAfterTheNextUpload)
{
    const ControllerParams flashBefore = sim_->ControllerFlashParams();
    sim_->RefuseFlashWrites(sim::DeviceKind::Controller, 1);
    TypeAndEnter(idc::RollAcc, QString::number(params_.ROLL_ACC == 61 ? 62 : 61));
    Click(idc::WriteSettingsToFlash);
    ASSERT_TRUE(WaitShown(kFlashFailed));
    EXPECT_TRUE(view_->Link().flashWritePending);
    EXPECT_EQ(sim_->ControllerFlashParams(), flashBefore);
    EXPECT_EQ(status_.Count(kFlashDone), 0);

    // Any later upload, here a slider released by the keyboard and mouse,
    // ends with the flash write.
    const int from = static_cast<int>(status_.texts.size());
    auto* slider = qobject_cast<QSlider*>(view_->Control(idc::TiltIntSlider));
    view_->Focus(idc::TiltIntSlider, false);
    QTest::keyClick(slider, slider->value() < 500 ? Qt::Key_Right : Qt::Key_Left);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(1, slider->height() / 2));
    ASSERT_TRUE(WaitShown(kFlashDone, from)) << status_.texts.join('\n').toStdString();
    EXPECT_FALSE(view_->Link().flashWritePending);
    EXPECT_EQ(sim_->ControllerFlashParams(), OnDevice(params_, sim_->ControllerWorkingParams()));
    EXPECT_EQ(sim_->ControllerFlashParams().PITCH_INT, params_.PITCH_INT);
}

TEST_F(EditUploadTest, ASavedFileChangedOnDiskAndLoadedReachesTheController)
{
    test::TempDir dir;
    const QString path = QString::fromStdString(dir.File("tuning.bgsc"));
    prompts_.savePath = path;
    Click(idc::SaveConfig);
    ControllerParams saved;
    ASSERT_TRUE(LoadConfig(path.toStdString(), saved));
    EXPECT_EQ(saved.ROLL_TOTAL, params_.ROLL_TOTAL);

    // Someone edits the file by hand.
    std::string text = test::ReadWholeFile(path.toStdString());
    const auto replace = [&](const std::string& key, const std::string& value) {
        const std::size_t at = text.find(key + "=");
        if (at == std::string::npos)
            return false;
        const std::size_t end = text.find('\n', at);
        text.replace(at, end - at, key + "=" + value);
        return true;
    };
    ASSERT_TRUE(replace("ROLL_TOTAL", params_.ROLL_TOTAL == 333 ? "334" : "333"));
    ASSERT_TRUE(replace("PITCH_MIN", "-99"));
    ASSERT_TRUE(replace("ROLL_SERVO_REV", params_.ROLL_SERVO_REV == -1 ? "1" : "-1"));
    ASSERT_TRUE(replace("INIT_ROLL", "-123"));
    ASSERT_TRUE(replace("RECEIVER_TYPE", params_.RECEIVER_TYPE == 3 ? "4" : "3"));
    test::WriteWholeFile(path.toStdString(), text);

    ASSERT_TRUE(view_->Enabled(idc::LoadConfig));
    prompts_.openPath = path;
    Click(idc::LoadConfig);
    EXPECT_TRUE(status_.texts.last().startsWith(QStringLiteral(
        "$INKblue$Config file uploaded successfully! 5 values changed. Previous set kept in ")))
        << status_.texts.last().toStdString();
    EXPECT_EQ(view_->Text(idc::TiltMin), "-99");
    EXPECT_EQ(view_->Text(idc::InitRollAngle), "-12.3");
    EXPECT_EQ(prompts_.receiverNotices, 0); // a file changes the list without the notice
    ExpectUploaded();
    EXPECT_EQ(sim_->ControllerWorkingParams().PITCH_MIN, -98);
    EXPECT_EQ(sim_->ControllerWorkingParams().INIT_ROLL, -123);
}

} // namespace
} // namespace qav
