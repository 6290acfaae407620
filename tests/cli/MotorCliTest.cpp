// qav-nuva-cli with --board motor against the simulated motor board: a file
// written to flash survives a restart and reads back the same, refused
// files send nothing, missing keys keep the board's values, a board that
// keeps refusing the flash write ends with exit 4, and monitoring.
#include "Simulator.h"
#include "files/ConfigFile.h"

#include "support/CliRun.h"
#include "support/ParamsPrinter.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

namespace qav {
namespace {

constexpr int kCom = 161;
const std::string kPort = "COM161";

using test::Cli;
using test::CliRun;

using test::WithoutBackupNote;

class MotorCliTest : public ::testing::Test
{
protected:
    // Backups of a write land in the test's folder.
    void SetUp() override { ::setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1); }
    void StartSim(int refuseFlash = 0)
    {
        sim::SimulatorConfig config;
        config.motorCom = kCom;
        config.motorFlashPath = flash;
        config.faults.refuseFlashWrites = refuseFlash;
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
    std::string flash = dir.File("motor-flash.bmc");
    std::unique_ptr<sim::Simulator> sim;
};

TEST_F(MotorCliTest, FileWrittenToFlashReadsBackTheSameAfterARestart)
{
    StartSim();
    const std::string file =
        File("in.bmc", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=22\nPOW_MOTOR1=90\nPOL_MOTOR2=12\nPOW_MOTOR2=45\n");
    const CliRun w = Cli({"write", "--board", "motor", "--port", kPort, file, "--flash"});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Write flash successfully!\n");
    // The board's own set was kept first, as a motor configuration file.
    std::vector<std::filesystem::path> backups;
    for (const auto& e : std::filesystem::directory_iterator(dir.File("data/qav-nuva/backups")))
        backups.push_back(e.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(w.err,
              "qav-nuva-cli: The motor board's set on COM161 was saved to " + backups[0].string() + ".\n");
    EXPECT_EQ(backups[0].extension(), ".bmc");
    MotorParams kept;
    ASSERT_TRUE(LoadConfig(backups[0].string(), kept));
    EXPECT_EQ(kept.POL_MOTOR1, 14); // the simulated board's default

    sim.reset();
    StartSim();
    const CliRun r = Cli({"read", "--board", "motor", "--port", kPort});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, test::ReadWholeFile(file));

    const std::string copy = dir.File("copy.bmc");
    ASSERT_EQ(Cli({"read", "--port", kPort, "-o", copy, "--board", "motor"}).code, 0);
    EXPECT_EQ(test::ReadWholeFile(copy), test::ReadWholeFile(file));
}

TEST_F(MotorCliTest, WithoutFlashTheBoardTakesTheValuesButDoesNotStoreThem)
{
    StartSim();
    const std::string file = File("in.bmc", "[MOTOR_PARAMETERS]\nPOW_MOTOR1=33\n");
    const CliRun w = Cli({"write", "--board", "motor", "--port", kPort, file});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(w.out, "Parameters uploaded.\n");
    // The keys the file lacks keep the board's values, and that is said.
    EXPECT_EQ(WithoutBackupNote(w.err),
              "qav-nuva-cli: " + file +
                  " has no POL_MOTOR1, POL_MOTOR2 and POW_MOTOR2; the board's values are kept.\n");
    EXPECT_EQ(sim->MotorWorkingParams(), (MotorParams{14, 33, 14, 60, 0x01, 0x01}));
    EXPECT_EQ(sim->MotorFlashParams().POW_MOTOR1, 80);
}

TEST_F(MotorCliTest, RefusedFilesSendNothing)
{
    const struct
    {
        const char* name;
        const char* text; // nullptr: no such file
        const char* said;
        bool allow = false; // --allow-out-of-range
    } rows[] = {
        {"no_section", "[PARAMETERS]\nPOL_MOTOR1=14\n", "has no [MOTOR_PARAMETERS] section"},
        {"not_a_number", "[MOTOR_PARAMETERS]\nPOW_MOTOR1=101\nPOL_MOTOR2=x\n",
         "values its parameters cannot hold: POL_MOTOR2=x (not a whole number)."},
        {"above_range", "[MOTOR_PARAMETERS]\nPOW_MOTOR1=101\nPOL_MOTOR2=100\n",
         "values outside the motor board's ranges: POW_MOTOR1=101 (0 to 100). Nothing was sent. A file saved "
         "from a motor board that holds such values can be sent as its frames carry them with "
         "--allow-out-of-range."},
        {"negative", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=-1\n", "POL_MOTOR1=-1 (0 to 255)"},
        {"beyond_a_byte_even_when_allowed", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=256\n", "POL_MOTOR1=256 (0 to 255)",
         true},
        {"missing", nullptr, "Cannot read "},
        // Every fault at once, not one after the other is mended.
        {"both_kinds_of_fault", "[MOTOR_PARAMETERS]\nPOL_MOTOR2=-3\nPOW_MOTOR1=150\n",
         "has values its parameters cannot hold: POL_MOTOR2=-3 (0 to 255). It also has values outside the motor "
         "board's ranges: POW_MOTOR1=150 (0 to 100). Nothing was sent.\n"},
        // A file that has none of the keys changes nothing.
        {"another_section", "[PARAMETERS]\nX=1\n[MOTOR_PARAMETERS]\n[OTHER]\nPOL_MOTOR1=14\n",
         "changes nothing: its [MOTOR_PARAMETERS] section has none of the keys. Nothing was sent.\n"},
        {"old_mac_line_ends", "[MOTOR_PARAMETERS]\rPOL_MOTOR1=14\rPOW_MOTOR1=60\r",
         "changes nothing: its [MOTOR_PARAMETERS] section has none of the keys. Nothing was sent.\n"},
        {"misspelt", "[MOTOR_PARAMETERS]\nPOW_MOTR1=60\n",
         "POW_MOTR1: did you mean POW_MOTOR1?\nqav-nuva-cli: " },
    };
    StartSim();
    const MotorParams stored = sim->MotorFlashParams();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path =
            row.text ? File(std::string(row.name) + ".bmc", row.text) : dir.File("none.bmc");
        std::vector<std::string> args{"write", "--board", "motor", "--port", kPort, path, "--flash"};
        if (row.allow)
            args.push_back("--allow-out-of-range");
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("qav-nuva-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(sim->Stats(sim::DeviceKind::Motor).framesReceived, 0u);
    EXPECT_EQ(sim->MotorWorkingParams(), sim::DefaultMotorParams());
    EXPECT_EQ(sim->MotorFlashParams(), stored);
}

// Above the dialog's range only with the user's leave, and then as the
// request's byte carries it; a misspelt key is named.
TEST_F(MotorCliTest, AllowOutOfRangeSendsWhatAByteCarries)
{
    StartSim();
    const std::string file = File("over.bmc", "[MOTOR_PARAMETERS]\nPOW_MOTOR1=150\nPOW_MOTR2=1\n");
    const CliRun refused = Cli({"write", "--board", "motor", "--port", kPort, file});
    EXPECT_EQ(refused.code, 1);
    EXPECT_EQ(refused.err, "qav-nuva-cli: " + file + " has no parameter named POW_MOTR2; it is ignored.\n" +
                               "qav-nuva-cli: POW_MOTR2: did you mean POW_MOTOR2?\n" + "qav-nuva-cli: " + file +
                               " has values outside the motor board's ranges: POW_MOTOR1=150 (0 to 100). Nothing "
                               "was sent. A file saved from a motor board that holds such values can be sent as its "
                               "frames carry them with --allow-out-of-range.\n");
    EXPECT_EQ(sim->Stats(sim::DeviceKind::Motor).framesReceived, 0u);
    const CliRun w = Cli({"write", "--board", "motor", "--port", kPort, file, "--allow-out-of-range"});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(sim->MotorWorkingParams().POW_MOTOR1, 150);
}

TEST_F(MotorCliTest, BoardThatKeepsRefusingTheFlashWriteIsExitFour)
{
    StartSim(1000000);
    const std::string file = File("in.bmc", "[MOTOR_PARAMETERS]\nPOL_MOTOR1=20\nPOW_MOTOR1=20\n"
                                            "POL_MOTOR2=20\nPOW_MOTOR2=20\n");
    const CliRun r = Cli({"write", "--board", "motor", "--port", kPort, file, "--flash"});
    EXPECT_EQ(r.code, 4) << r.err;
    EXPECT_EQ(WithoutBackupNote(r.err),
              "qav-nuva-cli: Write flash failed! The board refused for 3 seconds.\n");
    EXPECT_EQ(sim->MotorFlashParams().POL_MOTOR1, 14);
    EXPECT_EQ(sim->MotorWorkingParams().POL_MOTOR1, 20); // taken, just not stored
}

TEST_F(MotorCliTest, MonitorPrintsVoltageCurrentAndFirmware)
{
    StartSim();
    const std::regex json(R"(\{"voltage":1[01]\.\d{3},"current":[0-2]\.\d{3},"firmware":1\.5\})");
    const std::regex text(R"(voltage 1[01]\.\d{3} current [0-2]\.\d{3} firmware 1\.5)");
    for (bool asJson : {true, false}) {
        std::vector<std::string> args = {"monitor", "--board", "motor", "--port", kPort, "--count", "3"};
        if (asJson)
            args.push_back("--json");
        const CliRun r = Cli(args);
        ASSERT_EQ(r.code, 0) << r.err;
        std::istringstream lines(r.out);
        std::string line;
        int n = 0;
        for (; std::getline(lines, line); ++n)
            EXPECT_TRUE(std::regex_match(line, asJson ? json : text)) << line;
        EXPECT_EQ(n, 3);
    }
}

TEST_F(MotorCliTest, BoardOptionErrorsNameTheOption)
{
    const struct
    {
        std::vector<std::string> args;
        const char* said;
        bool allow = false; // --allow-out-of-range
    } rows[] = {
        {{"read", "--board", "gimbal", "--port", kPort}, "--board"},
        {{"write", "--port", kPort, "x.bmc", "--board", "Motor"}, "--board"},
        {{"monitor", "--port", kPort, "--board"}, "--board"},
        {{"motor-on", "--board", "motor", "--port", kPort}, "--board"},
    };
    for (const auto& row : rows) {
        const CliRun r = Cli(row.args);
        EXPECT_EQ(r.code, 1) << row.args[0];
        EXPECT_NE(r.err.find(row.said), std::string::npos) << r.err;
    }
    // No board there: exit 2 as for the controller.
    EXPECT_EQ(Cli({"read", "--board", "motor", "--port", "COM1000"}).code, 2);
}

} // namespace
} // namespace qav
