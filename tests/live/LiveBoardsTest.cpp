// The whole program against boards on real serial ports, as a user drives
// it: scripts/test-windows.sh runs it under Wine and on Linux against the
// simulator started as its own process, the ports named by
// QAV_LIVE_CONTROLLER and QAV_LIVE_MOTOR ("COM21"). Skipped without them.
// It types QAV_LIVE_ROLL_TOTAL into the roll gain and writes it to flash
// (the script then reads both boards back with the command-line tool),
// upgrades each board with the firmware files QAV_LIVE_CONTROLLER_FIRMWARE
// and QAV_LIVE_MOTOR_FIRMWARE, and saves pictures of the main window and
// the motor dialog into QAV_LIVE_SHOTS when that names a folder.
#include "app/MainFrame.h"
#include "app/UARTApp.h"
#include "platform/PortMap.h"
#include "ui/InkStatusBar.h"
#include "view/ControlIds.h"
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/UARTView.h"

#include "gui_support/Activate.h"
#include "gui_support/DriveLink.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace qav {
namespace {

QString Env(const char* name)
{
    return qEnvironmentVariable(name);
}

// As the screen shows it, into the file `name`: the window's pixels where
// the platform can read them back, else the widget drawn anew. Without the
// frame, which a display without a window manager leaves undrawn.
void SavePicture(QWidget* window, const char* name)
{
    const QString folder = Env("QAV_LIVE_SHOTS");
    if (folder.isEmpty())
        return;
    const QRect area = window->geometry();
    QPixmap image = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (image.isNull())
        image = window->grab();
    EXPECT_TRUE(image.save(folder + '/' + QString::fromUtf8(name))) << name;
}

void Click(QWidget* button)
{
    qobject_cast<QAbstractButton*>(button)->click();
}

// The list entry of port `number`, as the port list offers it.
int EntryOf(const FormHost& form, int list, int number)
{
    const QString name = QString::fromStdString(PortName(number)) + ' ';
    for (int i = 0; i < form.ItemCount(list); ++i)
        if (form.ItemText(list, i).startsWith(name))
            return i;
    return -1;
}

class LiveBoardsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        controllerPort = PortNumberFromName(Env("QAV_LIVE_CONTROLLER").toStdString());
        motorPort = PortNumberFromName(Env("QAV_LIVE_MOTOR").toStdString());
        if (controllerPort == 0 || motorPort == 0)
            GTEST_SKIP() << "no boards: QAV_LIVE_CONTROLLER and QAV_LIVE_MOTOR name their ports";
        app = std::make_unique<CUARTApp>(prompts, "qav-live-test-" +
                                                      std::to_string(QCoreApplication::applicationPid()));
        ASSERT_TRUE(app->InitInstance());
        // Typing goes to the active window, as a user's does.
        ASSERT_TRUE(test::ShowActive(app->MainFrame()));
        view = app->MainFrame()->View();
    }

    QString Status() const { return app->MainFrame()->StatusLine()->StatusText(); }

    // Opens the controller's port as --connect does and waits for its set.
    void Connect()
    {
        // Listed by the system's port list, as the user chooses it.
        EXPECT_TRUE(view->ConnectTo(controllerPort)) << "not in the COM list";
        ASSERT_TRUE(test::DriveLink(view->PortLink(), [&] { return Status() == kAllUpdated; }))
            << Status().toStdString();
    }

    const QString kAllUpdated = QStringLiteral("$INKblue$All parameters updated!");
    int controllerPort = 0;
    int motorPort = 0;
    test::FakePrompts prompts;
    std::unique_ptr<CUARTApp> app;
    CUARTView* view = nullptr;
};

TEST_F(LiveBoardsTest, MainScreenReadsShowsLiveTunesAndWritesToFlash)
{
    Connect();
    // Live: the attitude the board reports keeps changing on the screen.
    QSet<QString> rolls;
    ASSERT_TRUE(test::DriveLink(view->PortLink(), [&] {
        rolls.insert(view->Text(idc::AttitudeRoll));
        return rolls.size() >= 4;
    })) << rolls.size();

    const QString gain = Env("QAV_LIVE_ROLL_TOTAL");
    ASSERT_FALSE(gain.isEmpty());
    ASSERT_NE(view->Text(idc::RollTotal), gain) << "the board holds it already: the test would show nothing";
    view->Focus(idc::RollTotal, false);
    qobject_cast<QLineEdit*>(view->Control(idc::RollTotal))->clear();
    QTest::keyClicks(view->Control(idc::RollTotal), gain);
    QTest::keyClick(view->Control(idc::RollTotal), Qt::Key_Return);
    // The board acknowledged a set its flash does not hold.
    ASSERT_TRUE(test::DriveLink(view->PortLink(), [&] { return view->HasUnflashedChanges(); }));
    Click(view->Control(idc::WriteSettingsToFlash));
    ASSERT_TRUE(test::DriveLink(view->PortLink(), [&] {
        return Status() == QStringLiteral("$INKblue$Write setting to flash successfully!");
    })) << Status().toStdString();
    EXPECT_FALSE(view->HasUnflashedChanges());

    // Read back on a new connection.
    Connect();
    EXPECT_EQ(view->Text(idc::RollTotal), gain);
    ASSERT_TRUE(test::DriveTicks(view->PortLink(), 20));
    SavePicture(app->MainFrame(), "main-window.png");
}

TEST_F(LiveBoardsTest, MotorDialogReadsAndUpgradesTheMotorBoardThenTheControllerIsUpgraded)
{
    Connect();
    const QString motorFirmware = Env("QAV_LIVE_MOTOR_FIRMWARE");
    const QString controllerFirmware = Env("QAV_LIVE_CONTROLLER_FIRMWARE");
    ASSERT_FALSE(motorFirmware.isEmpty() || controllerFirmware.isEmpty());

    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CMotorConfigDlg*>(QApplication::activeModalWidget());
        if (dlg == nullptr)
            return ADD_FAILURE() << "no modal motor dialog";
        ran = true;
        FormHost& form = dlg->Form();
        QStringList statuses;
        QObject::connect(qobject_cast<QLineEdit*>(form.Control(mdc::Status)), &QLineEdit::textChanged,
                         [&](const QString& t) { statuses << t; });
        const auto shown = [&](const char* text) { return statuses.contains(QString::fromUtf8(text)); };
        const int entry = EntryOf(form, mdc::ComList, motorPort);
        EXPECT_GE(entry, 0) << "the motor board's port is not in the COM list";
        form.SetSelection(mdc::ComList, entry);
        emit qobject_cast<QComboBox*>(form.Control(mdc::ComList))->activated(entry);
        Click(form.Control(mdc::OpenComPort));
        EXPECT_TRUE(test::DriveLink(dlg->PortLink(), [&] { return shown("Motor parameters updated!"); }))
            << statuses.join(" | ").toStdString();
        EXPECT_FALSE(form.Text(mdc::PolMotor1).isEmpty());
        EXPECT_TRUE(test::DriveTicks(dlg->PortLink(), 20));
        SavePicture(dlg, "motor-dialog.png");

        prompts.openPath = motorFirmware;
        Click(form.Control(mdc::OpenFirmware));
        Click(form.Control(mdc::StartUpgrade));
        EXPECT_TRUE(test::WaitUntil([&] { return shown("Firmware upgraded successfully!"); }))
            << statuses.join(" | ").toStdString();
        dlg->close();
    });
    Click(view->Control(idc::MotorConfiguration));
    ASSERT_TRUE(ran);

    Connect();
    prompts.openPath = controllerFirmware;
    Click(view->Control(idc::OpenFirmware));
    Click(view->Control(idc::StartUpgrade));
    ASSERT_TRUE(test::WaitUntil([&] {
        return Status() == QStringLiteral("$INKblue$Firmware upgraded successfully!");
    })) << Status().toStdString();
}

} // namespace
} // namespace qav
