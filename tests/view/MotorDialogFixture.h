#pragma once
// The motor dialog made as the main screen makes it, shown and active, with
// every text its status box showed recorded in order, and the simulated
// motor board on a real pseudo-terminal when a test starts it.
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"

#include "Simulator.h"

#include "gui_support/Activate.h"
#include "gui_support/DriveLink.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/WaitUntil.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace qav::test {

inline constexpr int kMotorCom = 172;

class MotorDialogFixture : public ::testing::Test
{
protected:
    // `paced`: at the line's rate, boot loader bytes included.
    void StartSim(int refuseFlash = 0, bool paced = false)
    {
        sim::SimulatorConfig config;
        config.motorCom = kMotorCom;
        config.faults = faults;
        config.faults.refuseFlashWrites = refuseFlash;
        config.paceOutput = paced;
        config.frameLog = frameLog;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
    }

    void MakeDialog()
    {
        dlg = std::make_unique<CMotorConfigDlg>(params, receiver, prompts, dir.path().string() + "/");
        QObject::connect(Box(mdc::Status), &QLineEdit::textChanged,
                         [this](const QString& t) { statuses << t; });
        EXPECT_TRUE(ShowActive(dlg.get()));
    }

    // Opens the simulated board's port and waits for its parameter report.
    void Connect()
    {
        Click(mdc::OpenComPort);
        ASSERT_TRUE(WaitForStatus(QStringLiteral("Motor parameters updated!"))) << Log();
    }

    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(dlg->Form().Control(id)); }
    QString Text(int id) { return dlg->Form().Text(id); }
    void Click(int id) { qobject_cast<QAbstractButton*>(dlg->Form().Control(id))->click(); }
    // Key by key, as a user types.
    void Type(int id, const QString& text)
    {
        dlg->Form().Focus(id, false);
        Box(id)->clear();
        QTest::keyClicks(Box(id), text);
    }
    void Enter(int id)
    {
        dlg->Form().Focus(id, false);
        QTest::keyClick(dlg->Form().Control(id), Qt::Key_Return);
    }
    bool WaitForStatus(const QString& text)
    {
        return test::WaitUntil([&] { return statuses.contains(text); });
    }
    // Waits for `text` shown at or after the status numbered `from`.
    bool WaitForStatusFrom(const QString& text, qsizetype from)
    {
        return test::WaitUntil([&] { return statuses.lastIndexOf(text) >= from; });
    }
    // The link ticked by hand until `condition` holds (see DriveLink).
    template <class Condition> bool Drive(Condition condition)
    {
        return test::DriveLink(dlg->PortLink(), condition);
    }
    bool DriveTicks(int count) { return test::DriveTicks(dlg->PortLink(), count); }
    std::string Log() const { return statuses.join(" | ").toStdString(); }

    ScopedPortsDir ports;
    TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    std::string frameLog; // set before StartSim: every frame the board hears, one line each
    sim::SimFaults faults; // set before StartSim
    MotorParams params;
    FrameReceiver receiver{kMotorHeader0, kMotorHeader1};
    FakePrompts prompts;
    std::unique_ptr<CMotorConfigDlg> dlg;
    QStringList statuses;
};

} // namespace qav::test
