// The main screen's "Motor Configuration" button against both simulated
// boards: the controller link is taken down before the dialog runs
// modally, the status line says so before and after, the controller link
// stays closed afterwards, and the motor parameters outlive the dialog.
#include "view/UARTView.h"

#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/ControlIds.h"

#include "Simulator.h"

#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "gui_support/WaitUntil.h"
#include "support/ParamsPrinter.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace qav {
namespace {

constexpr int kControllerCom = 181;
constexpr int kMotorCom = 182;
const QString kGoToMotor =
    QStringLiteral("$INKblue$Go to motor configuration, please connect to motor config port!");
const QString kBackToMain =
    QStringLiteral("$INKblue$Please connect to main controller config port, and open COM port!");

class MotorHandOverTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim::SimulatorConfig config;
        config.controllerCom = kControllerCom;
        config.motorCom = kMotorCom;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
        view = std::make_unique<CUARTView>(params, &status, prompts);
        view->SetStartupDirectory(dir.path().string() + "/");
        view->OnInitialUpdate();
        view->show();
    }

    // Presses "Motor Configuration"; `inside` runs once the modal dialog is
    // up, then the dialog is closed with its close box.
    void RunDialog(const std::function<void(CMotorConfigDlg&)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CMotorConfigDlg*>(QApplication::activeModalWidget());
            if (dlg == nullptr) {
                ADD_FAILURE() << "no modal motor dialog";
                return;
            }
            ran = true;
            inside(*dlg);
            dlg->close();
        });
        qobject_cast<QAbstractButton*>(view->Control(idc::MotorConfiguration))->click();
        EXPECT_TRUE(ran);
    }

    test::ScopedPortsDir ports;
    test::TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    std::unique_ptr<CUARTView> view;
};

TEST_F(MotorHandOverTest, ControllerLinkIsClosedForTheDialogAndStaysClosed)
{
    ASSERT_TRUE(view->ConnectTo(kControllerCom));
    ASSERT_TRUE(test::WaitUntil([&] { return view->Link().linkEstablished; }));
    ASSERT_TRUE(view->Serial().IsOpen());

    RunDialog([&](CMotorConfigDlg& dlg) {
        EXPECT_TRUE(dlg.isModal());
        EXPECT_EQ(dlg.parentWidget(), view->window());
        EXPECT_FALSE(view->Serial().IsOpen());
        EXPECT_FALSE(view->LinkTimerActive());
        EXPECT_EQ(status.texts.mid(status.texts.size() - 2), QStringList({QString(), kGoToMotor}));
        status.texts.clear();
        // The motor board is reachable on its own port meanwhile.
        FormHost& form = dlg.Form();
        for (int i = 0; i < form.ItemCount(mdc::ComList); ++i)
            if (form.ItemText(mdc::ComList, i).startsWith(QStringLiteral("COM182 ")))
                form.SetSelection(mdc::ComList, i);
        emit qobject_cast<QComboBox*>(form.Control(mdc::ComList))->activated(form.Selection(mdc::ComList));
        qobject_cast<QAbstractButton*>(form.Control(mdc::OpenComPort))->click();
        EXPECT_TRUE(test::WaitUntil([&] { return form.Text(mdc::PolMotor1) == QStringLiteral("14"); }));
    });

    EXPECT_EQ(status.texts, QStringList({QString(), kBackToMain}));
    EXPECT_FALSE(view->MessageGateOpen());
    EXPECT_FALSE(view->Serial().IsOpen());
    EXPECT_FALSE(view->LinkTimerActive());
    // Nothing reopens the controller link by itself: with its tick stopped,
    // only a notification still on its way could, and those are all
    // handled here.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(view->Serial().IsOpen());
    EXPECT_FALSE(view->LinkTimerActive());
    EXPECT_EQ(status.texts.size(), 2);
    // The board's parameters stay in the program's set after the dialog.
    EXPECT_EQ(view->MotorParameters().POW_MOTOR1, 80);
}

// The set and whether it holds real values outlive the dialog: a save
// before anything was read says there is nothing to save; once a file was
// loaded, a later opening saves the kept set.
TEST_F(MotorHandOverTest, EachOpeningStartsFreshAndShowsTheKeptSetWhenSaved)
{
    view->MotorParameters() = MotorParams{5, 6, 7, 8, 0xFF, 0x01};
    const std::string path = dir.File("kept.bmc");
    const std::string loaded = dir.File("loaded.bmc");
    test::WriteWholeFile(loaded, "[MOTOR_PARAMETERS]\nPOL_MOTOR1=5\nPOW_MOTOR1=6\nPOL_MOTOR2=7\nPOW_MOTOR2=8\n");
    prompts.savePath = QString::fromStdString(path);
    prompts.openPath = QString::fromStdString(loaded);
    const auto click = [](CMotorConfigDlg& dlg, int id) {
        qobject_cast<QAbstractButton*>(dlg.Form().Control(id))->click();
    };
    RunDialog([&](CMotorConfigDlg& dlg) {
        click(dlg, mdc::SaveConfig);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0].text, CMotorConfigDlg::NothingToSaveMessage());
        dlg.Form().Enable(mdc::LoadConfig, true); // as while a board answers
        click(dlg, mdc::LoadConfig);
    });
    EXPECT_FALSE(std::filesystem::exists(path));
    for (int opening = 0; opening < 2; ++opening) {
        RunDialog([&](CMotorConfigDlg& dlg) {
            EXPECT_EQ(dlg.Form().Text(mdc::Status), QStringLiteral("Please open COM port!"));
            EXPECT_EQ(dlg.Form().Text(mdc::PolMotor1), QStringLiteral("0")); // boxes start at 0
            click(dlg, mdc::SaveConfig);
        });
        EXPECT_EQ(test::ReadWholeFile(path),
                  "[MOTOR_PARAMETERS]\nPOL_MOTOR1=5\nPOW_MOTOR1=6\nPOL_MOTOR2=7\nPOW_MOTOR2=8\n");
    }
    EXPECT_EQ(prompts.messages.size(), 1);
}

} // namespace
} // namespace qav
