// qav-nuva-cli on a line that echoes what it sends, against the simulator on
// pseudo-terminals: with no board behind the echo every command ends as with
// a silent board and says the line echoes; with a board behind it, and on a
// slow line (answers 100 ms late), reading and writing work as on a clean
// line.
#include "Cli.h"
#include "Simulator.h"
#include "files/ConfigFile.h"

#include "support/CliRun.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qav {
namespace {

using namespace std::chrono_literals;
using test::Cli;
using test::CliRun;

constexpr int kControllerCom = 251;
constexpr int kMotorCom = 252;
const std::string kControllerPort = "COM251";
const std::string kMotorPort = "COM252";

class EchoCliTest : public testing::Test
{
protected:
    void SetUp() override { ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1); }
    void StartSim(const sim::SimFaults& faults)
    {
        sim::SimulatorConfig config;
        config.controllerCom = kControllerCom;
        config.motorCom = kMotorCom;
        config.calibrationTime = 50ms;
        config.faults = faults;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
    }
    std::string File(const std::string& name, const std::string& text)
    {
        const std::string path = dir.File(name);
        test::WriteWholeFile(path, text);
        return path;
    }

    test::ScopedPortsDir ports;
    test::TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
};

// ---- nothing behind the echo ----------------------------------------------------

struct CommandRow
{
    const char* name;
    std::vector<std::string> args; // "FILE" stands for a file the board's kind takes
    bool motor;
};

class EchoOnlyTest : public EchoCliTest, public testing::WithParamInterface<CommandRow>
{
};

TEST_P(EchoOnlyTest, EndsAsWithASilentBoardAndSaysTheLineEchoes)
{
    sim::SimFaults faults;
    faults.echoOnly = true;
    StartSim(faults);
    const CommandRow& row = GetParam();
    const std::string& port = row.motor ? kMotorPort : kControllerPort;
    const std::string file = row.motor ? File("in.bmc", "[MOTOR_PARAMETERS]\nPOW_MOTOR1=33\n")
                                       : File("in.bgsc", "[PARAMETERS]\nROLL_TOTAL=120\n");
    std::vector<std::string> args;
    for (const std::string& a : row.args)
        args.push_back(a == "FILE" ? file : a);
    args.insert(args.end(), {"--port", port});
    const CliRun r = Cli(args);
    EXPECT_EQ(r.code, cli::kExitNoAnswer);
    EXPECT_EQ(r.out, "");
    // A write names the keys its file lacks first, as before any port opens.
    const std::string sentence = "qav-nuva-cli: " + port + " echoes what is sent: check the wiring\n";
    ASSERT_GE(r.err.size(), sentence.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - sentence.size()), sentence);
    EXPECT_EQ(r.err.find("No answer"), std::string::npos) << r.err;
    // The line gave back what it heard; no board heard a thing.
    const auto kind = row.motor ? sim::DeviceKind::Motor : sim::DeviceKind::Controller;
    EXPECT_GT(sim->Stats(kind).bytesEchoed, 0u);
    EXPECT_EQ(sim->Stats(kind).framesReceived, 0u);
}

const CommandRow kCommands[] = {
    {"read", {"read"}, false},
    {"write", {"write", "FILE"}, false},
    {"write_flash", {"write", "FILE", "--flash"}, false},
    {"motor_on", {"motor-on"}, false},
    {"motor_off", {"motor-off"}, false},
    {"calibrate", {"calibrate"}, false},
    {"monitor", {"monitor", "--count", "3"}, false},
    {"motor_read", {"read", "--board", "motor"}, true},
    {"motor_write", {"write", "--board", "motor", "FILE"}, true},
    {"motor_write_flash", {"write", "--board", "motor", "FILE", "--flash"}, true},
    {"motor_monitor", {"monitor", "--board", "motor", "--count", "3"}, true},
};

INSTANTIATE_TEST_SUITE_P(Commands, EchoOnlyTest, testing::ValuesIn(kCommands),
                         [](const testing::TestParamInfo<CommandRow>& info) { return info.param.name; });

// ---- a board behind the echo, a slow line ---------------------------------------------

struct LineRow
{
    const char* name;
    bool echo;
    std::chrono::milliseconds delay;
};

class BoardBehindTest : public EchoCliTest, public testing::WithParamInterface<LineRow>
{
protected:
    void SetUp() override
    {
        EchoCliTest::SetUp();
        sim::SimFaults faults;
        faults.echo = GetParam().echo;
        faults.answerDelay = GetParam().delay;
        StartSim(faults);
    }
};

TEST_P(BoardBehindTest, ControllerWriteChangesOnlyTheFilesKeyAndReadsBack)
{
    for (const bool flash : {false, true}) {
        SCOPED_TRACE(flash);
        ControllerParams wanted = sim->ControllerWorkingParams();
        wanted.ROLL_TOTAL = static_cast<std::uint16_t>(wanted.ROLL_TOTAL + (flash ? 9 : 4));
        const std::string file =
            File("one.bgsc", "[PARAMETERS]\nROLL_TOTAL=" + std::to_string(wanted.ROLL_TOTAL) + "\n");
        std::vector<std::string> args{"write", "--port", kControllerPort, file};
        if (flash)
            args.push_back("--flash");
        const CliRun w = Cli(args);
        ASSERT_EQ(w.code, 0) << w.err;
        EXPECT_NE(w.err.find("the controller's values are kept"), std::string::npos) << w.err;
        // The pan gains, initial angles and default mode the echo would zero.
        EXPECT_EQ(sim->ControllerWorkingParams(), wanted);
        if (flash) {
            EXPECT_EQ(sim->ControllerFlashParams(), wanted);
        }
    }
    const std::string saved = dir.File("expected.bgsc");
    ASSERT_TRUE(SaveConfig(saved, sim->ControllerWorkingParams()));
    const CliRun r = Cli({"read", "--port", kControllerPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, test::ReadWholeFile(saved));
}

TEST_P(BoardBehindTest, ControllerCommandsGetTheControllersResult)
{
    for (const char* command : {"motor-on", "motor-off", "calibrate"}) {
        SCOPED_TRACE(command);
        const CliRun r = Cli({command, "--port", kControllerPort});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_NE(r.out, "");
    }
    const CliRun m = Cli({"monitor", "--port", kControllerPort, "--count", "3"});
    ASSERT_EQ(m.code, 0) << m.err;
    EXPECT_EQ(std::count(m.out.begin(), m.out.end(), '\n'), 3);
}

TEST_P(BoardBehindTest, MotorWriteKeepsItsValuesAndReadsBack)
{
    const std::string file =
        File("in.bmc", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=12\nPOW_MOTOR1=50\nPOL_MOTOR2=14\nPOW_MOTOR2=40\n");
    const CliRun w = Cli({"write", "--board", "motor", "--port", kMotorPort, file, "--flash"});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Write flash successfully!\n");
    for (const MotorParams& p : {sim->MotorWorkingParams(), sim->MotorFlashParams()}) {
        EXPECT_EQ(p.POL_MOTOR1, 12);
        EXPECT_EQ(p.POW_MOTOR1, 50);
        EXPECT_EQ(p.POL_MOTOR2, 14);
        EXPECT_EQ(p.POW_MOTOR2, 40);
    }
    const CliRun r = Cli({"read", "--board", "motor", "--port", kMotorPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, test::ReadWholeFile(file));
    const CliRun m = Cli({"monitor", "--board", "motor", "--port", kMotorPort, "--count", "3"});
    ASSERT_EQ(m.code, 0) << m.err;
    EXPECT_EQ(std::count(m.out.begin(), m.out.end(), '\n'), 3);
}

// A command run right after another on a slow line: the first one ended at
// its first result, the controller still answers the frames that followed,
// and those results must not stand for the second command's.
TEST_F(EchoCliTest, ACommandRightAfterAnotherOnASlowLineWaitsForItsOwnResult)
{
    sim::SimFaults faults;
    faults.answerDelay = 300ms;
    StartSim(faults);
    const CliRun off = Cli({"motor-off", "--port", kControllerPort});
    ASSERT_EQ(off.code, 0) << off.err;
    const CliRun calibrated = Cli({"calibrate", "--port", kControllerPort});
    EXPECT_EQ(calibrated.code, 0) << calibrated.err;
    EXPECT_EQ(calibrated.out, "Sensors calibrated successfully!\n");
}

const LineRow kLines[] = {
    {"echo", true, 0ms},
    {"slow", false, 100ms},
    {"slow_echo", true, 100ms},
};

INSTANTIATE_TEST_SUITE_P(Lines, BoardBehindTest, testing::ValuesIn(kLines),
                         [](const testing::TestParamInfo<LineRow>& info) { return info.param.name; });

} // namespace
} // namespace qav
