#include "Cli.h"
#include "Simulator.h"
#include "files/ControllerConfigFile.h"
#include "platform/PortMap.h"
#include "serial/SerialLink.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <unistd.h>

namespace qav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kCom = 151;
const std::string kPort = "COM151";

struct CliRun
{
    int code;
    std::string out, err;
};

CliRun Cli(std::vector<std::string> args)
{
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

std::string ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

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
        flash = (dir / "flash.bgsc").string();
    }
    void TearDown() override
    {
        sim.reset();
        fs::remove_all(dir);
    }
    void StartSim(sim::SimFaults faults = {})
    {
        sim::SimulatorConfig config;
        config.controllerCom = kCom;
        config.flashPath = flash;
        config.calibrationTime = 50ms;
        config.faults = faults;
        sim = std::make_unique<sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
    }
    std::string SavedText(const ControllerParams& p)
    {
        const auto path = (dir / "expected.bgsc").string();
        fs::remove(path);
        EXPECT_TRUE(SaveControllerConfig(path, p));
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
    EXPECT_EQ(missing.err.rfind("Cannot open COM152", 0), 0u) << missing.err;
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
    // A terminal nobody answers on.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    ASSERT_TRUE(RegisterPortAlias(kCom, ::ptsname(master)));
    const auto start = std::chrono::steady_clock::now();
    const CliRun r = Cli({"read", "--port", kPort});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("No answer"), std::string::npos) << r.err;
    EXPECT_GE(std::chrono::steady_clock::now() - start, 3s);
    ::close(master);
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
    ASSERT_TRUE(SaveControllerConfig(file.string(), p));
    ASSERT_EQ(Cli({"write", "--port", kPort, file.string()}).code, 0);
    const CliRun refused = Cli({"motor-on", "--port", kPort});
    EXPECT_EQ(refused.code, 4);
    EXPECT_EQ(refused.err,
              "Motor on failed! Please check angle limitation and gains(any gain item can't be zero)!\n");
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
    ASSERT_TRUE(SaveControllerConfig(file.string(), wanted));
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
    ASSERT_TRUE(SaveControllerConfig(file.string(), sim->ControllerWorkingParams()));
    const CliRun w = Cli({"write", "--port", kPort, file.string(), "--flash"});
    EXPECT_EQ(w.code, 4);
    EXPECT_EQ(w.err, "Write setting to flash failed!\n");
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

} // namespace
} // namespace qav
