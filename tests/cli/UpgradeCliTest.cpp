// qav-nuva-cli's firmware commands against real files and the simulated
// boards: every exit code of upgrade, the board check, pack and info, and a
// board left in its boot loader named by the commands that talk to it.
#include "BootLoaderModel.h"
#include "Cli.h"
#include "Simulator.h"
#include "support/BootSync.h"
#include "support/CliRun.h"
#include "support/Patience.h"
#include "support/ScopedPortsDir.h"
#include "upgrade/BootLoader.h"
#include "upgrade/FirmwareFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace qav {
namespace {

using namespace std::chrono_literals;

constexpr int kControllerCom = 161;
constexpr int kMotorCom = 162;

using test::Cli;
using test::CliRun;

class UpgradeCli : public testing::Test
{
protected:
    void StartSim(sim::BootFaults faults = {})
    {
        sim::SimulatorConfig config;
        config.controllerCom = kControllerCom;
        config.motorCom = kMotorCom;
        config.bootFaults = faults;
        sim_ = std::make_unique<sim::Simulator>(config);
        const Result started = sim_->Start();
        ASSERT_TRUE(started) << started.message;
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = ports_.Scratch() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // The board reset with its boot jumper set, and in step with a first
    // sync byte: as a failed or cancelled upgrade leaves it.
    void IntoBootLoader(sim::DeviceKind kind, int com)
    {
        sim_->ResetIntoBootLoader(kind);
        BootPort port;
        ASSERT_TRUE(test::SyncBootLoader(port, com));
    }
    std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    test::ScopedPortsDir ports_;
    std::unique_ptr<sim::Simulator> sim_;
    const std::string fifo_ = [this] {
        const std::string path = ports_.Scratch() + "/fifo";
        mkfifo(path.c_str(), 0600);
        return path;
    }();
};

TEST_F(UpgradeCli, PackThenUpgradeBothBoards)
{
    StartSim();
    const auto image = sim::SimFirmwareImage(33, 6000, 4);
    const std::string raw = Write("fw.bin", image);
    const std::string packed = ports_.Scratch() + "/fw.bmcf";
    const CliRun pack =
        Cli({"firmware", "pack", "--any-chip", "--board", "motor", "--version", "3.3", raw, "-o", packed});
    ASSERT_EQ(pack.code, 0) << pack.err;

    const CliRun info = Cli({"firmware", "info", packed});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find(
                  "board: 2 (motor board)\nversion: 33 (V3.3)\naddress: 0x08000000\nlength: 6000 bytes\n"),
              std::string::npos)
        << info.out;
    EXPECT_NE(info.out.find("image CRC-32: 0x"), std::string::npos);

    const CliRun up = Cli({"upgrade", "--port", "COM162", "--board", "motor", packed});
    ASSERT_EQ(up.code, 0) << up.err;
    // Not a terminal: one line per 10 %.
    for (int p = 0; p <= 100; p += 10)
        EXPECT_NE(up.out.find("progress " + std::to_string(p) + " %\n"), std::string::npos) << p;
    EXPECT_NE(up.out.find("Written, verified and started.\n"), std::string::npos);
    EXPECT_EQ(sim_->FirmwareVersion(sim::DeviceKind::Motor), 33);

    // The controller is the default board.
    const std::string controller = ports_.Scratch() + "/fw.bgsf";
    ASSERT_EQ(Cli({"firmware", "pack", "--any-chip", "--board", "controller", "--version", "41", raw, "-o",
                   controller})
                  .code,
              0);
    EXPECT_EQ(Cli({"upgrade", "--port", "COM161", controller}).code, 0);
    const auto flash = sim_->Flash(sim::DeviceKind::Controller);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

TEST_F(UpgradeCli, EveryExitCode)
{
    sim::BootFaults corrupt;
    corrupt.corruptRead = 1;
    StartSim(corrupt);
    const auto image = sim::SimFirmwareImage(12, 2048);
    const std::string good = Write("good.bgsf", PackFirmware(BoardId::Controller, 12, 0x08000000, image));
    auto broken = PackFirmware(BoardId::Controller, 12, 0x08000000, image);
    broken.resize(100);
    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        int code;
        std::string err;
    };
    const std::vector<Case> cases{
        {"no file given", {"upgrade", "--port", "COM161"}, 1, "Usage: qav-nuva-cli upgrade"},
        {"bad board",
         {"upgrade", "--port", "COM161", "--board", "pan", good},
         1,
         "The board is controller or motor."},
        {"missing file", {"upgrade", "--port", "COM161", ports_.Scratch() + "/none.bgsf"}, 1, "code 7:"},
        {"truncated file", {"upgrade", "--port", "COM161", Write("t.bgsf", broken)}, 1, "code 8:"},
        {"file for the other board",
         {"upgrade", "--port", "COM162", "--board", "motor", good},
         1,
         "code 9: The file is for the main controller.\n"},
        {"no such port", {"upgrade", "--port", "COM163", good}, 2, "code 4: Cannot open COM163: "},
        {"a FIFO", {"upgrade", "--port", "COM161", fifo_}, 1, "code 7: Cannot read " + fifo_ + ": not a regular file."},
        {"a device", {"upgrade", "--port", "COM161", "/dev/zero"}, 1,
         "code 7: Cannot read /dev/zero: not a regular file."},
        {"corrupted read-back",
         {"upgrade", "--port", "COM161", good},
         4,
         "Upgrade failed with code 20: The flash at 0x08000000 reads back different.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    // The bad files never reached the board.
    EXPECT_EQ(sim_->BootLoaderStats(sim::DeviceKind::Motor).entries, 0);
    EXPECT_EQ(sim_->BootLoaderStats(sim::DeviceKind::Controller).entries, 1);
    // A port that does not open is told as read tells it.
    const CliRun read = Cli({"read", "--port", "COM163"});
    const CliRun upgrade = Cli({"upgrade", "--port", "COM163", good});
    EXPECT_EQ(read.code, upgrade.code);
    EXPECT_EQ(upgrade.err, "qav-nuva-cli: Upgrade failed with code 4: " + read.err.substr(read.err.find("Cannot")));
}

// Firmware for one board on the other board's port: code 9 before any sync
// byte (the library's tests go both ways), exit code 1.
TEST_F(UpgradeCli, TheWrongBoardIsNeverFlashed)
{
    StartSim();
    const std::string controller =
        Write("c.bgsf", PackFirmware(BoardId::Controller, 50, 0x08000000, sim::SimFirmwareImage(50, 2048)));
    const auto flash = sim_->Flash(sim::DeviceKind::Motor);
    const CliRun r = Cli({"upgrade", "--port", "COM162", controller});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qav-nuva-cli: Upgrade failed with code 9: The motor board answered on COM162; this firmware "
                     "is for the main controller.\n");
    EXPECT_EQ(sim_->Stats(sim::DeviceKind::Motor).syncsHeard, 0u);
    EXPECT_EQ(sim_->Flash(sim::DeviceKind::Motor), flash);
}

// A board already in its boot loader, freshly reset: --no-identify lets the
// sync byte be the first byte it hears. The chip the file names is then the
// only guard left, so a file that names none is refused before any byte
// unless --force is given.
TEST_F(UpgradeCli, NoIdentifyTakesOnlyAFileThatNamesItsChip)
{
    StartSim();
    const auto image = sim::SimFirmwareImage(44, 4096);
    const std::string anyChip = Write("any.bgsf", PackFirmware(BoardId::Controller, 44, 0x08000000, image));
    const std::string ownChip =
        Write("own.bgsf", PackFirmware(BoardId::Controller, 45, 0x08000000, sim::SimFirmwareImage(45, 4096),
                                       sim::kSimChipId));
    struct Case
    {
        std::vector<std::string> args;
        int code;
        std::string err; // the start of what is said on stderr
    };
    const std::vector<Case> cases{
        {{"--no-identify", anyChip},
         1,
         "qav-nuva-cli: " + anyChip +
             " names no chip, and --no-identify skips the board check: nothing would keep it from the other "
             "board. Pack it again with --chip ID, leave out --no-identify, or add --force if the board on "
             "the "
             "port is surely the main controller.\n"},
        {{"--force", anyChip}, 1, "qav-nuva-cli: --force goes with --no-identify only.\n"},
        {{"--no-identify", "--force", anyChip}, 0, ""},
        {{"--no-identify", ownChip}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        sim_->ResetIntoBootLoader(sim::DeviceKind::Controller);
        const auto heard = sim_->BootLoaderStats(sim::DeviceKind::Controller).bytesHeard;
        const auto flash = sim_->Flash(sim::DeviceKind::Controller);
        std::vector<std::string> args{"upgrade", "--port", "COM161"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_EQ(r.err, c.err);
        if (c.code != 0) {
            EXPECT_EQ(sim_->BootLoaderStats(sim::DeviceKind::Controller).bytesHeard, heard);
            EXPECT_EQ(sim_->Flash(sim::DeviceKind::Controller), flash);
        } else {
            EXPECT_NE(sim_->Flash(sim::DeviceKind::Controller), flash);
        }
    }
    EXPECT_EQ(sim_->FirmwareVersion(sim::DeviceKind::Controller), 45);
}

// After a failed or cancelled upgrade the board answers no frame: the
// commands that talk to it say that it waits in its boot loader.
TEST_F(UpgradeCli, ABoardInItsBootLoaderIsNamedAsSuch)
{
    StartSim();
    const std::string motorFile = Write("m.bmc", {});
    std::ofstream(motorFile) << "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nPOW_MOTOR1=80\nPOL_MOTOR2=14\nPOW_MOTOR2=60\n";
    struct Case
    {
        std::vector<std::string> args;
        sim::DeviceKind kind;
        int com;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"read", "--port", "COM161"},
         sim::DeviceKind::Controller,
         kControllerCom,
         "qav-nuva-cli: The controller on COM161 is in its boot loader: start the upgrade again, or remove the "
         "boot jumper and reset it.\n"},
        {{"read", "--board", "motor", "--port", "COM162"},
         sim::DeviceKind::Motor,
         kMotorCom,
         "qav-nuva-cli: The motor board on COM162 is in its boot loader: start the upgrade again, or remove the "
         "boot jumper and reset it.\n"},
        {{"monitor", "--port", "COM161", "--count", "1"},
         sim::DeviceKind::Controller,
         kControllerCom,
         "qav-nuva-cli: The controller on COM161 is in its boot loader: start the upgrade again, or remove the "
         "boot jumper and reset it.\n"},
        {{"write", "--board", "motor", "--port", "COM162", motorFile},
         sim::DeviceKind::Motor,
         kMotorCom,
         "qav-nuva-cli: The motor board on COM162 is in its boot loader: start the upgrade again, or remove the "
         "boot jumper and reset it.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        IntoBootLoader(c.kind, c.com);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, 3);
        EXPECT_EQ(test::WithoutBackupNote(r.err), c.err);
    }
    // A board that only falls silent is no boot loader.
    sim_->FallSilent(sim::DeviceKind::Controller);
    EXPECT_EQ(Cli({"read", "--port", "COM161"}).err,
              "qav-nuva-cli: No answer from the controller on COM161 within 3 seconds.\n");
}

// read and write on the other board's port name the board that answered
// there, as upgrade does, and change nothing on it.
TEST_F(UpgradeCli, ReadAndWriteNameTheOtherBoardOnTheirPort)
{
    StartSim();
    const std::string controllerFile = Write("c.bgsc", {});
    std::ofstream(controllerFile) << "[PARAMETERS]\nROLL_TOTAL=130\n";
    const std::string motorFile = Write("m.bmc", {});
    std::ofstream(motorFile) << "[MOTOR_PARAMETERS]\nPOW_MOTOR1=70\n";
    const std::string onMotor =
        "qav-nuva-cli: The motor board answered on COM162, not the controller (--board motor talks to it).\n";
    const std::string onController = "qav-nuva-cli: The main controller answered on COM161, not the motor board "
                                     "(--board controller talks to it).\n";
    struct Case
    {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases{
        {{"read", "--port", "COM162"}, onMotor},
        {{"write", "--port", "COM162", "--no-backup", controllerFile}, onMotor},
        {{"read", "--board", "motor", "--port", "COM161"}, onController},
        {{"write", "--board", "motor", "--port", "COM161", "--no-backup", motorFile}, onController},
    };
    const auto motor = sim_->MotorWorkingParams();
    const auto controller = sim_->ControllerWorkingParams();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2]);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, 3);
        // After what the file lacks, for a write.
        EXPECT_TRUE(r.err.ends_with(c.err)) << r.err;
    }
    EXPECT_EQ(sim_->MotorWorkingParams(), motor);
    EXPECT_EQ(sim_->ControllerWorkingParams(), controller);
    EXPECT_FALSE(sim_->InBootLoader(sim::DeviceKind::Motor));
    EXPECT_FALSE(sim_->InBootLoader(sim::DeviceKind::Controller));
}

TEST_F(UpgradeCli, ABoardThatNeverAnswersIsExitCode3)
{
    sim::BootFaults deaf;
    deaf.deaf = true;
    StartSim(deaf);
    const std::string file =
        Write("d.bgsf", PackFirmware(BoardId::Controller, 1, 0x08000000, sim::SimFirmwareImage(1, 1024)));
    const CliRun r = Cli({"upgrade", "--port", "COM161", file});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("code 10: No answer from the boot loader within 10 s: reset the board"), std::string::npos)
        << r.err;
    // --no-identify is named for a board put in its boot loader by hand only.
    EXPECT_NE(
        r.err.find(" Only if you put the board in its boot loader by hand before starting: its boot loader "
                   "may have taken the board check's polls for its baud rate, so reset it and start again "
                   "with --no-identify.\n"),
        std::string::npos)
        << r.err;
}

TEST_F(UpgradeCli, ASignalStopsTheUpgradeWith128PlusItsNumber)
{
    sim::BootFaults deaf;
    deaf.deaf = true;
    StartSim(deaf);
    const std::string file =
        Write("s.bgsf", PackFirmware(BoardId::Controller, 1, 0x08000000, sim::SimFirmwareImage(1, 1024)));
    volatile std::sig_atomic_t stop = SIGTERM;
    std::ostringstream out, err;
    EXPECT_EQ(cli::RunCli({"upgrade", "--port", "COM161", file}, out, err, &stop), 128 + SIGTERM);
    EXPECT_EQ(err.str().rfind("qav-nuva-cli: Interrupted; ", 0), 0u) << err.str();
}

TEST_F(UpgradeCli, PackTakesIntelHexAndInfoFindsFlaws)
{
    const std::string hex = Write("fw.hex", {});
    std::ofstream(hex) << ":020000040800F2\n:0400100001020304E2\n:00000001FF\n";
    const std::string out = ports_.Scratch() + "/h.bgsf";
    const CliRun pack =
        Cli({"firmware", "pack", "--any-chip", "--board", "controller", "--version", "7", hex, "-o", out});
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_NE(pack.out.find("4 bytes for the main controller at 0x08000010, version 7"), std::string::npos)
        << pack.out;
    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        int code;
        std::string text;
    };
    std::string bytes = Read(out);
    bytes[33] ^= 1;
    const std::string bad = Write("bad.bgsf", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    const std::vector<Case> cases{
        {"hex address differs",
         {"firmware", "pack", "--any-chip", "--board", "motor", "--version", "1", "--address", "0x08000000",
          hex, "-o", out},
         1,
         "not at the address given"},
        {"version too big",
         {"firmware", "pack", "--any-chip", "--board", "motor", "--version", "25.6", hex, "-o", out},
         1,
         "The version is"},
        {"unaligned address",
         {"firmware", "pack", "--any-chip", "--board", "motor", "--version", "1", "--address", "0x08000002",
          hex, "-o", out},
         1,
         "multiple of 4"},
        {"missing input",
         {"firmware", "pack", "--any-chip", "--board", "motor", "--version", "1", "none", "-o", out},
         1,
         "Cannot read none: No such file or directory."},
        {"image CRC", {"firmware", "info", bad}, 1, "the image's CRC does not match"},
        {"not a firmware file",
         {"firmware", "info", hex},
         1,
         "is not a firmware file: it starts with \":020000040800F2\\x0A\"..., Intel HEX text"},
        {"unknown subcommand", {"firmware", "burn"}, 1, "Usage: qav-nuva-cli firmware"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    }
    EXPECT_NE(Cli({"firmware", "info", bad}).out.find("(does not match: 0x"), std::string::npos);

    // "--" ends the options: a file whose name starts with a dash.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(ports_.Scratch());
    std::filesystem::copy_file(out, "-x.bgsf");
    const CliRun dashed = Cli({"firmware", "info", "--", "-x.bgsf"});
    const CliRun option = Cli({"firmware", "info", "-x.bgsf"});
    const CliRun help = Cli({"firmware", "info", "--", "-h"});
    std::filesystem::current_path(before);
    EXPECT_EQ(dashed.code, 0) << dashed.err;
    EXPECT_EQ(dashed.out.rfind("magic: QNFW\n", 0), 0u) << dashed.out;
    EXPECT_EQ(option.err, "qav-nuva-cli: Unknown option -x.bgsf.\n");
    EXPECT_EQ(help.err, "qav-nuva-cli: Cannot read -h: No such file or directory.\n");
}

// Each firmware command reads only regular files of bounded size: a FIFO
// (which would wait for a writer) or a device (which would be read for
// ever) is refused at once.
TEST_F(UpgradeCli, FirmwareCommandsRefuseFifosAndDevicesAtOnce)
{
    const std::string out = ports_.Scratch() + "/o.bgsf";
    for (const std::string& input : {fifo_, std::string("/dev/zero")}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"firmware", "info", input},
              std::vector<std::string>{"firmware", "pack", "--any-chip", "--board", "controller", "--version",
                                       "1", input, "-o", out},
              std::vector<std::string>{"upgrade", "--port", "COM161", input}}) {
            SCOPED_TRACE(args[0] + " " + args[1] + " " + input);
            const CliRun r = Cli(args);
            EXPECT_EQ(r.code, 1);
            EXPECT_NE(r.err.find("Cannot read " + input + ": not a regular file."), std::string::npos) << r.err;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

// pack tells its input by content and refuses what would flash nonsense.
TEST_F(UpgradeCli, PackRefusesWhatIsNoFlashImage)
{
    auto program = sim::SimFirmwareImage(21, 1024);
    auto text = std::vector<std::uint8_t>(1024, 'a');
    auto elf = program;
    elf[0] = 0x7F, elf[1] = 'E', elf[2] = 'L', elf[3] = 'F';
    auto stackInFlash = program;
    stackInFlash[3] = 0x08;
    auto resetOutside = program;
    resetOutside[7] = 0x09;
    // A stack pointer whose bytes read as a blank and a colon: no Intel HEX.
    auto colon = program;
    colon[0] = 0x20, colon[1] = ':', colon[2] = 0x00, colon[3] = 0x20;
    auto badHex = std::vector<std::uint8_t>(1024, '0');
    const std::string firstRecord = ":0400000000500020BB\n";
    std::copy(firstRecord.begin(), firstRecord.end(), badHex.begin());
    const std::string packed = Write("p.bgsf", PackFirmware(BoardId::Controller, 1, 0x08000000, program));
    const std::string hex = Write("blank.hex", {});
    std::ofstream(hex) << "\n\n  :020000040800F2\n :04000000005000208C\n :00000001FF\n";
    struct Case
    {
        const char* name;
        std::string input;
        std::vector<std::string> extra;
        int code;
        std::string said;
    };
    const std::vector<Case> cases{
        {"a program", Write("a.bin", program), {}, 0, "Wrote "},
        {"an ELF file", Write("a.elf", elf), {}, 1, "is an ELF file, not a flash image: convert it first, e.g. objcopy -O binary"},
        {"text", Write("a.txt", text), {}, 1, "its first word 0x61616161 is not a stack pointer in RAM"},
        {"a stack pointer in flash", Write("s.bin", stackInFlash), {}, 1, "its first word 0x08005000"},
        {"a reset address outside", Write("r.bin", resetOutside), {}, 1,
         "its second word 0x09000101 is not a reset address inside the image"},
        {"forced", Write("f.bin", text), {"--force"}, 0, "Wrote "},
        {"a firmware file", packed, {}, 1, "is a firmware file already"},
        {"Intel HEX after blank lines", hex, {}, 0, "4 bytes for the main controller at 0x08000000"},
        {"a stack pointer of 0x20003A20", Write("colon.bin", colon), {}, 0,
         "1024 bytes for the main controller at 0x08000000"},
        // A first line that is no whole record makes no Intel HEX file.
        {"a wrong checksum", Write("bad.hex", badHex), {}, 1, "its first word 0x3034303A is not a stack pointer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = ports_.Scratch() + "/out.bgsf";
        std::filesystem::remove(out);
        std::vector<std::string> args{"firmware",  "pack", "--any-chip", "--board", "controller",
                                      "--version", "1",    c.input,      "-o",      out};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << r.out << r.err;
        EXPECT_EQ(std::filesystem::exists(out), c.code == 0);
    }
}

// pack never writes into something that is not a regular file; --chip goes
// into the header and info shows it.
TEST_F(UpgradeCli, PackWritesOnlyRegularFilesAndKeepsTheChip)
{
    const std::string raw = Write("a.bin", sim::SimFirmwareImage(12, 512));
    const std::string dir = ports_.Scratch() + "/dir";
    std::filesystem::create_directory(dir);
    // A read-only file is left as it is, owner and all.
    const std::string readOnly = Write("read-only.bmcf", {'o', 'l', 'd'});
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    for (const auto& [target, why] : std::vector<std::pair<std::string, std::string>>{
             {fifo_, "not a regular file"},
             {dir, "Is a directory"},
             {"/dev/null", "not a regular file"},
             {readOnly, "Permission denied"}}) {
        SCOPED_TRACE(target);
        const CliRun r =
            Cli({"firmware", "pack", "--any-chip", "--board", "motor", "--version", "1", raw, "-o", target});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "qav-nuva-cli: Cannot write " + target + ": " + why + ".\n");
    }
    EXPECT_EQ(Read(readOnly), "old");
    const std::string out = ports_.Scratch() + "/c.bmcf";
    const CliRun pack =
        Cli({"firmware", "pack", "--board", "motor", "--version", "1.2", "--chip", "0x422", raw, "-o", out});
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_NE(pack.out.find(", chip 0x422 (STM32F302/F303 xB/xC)."), std::string::npos) << pack.out;
    const CliRun info = Cli({"firmware", "info", out});
    EXPECT_NE(info.out.find("length: 512 bytes\nchip: 0x422 (STM32F302/F303 xB/xC)\n"), std::string::npos)
        << info.out;
    // "Any chip" is never what a forgotten option gives.
    const std::string named =
        "qav-nuva-cli: Name the chip the firmware is for with --chip ID (0x412, 0x410, "
        "0x420, 0x414, 0x428, 0x418, 0x430, 0x422, 0x413), or give --any-chip for a file "
        "any chip takes: the upgrade checks the chip before anything is erased.\n";
    std::filesystem::remove(out);
    for (const auto& [chipArgs, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{}, named},
             {{"--chip", "0x422", "--any-chip"},
              "qav-nuva-cli: --chip and --any-chip exclude each other.\n"}}) {
        std::vector<std::string> args{"firmware", "pack", "--board", "motor", "--version",
                                      "1",        raw,    "-o",      out};
        args.insert(args.end(), chipArgs.begin(), chipArgs.end());
        const CliRun r = Cli(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, said);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    ASSERT_EQ(
        Cli({"firmware", "pack", "--board", "motor", "--version", "1", "--any-chip", raw, "-o", out}).code,
        0);
    EXPECT_NE(Cli({"firmware", "info", out}).out.find("\nchip: any\n"), std::string::npos);
    EXPECT_EQ(Cli({"firmware", "pack", "--board", "motor", "--version", "1", "--chip", "0x999", raw, "-o", out}).err,
              "qav-nuva-cli: The chip is a product id the upgrade knows: 0x412, 0x410, 0x420, 0x414, 0x428, 0x418, "
              "0x430, 0x422, 0x413.\n");
}

// info of a file that is not ours says so, and never sends its bytes to the
// terminal raw.
TEST_F(UpgradeCli, InfoOfAForeignFileEscapesItsBytes)
{
    const std::string file = Write("x.bin", {0x1B, '[', '3', '1', 'm', 'h', 'i', 0x00, 0x07, '"', 0xFF});
    const CliRun r = Cli({"firmware", "info", file});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "qav-nuva-cli: " + file + " is not a firmware file: it starts with \"\\x1B[31mhi\\x00\\x07\\x22\\xFF\".\n");
    EXPECT_EQ(r.out, "");
}

} // namespace
} // namespace qav
