// A configuration file loaded while the read-back after "Open COM Port" is
// still running, against a controller that answers in its next cycle: the
// echoes still in flight must neither overwrite the loaded values nor stop
// their upload.
#include "view/UARTView.h"

#include "Simulator.h"
#include "files/ConfigFile.h"

#include "gui_support/DriveLink.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"
#include "view/ControlIds.h"

#include <QAbstractButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <tuple>

namespace qav {
namespace {

using namespace std::chrono_literals;
constexpr int kCom = 173;

// The values the test changes, one from each upload quarter.
auto Changed(const ControllerParams& p)
{
    return std::make_tuple(p.ROLL_TOTAL, p.PITCH_SERVO_REV, p.PITCH_MIN, p.INIT_PITCH, p.INIT_ROLL,
                           p.DEFAULT_MODE);
}

TEST(LoadDuringReadBack, TheLoadedFileReachesAControllerAnsweringLate)
{
    test::ScopedPortsDir ports;
    test::TempDir dir;
    sim::SimulatorConfig config;
    config.controllerCom = kCom;
    config.paceOutput = true;
    config.faults.answerDelay = 30ms;
    sim::Simulator sim(config);
    const Result started = sim.Start();
    ASSERT_TRUE(started) << started.message;

    ControllerParams file = sim.ControllerWorkingParams();
    file.ROLL_TOTAL += 5, file.PITCH_SERVO_REV = -file.PITCH_SERVO_REV, file.PITCH_MIN += 2;
    file.INIT_PITCH += 40, file.INIT_ROLL -= 20, file.DEFAULT_MODE = file.DEFAULT_MODE == 1 ? 2 : 1;
    const std::string path = dir.File("wanted.bgsc");
    ASSERT_TRUE(SaveConfig(path, file));

    ControllerParams params;
    test::RecordingStatus status;
    test::FakePrompts prompts;
    CUARTView view(params, &status, prompts);
    view.SetStartupDirectory(dir.path().string() + "/");
    view.OnInitialUpdate();
    qobject_cast<QAbstractButton*>(view.Control(idc::OpenComPort))->click();
    // Loaded at the first answer, while the rest of the read-back is on its
    // way.
    ASSERT_TRUE(test::WaitUntil([&] { return view.Link().linkEstablished; }));
    view.LoadConfigFile(QString::fromStdString(path));

    // Ticked by hand from here, each tick answered: late as the answers are,
    // the link never looks lost.
    EXPECT_TRUE(
        test::DriveLink(view.PortLink(), [&] { return Changed(sim.ControllerWorkingParams()) == Changed(file); }));
    EXPECT_EQ(Changed(params), Changed(file));
    EXPECT_EQ(Changed(sim.ControllerWorkingParams()), Changed(file));
}

} // namespace
} // namespace qav
