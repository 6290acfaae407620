// The tuning aids of the command-line tool against simulated controllers:
// telemetry as CSV, diffs, the backup a write takes first, and writes to
// several controllers at once.
#include "BootLoaderModel.h"
#include "Simulator.h"
#include "files/ConfigFile.h"

#include "support/CliRun.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

namespace qav {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using test::Cli;
using test::CliRun;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

std::vector<std::string> Fields(const std::string& line, char separator)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, separator))
        fields.push_back(field);
    if (!line.empty() && line.back() == separator)
        fields.emplace_back();
    return fields;
}

class TuningCliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(dir.path() / "ports");
        ::setenv("QAV_NUVA_PORTS_DIR", (dir.path() / "ports").c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
        backups = dir.path() / "data/qav-nuva/backups";
    }
    sim::Simulator& Start(int com, sim::SimFaults faults = {})
    {
        sim::SimulatorConfig config;
        config.paceOutput = false;
        config.controllerCom = com;
        config.flashPath = dir.File("flash" + std::to_string(com) + ".bgsc");
        config.faults = faults;
        sims.push_back(std::make_unique<sim::Simulator>(config));
        const Result started = sims.back()->Start();
        EXPECT_TRUE(started) << started.message;
        return *sims.back();
    }
    // A file with the device's set and a few changes.
    std::string ChangedFile(const ControllerParams& device, const std::string& name)
    {
        ControllerParams p = device;
        p.ROLL_TOTAL = 222;
        p.PITCH_MIN = -60;
        const std::string path = dir.File(name);
        EXPECT_TRUE(SaveConfig(path, p));
        return path;
    }

    test::TempDir dir;
    fs::path backups;
    std::vector<std::unique_ptr<sim::Simulator>> sims;
};

TEST_F(TuningCliTest, MonitorCsvPrintsAHeaderAndOneRowPerAnswer)
{
    Start(181);
    const CliRun r = Cli({"monitor", "--port", "COM181", "--count", "5", "--csv"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 6u) << r.out;
    EXPECT_EQ(lines[0], "t,roll,tilt,pan,rc_roll,rc_tilt,rc_pan,rc_mode,rc_shot,ax,ay,az,motor,firmware");
    double last = -1;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto f = Fields(lines[i], ',');
        ASSERT_EQ(f.size(), 14u) << lines[i];
        const double t = std::stod(f[0]);
        EXPECT_GE(t, last) << lines[i];
        last = t;
        EXPECT_EQ(f[12], "off");
        EXPECT_EQ(f[13], "2.3");
    }
    EXPECT_EQ(Fields(lines[1], ',')[0], "0.000");
    EXPECT_EQ(r.out.back(), '\n');

    const CliRun both = Cli({"monitor", "--port", "COM181", "--json", "--csv"});
    EXPECT_EQ(both.code, 1);
    EXPECT_EQ(both.err, "qav-nuva-cli: Choose one of --json and --csv.\n");
    EXPECT_EQ(Cli({"monitor", "--board", "motor", "--port", "COM181", "--csv"}).code, 1);
}

TEST_F(TuningCliTest, DiffListsDifferingKeysAndExitsLikeGit)
{
    const std::string a = dir.File("a.bgsc"), b = dir.File("b.ini");
    test::WriteWholeFile(a, "[PARAMETERS]\nROLL_TOTAL=120\nROLL_VEL=80\nPITCH_MIN=-90\n");
    test::WriteWholeFile(
        b, "[PARAMETERS]\r\nROLL_TOTAL=150\r\nROLL_TOTAL=120\r\nPITCH_MIN=-090\r\nRECEIVER_TYPE=2\r\n");
    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string out;
        std::string errStart;
    };
    // Keys that are no parameter are named escaped, with the one a slip
    // of the hand most likely meant.
    const std::string odd = dir.File("odd.bgsc"), m = dir.File("m.bmc"), n = dir.File("n.bmc");
    test::WriteWholeFile(odd, "[PARAMETERS]\nROLL_TOTAL=120\nROLL_VEL=80\nPITCH_MIN=-90\nROLL_TOTL=1\n"
                              "\x1b[2J\xc3=1\n");
    test::WriteWholeFile(m, "[MOTOR_PARAMETERS]\nPOW_MOTOR1=50\npow_motr2=7\n");
    test::WriteWholeFile(n, "[MOTOR_PARAMETERS]\nPOW_MOTOR1=60\n");
    // The first of two ROLL_TOTAL lines counts; -090 is -90.
    const std::string differences =
        "ROLL_TOTAL\t120\t150\nROLL_VEL\t80\t(missing)\nRECEIVER_TYPE\t(missing)\t2\n";
    const Case cases[] = {
        {{"diff", a, b}, 0, differences, ""},
        {{"diff", a, b, "--exit-code"}, 1, differences, ""},
        {{"diff", a, a, "--exit-code"}, 0, "", ""},
        {{"diff", "--exit-code", b, a},
         1,
         "ROLL_TOTAL\t150\t120\nROLL_VEL\t(missing)\t80\nRECEIVER_TYPE\t2\t(missing)\n",
         ""},
        {{"diff", a, dir.File("none.bgsc")}, 1, "", "qav-nuva-cli: Cannot read " + dir.File("none.bgsc")},
        {{"diff", a}, 1, "", "qav-nuva-cli: Usage: qav-nuva-cli diff [--board B] FILE_A FILE_B"},
        {{"diff", a, b, "--bogus"}, 1, "", "qav-nuva-cli: Unknown option --bogus."},
        {{"diff", a, odd},
         0,
         "",
         "qav-nuva-cli: " + odd + " has no parameters named ROLL_TOTL and \\x1B[2J\\xC3; they are ignored.\n" +
             "qav-nuva-cli: ROLL_TOTL: did you mean ROLL_TOTAL?\n"},
        {{"diff", "--board", "motor", m, n},
         0,
         "POW_MOTOR1\t50\t60\n",
         "qav-nuva-cli: " + m + " has no parameter named pow_motr2; it is ignored.\n" +
             "qav-nuva-cli: pow_motr2: did you mean POW_MOTOR2?\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << r.err;
        if (c.errStart.ends_with('\n')) {
            EXPECT_EQ(r.err, c.errStart);
        }
    }
}

TEST_F(TuningCliTest, DiffAgainstAControllerComparesItsOwnSet)
{
    sim::Simulator& sim = Start(182);
    const std::string file = ChangedFile(sim.ControllerWorkingParams(), "changed.bgsc");
    const ControllerParams device = sim.ControllerWorkingParams();
    const CliRun r = Cli({"diff", "--port", "COM182", file, "--exit-code"});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.out, "ROLL_TOTAL\t" + std::to_string(device.ROLL_TOTAL) + "\t222\nPITCH_MIN\t" +
                         std::to_string(device.PITCH_MIN) + "\t-60\n");

    const std::string same = dir.File("same.bgsc");
    ASSERT_TRUE(SaveConfig(same, device));
    EXPECT_EQ(Cli({"diff", "--port", "COM182", same, "--exit-code"}).code, 0);
    EXPECT_EQ(Cli({"diff", "--port", "COM189", same}).code, 2);
}

TEST_F(TuningCliTest, AWriteKeepsABackupOfTheControllersSetFirst)
{
    sim::Simulator& sim = Start(183);
    const ControllerParams before = sim.ControllerWorkingParams();
    const std::string file = ChangedFile(before, "tuned.bgsc");
    const CliRun w = Cli({"write", "--port", "COM183", file});
    ASSERT_EQ(w.code, 0) << w.err;
    EXPECT_EQ(sim.ControllerWorkingParams().ROLL_TOTAL, 222);

    ASSERT_TRUE(fs::is_directory(backups));
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(backups))
        files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(files[0].filename().string().ends_with("_COM183.bgsc")) << files[0];
    ControllerParams saved;
    ASSERT_TRUE(LoadConfig(files[0].string(), saved));
    EXPECT_EQ(saved.ROLL_TOTAL, before.ROLL_TOTAL);
    EXPECT_EQ(saved.PITCH_MIN, before.PITCH_MIN);
    EXPECT_NE(w.err.find("saved to " + files[0].string()), std::string::npos) << w.err;

    // No place for a backup: nothing is sent, unless asked to go without.
    ::setenv("XDG_DATA_HOME", file.c_str(), 1); // a file, not a folder
    const std::string other = ChangedFile(sim.ControllerWorkingParams(), "other.bgsc");
    ControllerParams p;
    ASSERT_TRUE(LoadConfig(other, p));
    p.ROLL_TOTAL = 111;
    ASSERT_TRUE(SaveConfig(other, p));
    const CliRun refused = Cli({"write", "--port", "COM183", other});
    EXPECT_EQ(refused.code, 1);
    EXPECT_NE(refused.err.find("Nothing was sent"), std::string::npos) << refused.err;
    EXPECT_EQ(sim.ControllerWorkingParams().ROLL_TOTAL, 222);
    ASSERT_EQ(Cli({"write", "--port", "COM183", other, "--no-backup"}).code, 0);
    EXPECT_EQ(sim.ControllerWorkingParams().ROLL_TOTAL, 111);
}

TEST_F(TuningCliTest, TwoControllersWrittenAtOnceOneOfThemSilent)
{
    sim::Simulator& talking = Start(184);
    sim::SimFaults silent;
    silent.silenceAfter = 0ms;
    silent.silenceFor = std::chrono::hours(1);
    Start(185, silent);
    const std::string file = ChangedFile(talking.ControllerWorkingParams(), "line.bgsc");

    const CliRun w = Cli({"write", "--port", "COM185", "--port", "COM184", file, "--flash"});
    EXPECT_EQ(w.code, 3) << w.out << w.err; // the worst: no answer
    const std::vector<std::string> lines = Lines(w.out);
    ASSERT_EQ(lines.size(), 2u) << w.out;
    std::map<std::string, std::vector<std::string>> byPort;
    for (const std::string& l : lines)
        byPort[Fields(l, '\t')[0]] = Fields(l, '\t');
    // The controller that answers is written whatever the other does.
    const auto& ok = byPort["COM184"];
    ASSERT_EQ(ok.size(), 4u) << w.out;
    EXPECT_EQ(ok[1], "ok");
    EXPECT_TRUE(ok[2].ends_with(" s")) << ok[2];
    EXPECT_NE(ok[3].find("Write setting to flash successfully!"), std::string::npos) << ok[3];
    EXPECT_NE(ok[3].find("was saved to"), std::string::npos) << ok[3];
    const auto& failed = byPort["COM185"];
    ASSERT_EQ(failed.size(), 4u) << w.out;
    EXPECT_EQ(failed[1], "failed");
    EXPECT_GE(std::stod(failed[2]), 3.0);
    EXPECT_EQ(failed[3], "No answer from the controller on COM185 within 3 seconds.");
    EXPECT_EQ(talking.ControllerFlashParams().ROLL_TOTAL, 222);

    EXPECT_EQ(Cli({"write", "--port", "COM184", "--port", "COM184", file}).code, 1);
}

TEST_F(TuningCliTest, MotorBoardsAndUpgradesRunOnManyPortsToo)
{
    sim::SimulatorConfig config;
    config.paceOutput = false;
    config.controllerCom = 186;
    config.motorCom = 187;
    config.flashPath = dir.File("flash186.bgsc");
    sims.push_back(std::make_unique<sim::Simulator>(config));
    const Result started = sims.back()->Start();
    ASSERT_TRUE(started) << started.message;
    sim::Simulator& board = *sims.back();

    // A motor board and a port with nothing behind it.
    const std::string bmc = dir.File("line.bmc");
    test::WriteWholeFile(bmc,
                         "[MOTOR_PARAMETERS]\nPOL_MOTOR1=22\nPOW_MOTOR1=90\nPOL_MOTOR2=12\nPOW_MOTOR2=45\n");
    const CliRun motors = Cli({"write", "--board", "motor", "--port", "COM187", "--port", "COM188", bmc});
    EXPECT_EQ(motors.code, 2) << motors.out << motors.err;
    const std::vector<std::string> lines = Lines(motors.out);
    ASSERT_EQ(lines.size(), 2u) << motors.out;
    std::map<std::string, std::vector<std::string>> byPort;
    for (const std::string& l : lines)
        byPort[Fields(l, '\t')[0]] = Fields(l, '\t');
    EXPECT_EQ(byPort["COM187"][1], "ok");
    EXPECT_NE(byPort["COM187"][3].find(".bmc. Parameters uploaded."), std::string::npos)
        << byPort["COM187"][3];
    EXPECT_EQ(byPort["COM188"][1], "failed");
    EXPECT_EQ(board.MotorWorkingParams().POL_MOTOR1, 22);

    // The motor board's set against files, and two files.
    const std::string controllerFile = dir.File("controller.bgsc");
    test::WriteWholeFile(controllerFile, "[PARAMETERS]\nROLL_TOTAL=1\n");
    const std::string other = dir.File("other.bmc");
    test::WriteWholeFile(other, "[MOTOR_PARAMETERS]\r\nPOL_MOTOR1=22\r\nPOW_MOTOR1=090\r\nPOW_MOTOR2=50\r\n");
    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string out;
    };
    const Case cases[] = {
        {{"diff", "--board", "motor", "--port", "COM187", bmc, "--exit-code"}, 0, ""},
        // A write keeps the board's value for a key the file lacks.
        {{"diff", "--board", "motor", "--port", "COM187", other, "--exit-code"}, 1, "POW_MOTOR2\t45\t50\n"},
        {{"diff", "--board", "motor", bmc, other}, 0, "POL_MOTOR2\t12\t(missing)\nPOW_MOTOR2\t45\t50\n"},
        {{"diff", "--board", "motor", bmc, controllerFile}, 1, ""}, // no [MOTOR_PARAMETERS]
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[c.args.size() - 2]);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.out, c.out);
    }

    // Two controllers upgraded at once; progress lines stay out of the
    // result lines.
    Start(189);
    const auto image = sim::SimFirmwareImage(41, 2048);
    const std::string firmware = dir.File("fw.bgsf");
    const std::string raw = dir.File("fw.bin");
    test::WriteWholeFile(raw, std::string(image.begin(), image.end()));
    ASSERT_EQ(Cli({"firmware", "pack", "--any-chip", "--board", "controller", "--version", "41", raw, "-o",
                   firmware})
                  .code,
              0);
    const CliRun up = Cli({"upgrade", "--port", "COM186", "--port", "COM189", firmware});
    EXPECT_EQ(up.code, 0) << up.out << up.err;
    const std::vector<std::string> upLines = Lines(up.out);
    ASSERT_EQ(upLines.size(), 2u) << up.out;
    for (const std::string& l : upLines) {
        const auto f = Fields(l, '\t');
        ASSERT_EQ(f.size(), 4u) << l;
        EXPECT_EQ(f[1], "ok") << l;
        EXPECT_EQ(f[3], "Written, verified and started.") << l;
    }
    for (const auto& s : sims)
        EXPECT_EQ(s->FirmwareVersion(sim::DeviceKind::Controller), 41);
    EXPECT_EQ(Cli({"upgrade", "--port", "COM186", "--port", "COM186", firmware}).code, 1);
}

} // namespace
} // namespace qav
