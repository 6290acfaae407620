// qav-nuva-cli's firmware commands against real files and the simulated
// boards: every exit code of upgrade, and pack and info.
#include "BootLoaderModel.h"
#include "Cli.h"
#include "Simulator.h"
#include "support/CliRun.h"
#include "support/ScopedPortsDir.h"
#include "upgrade/FirmwareFile.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

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
        std::string why;
        ASSERT_TRUE(sim_->Start(&why)) << why;
    }
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = ports_.Scratch() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
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
};

TEST_F(UpgradeCli, PackThenUpgradeBothBoards)
{
    StartSim();
    const auto image = sim::SimFirmwareImage(33, 6000, 4);
    const std::string raw = Write("fw.bin", image);
    const std::string packed = ports_.Scratch() + "/fw.bmcf";
    const CliRun pack = Cli({"firmware", "pack", "--board", "motor", "--version", "3.3", raw, "-o", packed});
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
    ASSERT_EQ(
        Cli({"firmware", "pack", "--board", "controller", "--version", "41", raw, "-o", controller}).code, 0);
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
    const std::string good =
        Write("good.bgsf", PackFirmware(FirmwareBoard::Controller, 12, 0x08000000, image));
    auto broken = PackFirmware(FirmwareBoard::Controller, 12, 0x08000000, image);
    broken.resize(100);
    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        int code;
        const char* err;
    };
    const std::vector<Case> cases{
        {"no file given", {"upgrade", "--port", "COM161"}, 1, "Usage: qav-nuva-cli upgrade"},
        {"bad board",
         {"upgrade", "--port", "COM161", "--board", "pan", good},
         1,
         "The board is controller or motor."},
        {"missing file", {"upgrade", "--port", "COM161", ports_.Scratch() + "/none.bgsf"}, 1, "code 7:"},
        {"truncated file", {"upgrade", "--port", "COM161", Write("t.bgsf", broken)}, 1, "code 8:"},
        {"other board", {"upgrade", "--port", "COM162", "--board", "motor", good}, 1, "code 9:"},
        {"no such port", {"upgrade", "--port", "COM163", good}, 2, "code 4:"},
        {"corrupted read-back",
         {"upgrade", "--port", "COM161", good},
         4,
         "Upgrade failed with code 20: verification failed: the flash reads back different.\n"},
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
}

TEST_F(UpgradeCli, ABoardThatNeverAnswersIsExitCode3)
{
    sim::BootFaults deaf;
    deaf.deaf = true;
    StartSim(deaf);
    const std::string file = Write(
        "d.bgsf", PackFirmware(FirmwareBoard::Controller, 1, 0x08000000, sim::SimFirmwareImage(1, 1024)));
    const CliRun r = Cli({"upgrade", "--port", "COM161", file});
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("code 10: no answer from the boot loader"), std::string::npos) << r.err;
}

TEST_F(UpgradeCli, ASignalStopsTheUpgradeWith128PlusItsNumber)
{
    sim::BootFaults deaf;
    deaf.deaf = true;
    StartSim(deaf);
    const std::string file = Write(
        "s.bgsf", PackFirmware(FirmwareBoard::Controller, 1, 0x08000000, sim::SimFirmwareImage(1, 1024)));
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
    const CliRun pack = Cli({"firmware", "pack", "--board", "controller", "--version", "7", hex, "-o", out});
    ASSERT_EQ(pack.code, 0) << pack.err;
    EXPECT_NE(pack.out.find("4 bytes for the main controller at 0x08000010, version 7"), std::string::npos)
        << pack.out;
    struct Case
    {
        const char* name;
        std::vector<std::string> args;
        int code;
        const char* text;
    };
    std::string bytes = Read(out);
    bytes[33] ^= 1;
    const std::string bad = Write("bad.bgsf", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    const std::vector<Case> cases{
        {"hex address differs",
         {"firmware", "pack", "--board", "motor", "--version", "1", "--address", "0x08000000", hex, "-o",
          out},
         1,
         "not at the address given"},
        {"version too big",
         {"firmware", "pack", "--board", "motor", "--version", "25.6", hex, "-o", out},
         1,
         "The version is"},
        {"unaligned address",
         {"firmware", "pack", "--board", "motor", "--version", "1", "--address", "0x08000002", hex, "-o",
          out},
         1,
         "multiple of 4"},
        {"missing input",
         {"firmware", "pack", "--board", "motor", "--version", "1", "none", "-o", out},
         1,
         "Cannot read none."},
        {"image CRC", {"firmware", "info", bad}, 1, "the image's CRC does not match"},
        {"not a firmware file", {"firmware", "info", hex}, 1, "not a valid firmware file"},
        {"unknown subcommand", {"firmware", "burn"}, 1, "Usage: qav-nuva-cli firmware"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Cli(c.args);
        EXPECT_EQ(r.code, c.code);
        EXPECT_NE(r.err.find(c.text), std::string::npos) << r.err;
    }
    EXPECT_NE(Cli({"firmware", "info", bad}).out.find("(does not match: 0x"), std::string::npos);
}

} // namespace
} // namespace qav
