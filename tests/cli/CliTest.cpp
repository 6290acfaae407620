#include "Simulator.h"
#include "files/ConfigFile.h"
#include "platform/PortMap.h"
#include "serial/SerialLink.h"

#include "protocol/ControllerLink.h"
#include "support/CliRun.h"
#include "support/Patience.h"
#include "support/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kCom = 151;
const std::string kPort = "COM151";

using test::Cli;
using test::CliRun;

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using test::WithoutBackupNote;

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("qav-cli-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "ports");
        ::setenv("QAV_NUVA_PORTS_DIR", (dir / "ports").c_str(), 1);
        // Backups of a write land here, not in the user's home.
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        flash = (dir / "flash.bgsc").string();
    }
    void TearDown() override
    {
        sim.reset();
        fs::remove_all(dir);
    }
    void StartSim(sim::SimFaults faults = {}, bool pace = false)
    {
        sim::SimulatorConfig config;
        config.paceOutput = pace;
        config.controllerCom = kCom;
        config.flashPath = flash;
        config.calibrationTime = 50ms;
        config.faults = faults;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
    }
    // The controller falls silent (until told otherwise) in the very turn it
    // takes `rollTotal`, before it answers or hears anything more.
    void FallSilentOnceTaken(std::uint16_t rollTotal)
    {
        sim->AtEachTurn([rollTotal](sim::Simulator& s) {
            if (s.ControllerWorkingParams().ROLL_TOTAL != rollTotal)
                return false;
            s.FallSilent(sim::DeviceKind::Controller);
            return true;
        });
    }
    std::string SavedText(const ControllerParams& p)
    {
        const auto path = (dir / "expected.bgsc").string();
        fs::remove(path);
        EXPECT_TRUE(SaveConfig(path, p));
        return ReadFile(path);
    }

    fs::path dir;
    std::string flash;
    std::unique_ptr<sim::Simulator> sim;
};

TEST_F(CliTest, PortsListsTheSimulatorsAliasFirst)
{
    StartSim();
    const CliRun r = Cli({"ports"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind(kPort + " ", 0), 0u) << r.out;
}

TEST_F(CliTest, PortsJsonGivesOneObjectAPortWithEveryField)
{
    const fs::path odd = dir / "we\"ird\\dev";
    std::ofstream(odd).put('x');
    ASSERT_TRUE(RegisterPortAlias(7, odd.string()));
    ASSERT_TRUE(RegisterPortAlias(8, (dir / "gone").string()));
    const CliRun r = Cli({"ports", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string escapedDir;
    for (char c : dir.string())
        escapedDir += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
    const std::vector<std::string> expected = {
        "{\"name\":\"COM7\",\"device\":\"" + escapedDir +
            "/we\\\"ird\\\\dev\",\"vendor_id\":null,\"product_id\":null,\"manufacturer\":null,"
            "\"product\":null,\"serial\":null,\"note\":null}",
        "{\"name\":\"COM8\",\"device\":\"" + escapedDir +
            "/gone\",\"vendor_id\":null,\"product_id\":null,\"manufacturer\":null,"
            "\"product\":null,\"serial\":null,\"note\":\"missing\"}",
    };
    std::istringstream lines(r.out);
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("{\"name\":\"COM7\"", 0) == 0 || line.rfind("{\"name\":\"COM8\"", 0) == 0)
            got.push_back(line);
    }
    EXPECT_EQ(got, expected) << r.out;

    const CliRun bad = Cli({"ports", "--jsn"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_TRUE(bad.out.empty());
}

TEST_F(CliTest, ReadPrintsTheControllersSetAsAConfigurationFile)
{
    StartSim();
    const CliRun r = Cli({"read", "--port", kPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, SavedText(sim->ControllerWorkingParams()));
    EXPECT_EQ(r.out.rfind("[PARAMETERS]\nROLL_ACC=", 0), 0u) << r.out;

    const auto file = dir / "out.bgsc";
    const CliRun toFile =
        Cli({"read", "--port", sim->DevicePath(sim::DeviceKind::Controller), "-o", file.string()});
    ASSERT_EQ(toFile.code, 0) << toFile.err;
    EXPECT_EQ(ReadFile(file), r.out);
}

TEST_F(CliTest, MonitorJsonLinesCarryEveryKeyAndLeaveTheMotorsAlone)
{
    StartSim();
    ASSERT_EQ(Cli({"motor-on", "--port", kPort}).code, 0);
    ASSERT_TRUE(sim->ControllerMotorsOn());
    const CliRun r = Cli({"monitor", "--port", kPort, "--count", "3", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_EQ(line.front(), '{');
        EXPECT_EQ(line.back(), '}');
        for (const char* key :
             {"\"roll\":", "\"tilt\":", "\"pan\":", "\"rc_roll\":", "\"rc_tilt\":", "\"rc_pan\":",
              "\"rc_mode\":", "\"rc_shot\":", "\"ax\":", "\"ay\":", "\"az\":"})
            EXPECT_NE(line.find(key), std::string::npos) << key << " in " << line;
        EXPECT_NE(line.find("\"motor\":\"on\""), std::string::npos) << line;
        EXPECT_NE(line.find("\"firmware\":2.3}"), std::string::npos) << line;
    }
    EXPECT_EQ(n, 3);
    EXPECT_TRUE(sim->ControllerMotorsOn());
}

TEST_F(CliTest, MonitorTextLines)
{
    StartSim();
    const CliRun r = Cli({"monitor", "--port", kPort, "--count", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    int n = 0;
    while (std::getline(lines, line)) {
        ++n;
        EXPECT_EQ(line.rfind("roll ", 0), 0u) << line;
        EXPECT_NE(line.find(" motor off firmware 2.3"), std::string::npos) << line;
    }
    EXPECT_EQ(n, 2);
}

TEST_F(CliTest, UsageAndPortErrorsHaveTheirExitCodes)
{
    const CliRun none = Cli({});
    EXPECT_EQ(none.code, 1);
    EXPECT_FALSE(none.err.empty());
    EXPECT_EQ(Cli({"frobnicate"}).code, 1);
    EXPECT_EQ(Cli({"read"}).code, 1);
    EXPECT_EQ(Cli({"monitor", "--port", kPort, "--count", "0"}).code, 1);
    EXPECT_EQ(Cli({"monitor", "--port", kPort, "--count", "x"}).code, 1);
    EXPECT_EQ(Cli({"read", "--port"}).code, 1);
    EXPECT_EQ(Cli({"read", "--port", kPort, "--bogus"}).code, 1);
    EXPECT_EQ(Cli({"--help"}).code, 0);

    const CliRun missing = Cli({"read", "--port", "COM152"});
    EXPECT_EQ(missing.code, 2);
    EXPECT_EQ(missing.err.rfind("qav-nuva-cli: Cannot open COM152", 0), 0u) << missing.err;
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);

    StartSim();
    const CliRun write = Cli({"write", "--port", kPort, (dir / "no-such-file.bgsc").string()});
    EXPECT_EQ(write.code, 1);
}

TEST_F(CliTest, BusyPortIsExitTwo)
{
    StartSim();
    CSerialLink holder;
    holder.SetMode(CSerialLink::kOwnerMode);
    ASSERT_TRUE(OpenLinkSequence(holder, kCom));
    const CliRun r = Cli({"read", "--port", kPort});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(kPort), std::string::npos);
}

TEST_F(CliTest, SilentDeviceIsExitThree)
{
    test::PseudoTerminal silent; // nobody answers on it
    ASSERT_TRUE(silent.Ok());
    ASSERT_TRUE(RegisterPortAlias(kCom, silent.SlavePath()));
    const auto start = std::chrono::steady_clock::now();
    const CliRun r = Cli({"read", "--port", kPort});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("No answer"), std::string::npos) << r.err;
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3s);
}

TEST_F(CliTest, CommandsReportTheControllersResult)
{
    StartSim();
    const CliRun calibrate = Cli({"calibrate", "--port", kPort});
    EXPECT_EQ(calibrate.code, 0) << calibrate.err;
    EXPECT_EQ(calibrate.out, "Sensors calibrated successfully!\n");
    EXPECT_EQ(Cli({"motor-on", "--port", kPort}).code, 0);
    EXPECT_TRUE(sim->ControllerMotorsOn());
    const CliRun off = Cli({"motor-off", "--port", kPort});
    EXPECT_EQ(off.code, 0) << off.err;
    EXPECT_FALSE(sim->ControllerMotorsOn());

    // A zero gain makes the controller refuse the motors.
    const auto file = dir / "zero.bgsc";
    ControllerParams p = sim->ControllerWorkingParams();
    p.ROLL_TOTAL = 0;
    ASSERT_TRUE(SaveConfig(file.string(), p));
    ASSERT_EQ(Cli({"write", "--port", kPort, file.string()}).code, 0);
    const CliRun refused = Cli({"motor-on", "--port", kPort});
    EXPECT_EQ(refused.code, 4);
    EXPECT_EQ(refused.err, "qav-nuva-cli: Motor on failed! Please check angle limitation and gains(any gain "
                           "item can't be zero)!\n");
    EXPECT_FALSE(sim->ControllerMotorsOn());
}

TEST_F(CliTest, WriteFlashSurvivesARestartAndKeepsKeylessValues)
{
    StartSim();
    const ControllerParams before = sim->ControllerWorkingParams();
    ControllerParams wanted = before;
    wanted.ROLL_TOTAL = 321, wanted.PITCH_VEL = 77, wanted.ROLL_MAX = 30, wanted.PITCH_MIN = -120;
    wanted.INIT_PITCH = -450, wanted.RECEIVER_TYPE = 2, wanted.ROLL_SERVO_REV = -1, wanted.DEFAULT_MODE = 2;
    const auto file = dir / "wanted.bgsc";
    ASSERT_TRUE(SaveConfig(file.string(), wanted));
    // The file carries no pan values; the controller's own must stay.
    {
        std::ofstream append(file, std::ios::app);
        append << "[OTHER]\nYAW_TOTAL=1\n";
    }
    const CliRun w = Cli({"write", "--port", kPort, file.string(), "--flash"});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Write setting to flash successfully!\n");
    const ControllerParams flashed = sim->ControllerFlashParams();
    EXPECT_EQ(flashed.ROLL_TOTAL, 321);
    EXPECT_EQ(flashed.YAW_TOTAL, before.YAW_TOTAL);
    EXPECT_EQ(flashed.YAW_RC_ACC, before.YAW_RC_ACC);
    EXPECT_EQ(flashed.YAW_SERVO_REV, before.YAW_SERVO_REV);

    sim.reset();
    StartSim();
    const CliRun r = Cli({"read", "--port", kPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, SavedText(wanted));
}

TEST_F(CliTest, RefusedFlashWriteIsExitFour)
{
    sim::SimFaults faults;
    faults.refuseFlashWrites = 1;
    StartSim(faults);
    const auto file = dir / "same.bgsc";
    ASSERT_TRUE(SaveConfig(file.string(), sim->ControllerWorkingParams()));
    const CliRun w = Cli({"write", "--port", kPort, file.string(), "--flash"});
    EXPECT_EQ(w.code, 4);
    EXPECT_EQ(WithoutBackupNote(w.err), "qav-nuva-cli: Write setting to flash failed!\n");
}

TEST_F(CliTest, ReadCopesWithALossyLine)
{
    sim::SimFaults faults;
    faults.drop = 0.3;
    faults.corrupt = 0.2;
    faults.garbage = 0.5;
    StartSim(faults);
    const CliRun r = Cli({"read", "--port", kPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, SavedText(sim->ControllerWorkingParams()));
}

void WriteText(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

// What a controller that answers in its next cycle (30 ms after the frame)
// leaves in flight at the end of a read-back must not reach the upload.
TEST_F(CliTest, WritePutsTheFilesValuesOnAControllerAnsweringLate)
{
    sim::SimFaults faults;
    faults.answerDelay = 30ms;
    StartSim(faults, true);
    const ControllerParams before = sim->ControllerWorkingParams();
    ControllerParams wanted = before;
    wanted.INIT_PITCH = before.INIT_PITCH + 100, wanted.INIT_ROLL = before.INIT_ROLL - 50;
    wanted.DEFAULT_MODE = before.DEFAULT_MODE == 1 ? 2 : 1;
    wanted.ROLL_TOTAL = before.ROLL_TOTAL + 7, wanted.PITCH_MIN = before.PITCH_MIN + 2;
    const auto file = dir / "wanted.bgsc";
    ASSERT_TRUE(SaveConfig(file.string(), wanted));
    for (const bool flash : {false, true}) {
        SCOPED_TRACE(flash);
        std::vector<std::string> args{"write", "--port", kPort, file.string()};
        if (flash)
            args.push_back("--flash");
        const CliRun w = Cli(args);
        ASSERT_EQ(w.code, 0) << w.err;
        EXPECT_EQ(WithoutBackupNote(w.err), "");
        EXPECT_EQ(sim->ControllerWorkingParams(), wanted);
    }
    EXPECT_EQ(sim->ControllerFlashParams(), wanted);
}

TEST_F(CliTest, RefusedFilesSendNothing)
{
    const std::string fifo = (dir / "fifo.bgsc").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(dir / "folder.bgsc");
    WriteText(dir / "big.bgsc", "[PARAMETERS]\nROLL_TOTAL=1\n" + std::string(1 << 20, ';'));
    const struct
    {
        const char* name;
        const char* text; // nullptr: the path is made above or not there
        std::string path;
        std::string error; // after "qav-nuva-cli: " and the path
        const char* ignored = nullptr; // the lines before, after "qav-nuva-cli: " and the path
    } rows[] = {
        {"empty", "", "", " has no [PARAMETERS] section."},
        {"plain text", "hello\nworld\n", "", " has no [PARAMETERS] section."},
        {"another kind of file", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\n", "", " has no [PARAMETERS] section."},
        {"letters", "[PARAMETERS]\nROLL_TOTAL=abc\n", "",
         " has values its parameters cannot hold: ROLL_TOTAL=abc (not a whole number)."},
        {"trailing letters and fraction", "[PARAMETERS]\nROLL_VEL=12abc\nINIT_PITCH=1.5\nROLL_INT=\n", "",
         " has values its parameters cannot hold: ROLL_VEL=12abc (not a whole number), ROLL_INT= (not a "
         "whole number), INIT_PITCH=1.5 (not a whole number)."},
        {"out of field range", "[PARAMETERS]\nROLL_TOTAL=-1\nPITCH_ACC=70000\nRECEIVER_TYPE=256\n", "",
         " has values its parameters cannot hold: ROLL_TOTAL=-1 (0 to 65535), PITCH_ACC=70000 (0 to 65535), "
         "RECEIVER_TYPE=256 (0 to 255)."},
        {"direction byte and huge angle",
         "[PARAMETERS]\nROLL_SERVO_REV=255\nINIT_ROLL=-99999999999999999999\n", "",
         " has values its parameters cannot hold: ROLL_SERVO_REV=255 (-128 to 127), "
         "INIT_ROLL=-99999999999999999999 (-2147483648 to 2147483647)."},
        // A file that has none of the keys changes nothing, as on the screens.
        {"keys under another section", "[OTHER]\nROLL_TOTAL=130\n[PARAMETERS]\n", "",
         " changes nothing: its [PARAMETERS] section has none of the keys. Nothing was sent."},
        {"old-Mac line ends", "[PARAMETERS]\rROLL_TOTAL=130\rPITCH_MIN=-3\r", "",
         " changes nothing: its [PARAMETERS] section has none of the keys. Nothing was sent."},
        {"only a misspelt key", "[PARAMETERS]\nROLL_TOTL=130\n", "",
         " changes nothing: its [PARAMETERS] section has none of the keys. Nothing was sent.",
         " has no parameter named ROLL_TOTL; it is ignored.\nqav-nuva-cli: ROLL_TOTL: did you mean ROLL_TOTAL?\n"},
        // What the file holds never reaches the terminal raw.
        {"escape sequences and bytes of no text",
         "[PARAMETERS]\nROLL_T\x1b[31mOTAL=1\nROLL_VEL=1\x1b]0;x\x07\xff\n", "",
         " has values its parameters cannot hold: ROLL_VEL=1\\x1B]0;x\\x07\\xFF (not a whole number).",
         " has no parameter named ROLL_T\\x1B[31mOTAL; it is ignored.\n"},
        {"missing", nullptr, (dir / "none.bgsc").string(), ": No such file or directory."},
        {"folder", nullptr, (dir / "folder.bgsc").string(), ": Is a directory."},
        {"fifo", nullptr, fifo, ": not a regular file."},
        {"device", nullptr, "/dev/zero", ": not a regular file."},
        {"too large", nullptr, (dir / "big.bgsc").string(), ": larger than 1 MiB."},
    };
    StartSim();
    const ControllerParams before = sim->ControllerWorkingParams();
    const ControllerParams stored = sim->ControllerFlashParams();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = row.path;
        if (row.text) {
            path = (dir / "refused.bgsc").string();
            WriteText(path, row.text);
        }
        const CliRun w = Cli({"write", "--port", kPort, path, "--flash"});
        EXPECT_EQ(w.code, 1);
        const std::string prefix = row.text ? "" : "Cannot read ";
        const std::string ignored = row.ignored ? "qav-nuva-cli: " + path + row.ignored : "";
        EXPECT_EQ(w.err, ignored + "qav-nuva-cli: " + prefix + path + row.error + "\n");
        EXPECT_EQ(w.out, "");
    }
    EXPECT_EQ(sim->Stats(sim::DeviceKind::Controller).framesReceived, 0u);
    EXPECT_EQ(sim->ControllerWorkingParams(), before);
    EXPECT_EQ(sim->ControllerFlashParams(), stored);
    EXPECT_FALSE(fs::exists(dir / "data")); // no backup either
}

TEST_F(CliTest, WriteKeepsTheControllersValueForEveryKeyTheFileLacksAndSaysWhich)
{
    StartSim();
    const ControllerParams before = sim->ControllerWorkingParams();
    const auto file = dir / "part.bgsc";
    WriteText(file, "[PARAMETERS]\r\nROLL_TOTAL = 123\r\nINIT_PITCH=-300\r\n");
    const CliRun w = Cli({"write", "--port", kPort, file.string()});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Parameters uploaded.\n");
    EXPECT_EQ(WithoutBackupNote(w.err),
              "qav-nuva-cli: " + file.string() +
                  " has no ROLL_ACC, ROLL_VEL, ROLL_INT, PITCH_ACC, PITCH_TOTAL, PITCH_VEL, PITCH_INT, "
                  "ROLL_MAX, ROLL_MIN, PITCH_MAX, PITCH_MIN, ROLL_SERVO_CENTER, PITCH_SERVO_CENTER, "
                  "ROLL_SERVO_REV, PITCH_SERVO_REV, ROLL_RC_ACC, PITCH_RC_ACC, INSTALL_MODE, "
                  "RECEIVER_TYPE, INIT_ROLL and DEFAULT_MODE; the controller's values are kept.\n");
    ControllerParams wanted = before;
    wanted.ROLL_TOTAL = 123, wanted.INIT_PITCH = -300;
    EXPECT_EQ(sim->ControllerWorkingParams(), wanted);
}

// Values the screen would not let a parameter take are refused before a
// port is opened, each named with its value and its range; values no frame
// can carry are refused even when the user allows the others.
TEST_F(CliTest, WriteRefusesValuesOutsideTheRangesBeforeOpeningThePort)
{
    const std::string hint =
        " Nothing was sent. A file saved from a controller that holds such values can be sent as its frames carry "
        "them with --allow-out-of-range.\n";
    const struct
    {
        const char* name;
        const char* keys;
        bool allow;
        std::string err; // after "qav-nuva-cli: " and the path
    } rows[] = {
        {"out of range and crossed on the gimbal", "ROLL_MAX=300\nROLL_MIN=-300\nINSTALL_MODE=99\nROLL_TOTAL=600\n",
         false,
         " has values outside the controller's ranges: ROLL_TOTAL=600 (0 to 500), ROLL_MAX=300 (-45 to 45), "
         "ROLL_MIN=-300 (-45 to 45), INSTALL_MODE=99 (1, 2 or 3)." + hint},
        {"crossed limits", "ROLL_MAX=-10\nROLL_MIN=20\nPITCH_MAX=0\nPITCH_MIN=0\n", false,
         " has values outside the controller's ranges: ROLL_MAX=-10 is not above ROLL_MIN=20, PITCH_MAX=0 is not "
         "above PITCH_MIN=0." + hint},
        {"odd limit", "ROLL_MAX=45\nROLL_MIN=-44\n", false,
         " has values outside the controller's ranges: ROLL_MAX=45: the controller keeps limits in steps of 2; use "
         "44." + hint},
        {"lists and directions", "ROLL_SERVO_REV=0\nRECEIVER_TYPE=10\nDEFAULT_MODE=3\nINIT_ROLL=451\n", false,
         " has values outside the controller's ranges: ROLL_SERVO_REV=0 (-1 or 1), RECEIVER_TYPE=10 (1, 2, 3, 4, 5, "
         "6, 7, 8 or 9), INIT_ROLL=451 (-450 to 450), DEFAULT_MODE=3 (1 or 2)." + hint},
        {"a limit beyond a byte, allowed", "ROLL_MAX=300\nROLL_MIN=-300\n", true,
         " has values the controller's frames cannot carry: ROLL_MAX=300 (-256 to 254), ROLL_MIN=-300 (-256 to "
         "254). Nothing was sent.\n"},
        {"an angle beyond 16 bits, allowed", "INIT_PITCH=40000\n", true,
         " has values the controller's frames cannot carry: INIT_PITCH=40000 (-32768 to 32767). Nothing was "
         "sent.\n"},
        {"a negative gain and 70000, allowed", "ROLL_TOTAL=-1\nROLL_VEL=70000\n", true,
         " has values its parameters cannot hold: ROLL_TOTAL=-1 (0 to 65535), ROLL_VEL=70000 (0 to 65535).\n"},
    };
    StartSim();
    const ControllerParams before = sim->ControllerWorkingParams();
    const std::string path = (dir / "e.bgsc").string();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        WriteText(path, std::string("[PARAMETERS]\n") + row.keys);
        // Against the simulator, and against a port that does not exist:
        // the refusal comes first either way.
        for (const std::string& port : {kPort, std::string("COM999")}) {
            std::vector<std::string> args{"write", "--port", port, path};
            if (row.allow)
                args.push_back("--allow-out-of-range");
            const CliRun w = Cli(args);
            EXPECT_EQ(w.code, 1) << port;
            EXPECT_EQ(w.err, "qav-nuva-cli: " + path + row.err) << port;
            EXPECT_EQ(w.out, "");
        }
    }
    EXPECT_EQ(sim->Stats(sim::DeviceKind::Controller).framesReceived, 0u);
    EXPECT_EQ(sim->ControllerWorkingParams(), before);
}

// With the user's leave, values outside the screen's ranges go as the
// frames carry them: an odd limit halved, a list value and a gain as they
// are. Keys that are no parameter are named as ignored.
TEST_F(CliTest, AllowOutOfRangeUploadsWhatTheFramesCarry)
{
    StartSim();
    const ControllerParams before = sim->ControllerWorkingParams();
    const auto file = dir / "expert.bgsc";
    WriteText(file, "[PARAMETERS]\nROLL_MAX=45\nROLL_MIN=-45\nINSTALL_MODE=99\nROLL_TOTAL=600\n"
                    "PITCH_MAX=-10\nPITCH_MIN=20\nROLL_TOTLA=5\nGAIN=1\n");
    const CliRun w = Cli({"write", "--port", kPort, file.string(), "--allow-out-of-range", "--no-backup"});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Parameters uploaded.\n");
    EXPECT_EQ(w.err.rfind("qav-nuva-cli: " + file.string() +
                              " has no parameters named ROLL_TOTLA and GAIN; they are ignored.\n",
                          0),
              0u)
        << w.err;
    ControllerParams wanted = before;
    wanted.ROLL_MAX = 44, wanted.ROLL_MIN = -44, wanted.INSTALL_MODE = 99, wanted.ROLL_TOTAL = 600;
    wanted.PITCH_MAX = -10, wanted.PITCH_MIN = 20;
    EXPECT_EQ(sim->ControllerWorkingParams(), wanted);
}

// A limit the file gives alone is checked against the controller's own
// other limit once that is read: nothing is uploaded when they would cross.
TEST_F(CliTest, WriteRefusesALimitThatWouldCrossTheControllersOwn)
{
    StartSim();
    const ControllerParams before = sim->ControllerWorkingParams();
    const auto file = dir / "max.bgsc";
    const std::int32_t max = before.ROLL_MIN; // equal: no room either
    WriteText(file, "[PARAMETERS]\nROLL_MAX=" + std::to_string(max) + "\n");
    const CliRun w = Cli({"write", "--port", kPort, file.string()});
    EXPECT_EQ(w.code, 1);
    EXPECT_NE(w.err.find("qav-nuva-cli: " + file.string() + " would leave the controller's limits crossed: ROLL_MAX=" +
                         std::to_string(max) + " is not above ROLL_MIN=" + std::to_string(before.ROLL_MIN) +
                         " (ROLL_MIN is the controller's). Nothing was sent.\n"),
              std::string::npos)
        << w.err;
    EXPECT_EQ(sim->ControllerWorkingParams(), before);
    // An upload would have sent type 1 frames; the write only read.
    EXPECT_EQ(sim->ControllerWorkingParams().ROLL_MAX, before.ROLL_MAX);

    ASSERT_EQ(Cli({"write", "--port", kPort, file.string(), "--allow-out-of-range"}).code, 0);
    EXPECT_EQ(sim->ControllerWorkingParams().ROLL_MAX, max);
}

TEST_F(CliTest, ReadRefusesAnOutputThatIsNoRegularFileAndSaysWhyAWriteFailed)
{
    const std::string fifo = (dir / "fifo.bgsc").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(dir / "folder.bgsc");
    // A file the user may not write is left as it is, owner and all.
    const std::string readOnly = (dir / "read-only.bgsc").string();
    WriteText(readOnly, "[PARAMETERS]\nROLL_TOTAL=7\n");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    StartSim();
    const struct
    {
        std::string path, error;
    } rows[] = {
        {"/dev/null", "not a regular file"},
        {fifo, "not a regular file"},
        {(dir / "folder.bgsc").string(), "Is a directory"},
        {readOnly, "Permission denied"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const CliRun r = Cli({"read", "--port", kPort, "-o", row.path});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "qav-nuva-cli: Cannot write " + row.path + ": " + row.error + ".\n");
    }
    EXPECT_EQ(sim->Stats(sim::DeviceKind::Controller).framesReceived, 0u);
    EXPECT_EQ(ReadFile(readOnly), "[PARAMETERS]\nROLL_TOTAL=7\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));

    const std::string lost = (dir / "no-folder" / "out.bgsc").string();
    const CliRun r = Cli({"read", "--port", kPort, "-o", lost});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qav-nuva-cli: Cannot write " + lost + ": No such file or directory.\n");
}

// The link is lost in the middle of the upload: the controller comes back
// with its own set, and the whole file goes up again.
TEST_F(CliTest, WriteUploadsAgainAfterTheLinkWasLostMidUpload)
{
    sim::SimFaults faults;
    faults.answerDelay = 60ms; // the first quarter's answer is still to come when it falls silent
    StartSim(faults);
    const ControllerParams before = sim->ControllerWorkingParams();
    ControllerParams wanted = before;
    wanted.ROLL_TOTAL = before.ROLL_TOTAL + 11; // first quarter
    wanted.INIT_ROLL = before.INIT_ROLL + 33;   // last quarter
    const auto file = dir / "wanted.bgsc";
    ASSERT_TRUE(SaveConfig(file.string(), wanted));

    FallSilentOnceTaken(wanted.ROLL_TOTAL);
    CliRun w{};
    std::thread run([&] { w = Cli({"write", "--port", kPort, file.string(), "--flash"}); });
    // Silent for more frames than the link's watchdog counts (the tool has
    // lost the link then), and back before the answer time-out.
    EXPECT_TRUE(sim->WaitUntil(
        [&] {
            return sim->Stats(sim::DeviceKind::Controller).bytesUnheard >= (ControllerLink::kWatchdogLimit + 10) * 32;
        },
        test::kPatience));
    sim->EndSilence(sim::DeviceKind::Controller);
    run.join();
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Write setting to flash successfully!\n");
    EXPECT_EQ(sim->ControllerWorkingParams(), wanted);
    EXPECT_EQ(sim->ControllerFlashParams(), wanted);
}

TEST_F(CliTest, WriteEndsWithExitThreeWhenTheControllerStaysSilentMidUpload)
{
    sim::SimFaults faults;
    faults.answerDelay = 60ms;
    StartSim(faults);
    ControllerParams wanted = sim->ControllerWorkingParams();
    wanted.ROLL_TOTAL += 11;
    wanted.INIT_ROLL += 33;
    const auto file = dir / "wanted.bgsc";
    ASSERT_TRUE(SaveConfig(file.string(), wanted));

    FallSilentOnceTaken(wanted.ROLL_TOTAL);
    CliRun w{};
    std::thread run([&] { w = Cli({"write", "--port", kPort, file.string()}); });
    run.join();
    EXPECT_EQ(w.code, 3);
    EXPECT_EQ(w.out, "");
    EXPECT_EQ(WithoutBackupNote(w.err),
              "qav-nuva-cli: No answer from the controller on " + kPort + " within 3 seconds.\n");
    EXPECT_NE(sim->ControllerWorkingParams().INIT_ROLL, wanted.INIT_ROLL);
}

TEST_F(CliTest, ReadPrintsInMemoryEvenWithoutATemporaryFolder)
{
    StartSim();
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", (dir / "no-such-tmp").c_str(), 1);
    const CliRun r = Cli({"read", "--port", kPort});
    old ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, SavedText(sim->ControllerWorkingParams()));
}

TEST_F(CliTest, VersionAndPerCommandHelp)
{
    const CliRun version = Cli({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, std::string("qav-nuva-cli ") + QAV_VERSION + "\n");
    for (const char* command : {"ports", "read", "monitor", "write", "motor-on", "motor-off", "calibrate"}) {
        SCOPED_TRACE(command);
        const CliRun help = Cli({command, "--help"});
        EXPECT_EQ(help.code, 0);
        EXPECT_EQ(help.out.rfind(std::string("usage: qav-nuva-cli ") + command, 0), 0u) << help.out;
        EXPECT_EQ(Cli({"help", command}).out, help.out);
    }
    // Every error names the program first.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"frobnicate"}, {"read"}, {"read", "--port", kPort, "--x"}}) {
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.rfind("qav-nuva-cli: ", 0), 0u) << r.err;
    }
}

TEST_F(CliTest, MonitorJsonTimeCountsFromTheFirstLine)
{
    StartSim();
    const CliRun r = Cli({"monitor", "--port", kPort, "--count", "5", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::vector<double> times;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.rfind("{\"t\":", 0), 0u) << line;
        times.push_back(std::stod(line.substr(5)));
    }
    ASSERT_EQ(times.size(), 5u);
    EXPECT_EQ(times.front(), 0.0);
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_GT(times.back(), 0.0);
}

// The real program in a shell pipeline and under signals.
int RunShell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CliTest, MonitorPipedIntoHeadEndsWhenHeadHasGone)
{
    StartSim();
    const auto rc = dir / "rc";
    const auto lines = dir / "lines";
    // Without the end of the pipe being noticed the monitor would run until
    // the time-out kills it (exit 124).
    const std::string command = "( timeout 60 " QAV_CLI_BINARY " monitor --port " + kPort + "; echo $? >" +
                                rc.string() + " ) | head -3 >" + lines.string();
    ASSERT_EQ(RunShell(command), 0);
    EXPECT_EQ(ReadFile(rc), "0\n");
    const std::string text = ReadFile(lines);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
}

TEST_F(CliTest, AHangingCommandEndsItsTestByName)
{
    // Nobody answers: the read waits its 3 s, far past this deadline.
    test::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const std::string& silent = terminal.SlavePath();
    EXPECT_EXIT(test::Cli({"read", "--port", silent}, 50ms), ::testing::ExitedWithCode(test::kCommandHung),
                "CliTest.AHangingCommandEndsItsTestByName: `qav-nuva-cli read --port " + silent +
                    "` did not end within 50 ms");
}

TEST_F(CliTest, StopSignalsEndEveryCommand)
{
    // A terminal nobody answers on: read and write would wait 3 s for an
    // answer and exit 3; a monitor of a live controller would never end.
    test::PseudoTerminal terminal;
    ASSERT_TRUE(terminal.Ok());
    const int master = terminal.Master();
    ASSERT_EQ(::fcntl(master, F_SETFL, O_NONBLOCK), 0); // drained without waiting
    const std::string& silent = terminal.SlavePath();
    const auto file = dir / "any.bgsc";
    ASSERT_TRUE(SaveConfig(file.string(), sim::DefaultControllerParams()));
    StartSim();
    const struct
    {
        int signal;
        std::vector<std::string> args;
        int code;
        const char* err;
    } rows[] = {
        {SIGTERM,
         {"read", "--port", silent},
         128 + SIGTERM,
         "qav-nuva-cli: Interrupted; nothing was read.\n"},
        {SIGINT,
         {"write", "--port", silent, file.string()},
         128 + SIGINT,
         "qav-nuva-cli: Interrupted; no parameters were sent.\n"},
        {SIGTERM, {"monitor", "--port", kPort}, 0, ""},
    };
    const auto out = dir / "out", err = dir / "err";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[0]);
        std::uint8_t drained[256]; // frames of the program before
        while (::read(master, drained, sizeof drained) > 0) {
        }
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::freopen(out.c_str(), "w", stdout);
            ::freopen(err.c_str(), "w", stderr);
            std::vector<char*> argv{const_cast<char*>(QAV_CLI_BINARY)};
            for (const std::string& a : row.args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(QAV_CLI_BINARY, argv.data());
            ::_exit(127);
        }
        // Signalled once it is talking to the device: its first frame on the
        // silent terminal, or its first line of telemetry.
        // (The terminal reads as hung up until the program has opened it.)
        std::uint8_t byte;
        const bool busy = test::PollUntil([&] {
            return row.code == 0 ? ReadFile(out).find('\n') != std::string::npos : ::read(master, &byte, 1) == 1;
        });
        EXPECT_TRUE(busy);
        ::kill(pid, row.signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), row.code);
        EXPECT_EQ(ReadFile(err), row.err);
    }
}

} // namespace
} // namespace qav
