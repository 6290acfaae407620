// The upgrade library against the simulated boards' boot loaders, over real
// pseudo-terminals: the codes in order, the flash afterwards, and the faults.
#include "BootLoaderModel.h"
#include "CliMessages.h"
#include "SimClient.h"
#include "Simulator.h"

#include "motor/MotorProtocol.h"
#include "protocol/ControllerProtocol.h"
#include "support/BootSync.h"
#include "support/Patience.h"
#include "support/ScopedPortsDir.h"
#include "upgrade/BootLoader.h"
#include "upgrade/WindroseIAP.h"

#include <fstream>
#include <gtest/gtest.h>

namespace qav {
namespace {

using namespace std::chrono_literals;
using sim::DeviceKind;
using sim::SimFirmwareImage;
using sim::Simulator;
using sim::SimulatorConfig;

constexpr int kControllerCom = 321;
constexpr int kMotorCom = 322;
constexpr std::uint32_t kBase = 0x08000000;

struct Outcome
{
    std::vector<int> codes;    // without the progress notifications
    std::vector<int> progress; // values of code 11
    int last = 0;
};

class UpgradeOverSim : public testing::Test
{
protected:
    void StartSim()
    {
        config_.controllerCom = kControllerCom;
        config_.motorCom = kMotorCom;
        sim_ = std::make_unique<Simulator>(config_);
        const Result started = sim_->Start();
        ASSERT_TRUE(started) << started.message;
    }

    std::string WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = ports_.Scratch() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::string Pack(BoardId board, const std::vector<std::uint8_t>& image, const std::string& name)
    {
        return WriteFile(name, PackFirmware(board, image[sim::kSimVersionOffset], kBase, image));
    }

    // Collects notifications until one of the ending codes (or a hang).
    Outcome Collect()
    {
        Outcome run;
        for (;;) {
            const auto n = queue_->WaitFor(test::kPatience);
            if (!n) {
                ADD_FAILURE() << "no ending code";
                break;
            }
            EXPECT_EQ(n->message, WM_IAP_NOTIFY);
            const int code = IapRecordCode(n->lParam);
            if (code == iap::kProgress) {
                run.progress.push_back(IapRecordProgress(n->lParam));
                continue;
            }
            run.codes.push_back(code);
            run.last = code;
            if (code == iap::kDone || code == iap::kStartAgain)
                break;
        }
        return run;
    }

    Outcome Upgrade(CWindroseIAPLibExp& lib, int com, const std::string& path,
                    BoardCheck check = BoardCheck::Identify)
    {
        lib.Init(queue_);
        lib.Start(com, path, check);
        return Collect();
    }

    test::ScopedPortsDir ports_;
    SimulatorConfig config_;
    std::unique_ptr<Simulator> sim_;
    std::shared_ptr<NotifyQueue> queue_ = std::make_shared<NotifyQueue>();
};

const std::vector<int> kSuccess{iap::kPortOpened, iap::kStarting, iap::kBootLoaderAnswered,
                                iap::kErasing,    iap::kErased,   iap::kWriting,
                                iap::kDone};

TEST_F(UpgradeOverSim, BothBoardsTakeTheirImageAndRunIt)
{
    StartSim();
    struct Case
    {
        BoardId board;
        DeviceKind kind;
        int com;
        std::size_t size;
        std::uint8_t version;
        std::size_t pageSize; // of the chip each board's boot loader plays
    };
    for (const Case& c : {Case{BoardId::Controller, DeviceKind::Controller, kControllerCom, 20000, 24, 1024},
                          Case{BoardId::Motor, DeviceKind::Motor, kMotorCom, 64 * 1024, 17, 2048}}) {
        SCOPED_TRACE(c.com);
        const auto image = SimFirmwareImage(c.version, c.size, 77);
        CWindroseIAPLibExp lib(c.board);
        const Outcome run = Upgrade(lib, c.com, Pack(c.board, image, "fw.bin"));
        EXPECT_EQ(run.codes, kSuccess);
        ASSERT_FALSE(run.progress.empty());
        EXPECT_EQ(run.progress.front(), 0);
        EXPECT_EQ(run.progress.back(), 100);
        EXPECT_TRUE(std::is_sorted(run.progress.begin(), run.progress.end()));
        // At least one notification per 2 KiB of writing and verifying.
        EXPECT_GE(run.progress.size(), 2 * c.size / 2048);
        const auto flash = sim_->Flash(c.kind);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
        // Only the covered pages were erased: the rest of the old image stays.
        EXPECT_EQ(sim_->BootLoaderStats(c.kind).pagesErased,
                  static_cast<int>((c.size + c.pageSize - 1) / c.pageSize));
        EXPECT_EQ(sim_->FirmwareVersion(c.kind), c.version);
        EXPECT_FALSE(sim_->InBootLoader(c.kind));
    }
}

TEST_F(UpgradeOverSim, TheNewFirmwareAnswersFramesWithItsVersion)
{
    StartSim();
    CWindroseIAPLibExp lib(BoardId::Controller);
    ASSERT_EQ(
        Upgrade(lib, kControllerCom, Pack(BoardId::Controller, SimFirmwareImage(31, 4096), "a.bgsf")).last,
        iap::kDone);
    test::SimClient client(kControllerHeader0, kControllerHeader1);
    ASSERT_TRUE(client.Open(kControllerCom));
    ControllerLinkState link;
    Frame request;
    BuildFrame(link, ControllerParams{}, request);
    client.Send(request);
    const auto answer = client.Next();
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)[ctl::kFirmware], 31);
}

TEST_F(UpgradeOverSim, BadFilesEndBeforeThePortAndEraseNothing)
{
    StartSim();
    const auto image = SimFirmwareImage(40, 3000);
    auto good = PackFirmware(BoardId::Controller, 40, kBase, image);
    auto truncated = good;
    truncated.resize(truncated.size() - 1);
    auto badMagic = good;
    badMagic[0] = 'X';
    auto badImage = good;
    badImage[100] ^= 1;
    struct Case
    {
        const char* name;
        std::string path;
        int code;
    };
    const std::vector<Case> cases{
        {"missing", ports_.Scratch() + "/none.bgsf", iap::kFileUnreadable},
        {"truncated", WriteFile("t.bgsf", truncated), iap::kFileInvalid},
        {"magic", WriteFile("m.bgsf", badMagic), iap::kFileInvalid},
        {"image crc", WriteFile("c.bgsf", badImage), iap::kFileInvalid},
        {"motor file", WriteFile("w.bmcf", PackFirmware(BoardId::Motor, 40, kBase, image)), iap::kWrongBoard},
    };
    const auto before = sim_->Flash(DeviceKind::Controller);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CWindroseIAPLibExp lib(BoardId::Controller);
        EXPECT_EQ(Upgrade(lib, kControllerCom, c.path).codes, (std::vector<int>{c.code, iap::kStartAgain}));
    }
    EXPECT_EQ(sim_->Flash(DeviceKind::Controller), before);
    EXPECT_EQ(sim_->BootLoaderStats(DeviceKind::Controller).entries, 0);
}

TEST_F(UpgradeOverSim, FaultsEndWithTheirCode)
{
    struct Case
    {
        const char* name;
        sim::BootFaults faults;
        std::size_t size;
        int code;
    };
    sim::BootFaults refusedOnce, refusedForGood, corrupt, deaf;
    refusedOnce.refuseWrite = 3;
    refusedForGood.refuseWrite = 3;
    refusedForGood.refuseWriteCount = 4;
    corrupt.corruptRead = 2;
    deaf.deaf = true;
    const std::vector<Case> cases{
        {"a refused block is tried again", refusedOnce, 4096, iap::kDone},
        {"a block refused four times", refusedForGood, 4096, iap::kWriteFailed},
        {"corrupted read-back", corrupt, 4096, iap::kVerifyFailed},
        {"too large for 64 KiB", {}, 65 * 1024, iap::kTooLarge},
    };
    StartSim();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim_->SetBootFaults(DeviceKind::Motor, c.faults);
        CWindroseIAPLibExp lib(BoardId::Motor);
        const Outcome run =
            Upgrade(lib, kMotorCom, Pack(BoardId::Motor, SimFirmwareImage(9, c.size), "f.bmcf"));
        if (c.code == iap::kDone) {
            EXPECT_EQ(run.codes, kSuccess);
        } else {
            ASSERT_GE(run.codes.size(), 2u);
            EXPECT_EQ(run.codes[run.codes.size() - 2], c.code);
            EXPECT_EQ(run.codes.back(), iap::kStartAgain);
        }
    }
}

TEST_F(UpgradeOverSim, NoBootLoaderAndNoPort)
{
    config_.bootFaults.deaf = true;
    StartSim();
    BootLoaderTiming quick;
    quick.syncWindow = 600ms;
    CWindroseIAPLibExp lib(BoardId::Controller, quick);
    const std::string path = Pack(BoardId::Controller, SimFirmwareImage(5, 1024), "n.bgsf");
    EXPECT_EQ(Upgrade(lib, kControllerCom, path).codes,
              (std::vector<int>{iap::kPortOpened, iap::kStarting, iap::kNoBootLoader, iap::kStartAgain}));
    // Stop while waiting for the boot loader ends the wait, however long the
    // window: Stop returns once the procedure has ended, which here only the
    // stop can end (how quickly is measured in bench/upgrade_bench).
    BootLoaderTiming endless;
    endless.syncWindow = std::chrono::hours(1);
    CWindroseIAPLibExp patient(BoardId::Controller, endless);
    patient.Init(queue_);
    patient.Start(kControllerCom, path);
    for (int code = 0; code != iap::kStarting;) {
        const auto n = queue_->WaitFor(test::kPatience);
        ASSERT_TRUE(n);
        code = IapRecordCode(n->lParam);
    }
    patient.Stop();
    EXPECT_FALSE(patient.Running());
    EXPECT_FALSE(queue_->TryTake()) << "nothing is posted after a stop";
    EXPECT_EQ(Upgrade(lib, 999, path).codes, (std::vector<int>{iap::kPortOpenFailed, iap::kStartAgain}));
    EXPECT_EQ(Upgrade(lib, 0, path).codes, (std::vector<int>{iap::kPortOpenFailed, iap::kStartAgain}));
}

TEST_F(UpgradeOverSim, StopOrSilenceMidWayThenANewStartEndsWithTheRightImage)
{
    StartSim();
    const auto image = SimFirmwareImage(26, 32 * 1024, 5);
    const std::string path = Pack(BoardId::Controller, image, "s.bgsf");
    CWindroseIAPLibExp lib(BoardId::Controller);
    lib.Init(queue_);

    // Stop while writing: the port is let go at once (another program opens
    // it), so nothing more reaches the board.
    lib.Start(kControllerCom, path);
    for (;;) {
        const auto n = queue_->WaitFor(test::kPatience);
        ASSERT_TRUE(n);
        if (IapRecordCode(n->lParam) == iap::kProgress && IapRecordProgress(n->lParam) >= 10)
            break;
    }
    lib.Stop();
    EXPECT_FALSE(lib.Running());
    {
        BootPort other;
        const Result opened = other.Open(kControllerCom);
        EXPECT_TRUE(opened) << opened.message;
    }
    while (queue_->TryTake()) {
    }
    EXPECT_NE(sim_->Flash(DeviceKind::Controller)[image.size() - 1], image.back());

    // Falls silent mid-write: code 23, then a new start finishes the job.
    sim::BootFaults silent;
    silent.silentAfter = 5000;
    sim_->SetBootFaults(DeviceKind::Controller, silent);
    BootLoaderTiming quick;
    quick.answer = 300ms;
    CWindroseIAPLibExp impatient(BoardId::Controller, quick);
    const Outcome broken = Upgrade(impatient, kControllerCom, path);
    ASSERT_GE(broken.codes.size(), 2u);
    EXPECT_EQ(broken.codes[broken.codes.size() - 2], iap::kDeviceGone);

    // A boot loader that fell silent needs a reset; it then waits in its
    // boot loader, so the board check is skipped.
    sim_->ResetIntoBootLoader(DeviceKind::Controller);
    lib.Start(kControllerCom, path, BoardCheck::Skip);
    EXPECT_EQ(Collect().codes, kSuccess);
    const auto flash = sim_->Flash(DeviceKind::Controller);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

TEST_F(UpgradeOverSim, AnUnplugMidWayIsCode23AndTheNextStartSucceeds)
{
    StartSim();
    const auto image = SimFirmwareImage(27, 32 * 1024, 6);
    const std::string path = Pack(BoardId::Motor, image, "u.bmcf");
    CWindroseIAPLibExp lib(BoardId::Motor);
    lib.Init(queue_);
    lib.Start(kMotorCom, path);
    Outcome run;
    for (;;) {
        const auto n = queue_->WaitFor(test::kPatience);
        ASSERT_TRUE(n);
        if (IapRecordCode(n->lParam) == iap::kProgress && IapRecordProgress(n->lParam) >= 10)
            break;
    }
    // Gone until the run has ended.
    sim_->Unplug(DeviceKind::Motor);
    run = Collect();
    ASSERT_GE(run.codes.size(), 2u);
    EXPECT_EQ(run.codes[run.codes.size() - 2], iap::kDeviceGone);
    // Back on a new terminal under the same name.
    sim_->PlugIn(DeviceKind::Motor);
    ASSERT_TRUE(
        sim_->WaitUntil([&] { return !sim_->DevicePath(DeviceKind::Motor).empty(); }, test::kPatience));
    EXPECT_EQ(Upgrade(lib, kMotorCom, path).codes, kSuccess);
    const auto flash = sim_->Flash(DeviceKind::Motor);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

// Cancel then Start at once, on a line paced like the real one: the boot
// loader is still busy with the cancelled command (or its answer is still on
// the line) when the first sync byte of the new run arrives.
TEST_F(UpgradeOverSim, CancelThenStartAtOnceOnAPacedLineEndsWithTheRightImage)
{
    config_.paceOutput = true;
    StartSim();
    CWindroseIAPLibExp lib(BoardId::Controller);
    lib.Init(queue_);
    struct Case
    {
        const char* name;
        int stopAtCode;
        int stopAtProgress;
    };
    std::uint32_t seed = 10;
    const std::vector<Case> cases{
        {"once the boot loader answered", iap::kBootLoaderAnswered, 0},
        {"once erased", iap::kErased, 0},
        {"early while writing", iap::kProgress, 10},
        {"while writing", iap::kProgress, 25},
        {"late while writing", iap::kProgress, 40},
        {"while verifying", iap::kProgress, 60},
        {"late while verifying", iap::kProgress, 85},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto image = SimFirmwareImage(28, 8 * 1024, ++seed);
        const std::string path = Pack(BoardId::Controller, image, "p.bgsf");
        lib.Start(kControllerCom, path);
        for (;;) {
            const auto n = queue_->WaitFor(test::kPatience);
            ASSERT_TRUE(n);
            const int code = IapRecordCode(n->lParam);
            if (code == c.stopAtCode &&
                (code != iap::kProgress || IapRecordProgress(n->lParam) >= c.stopAtProgress))
                break;
        }
        lib.Stop();
        while (queue_->TryTake()) {
        }
        lib.Start(kControllerCom, path);
        EXPECT_EQ(Collect().codes, kSuccess);
        const auto flash = sim_->Flash(DeviceKind::Controller);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
    }
}

// The board check before the first sync byte: firmware for one board given
// the other board's port ends with code 9, the board never hears a sync
// byte and keeps its firmware.
TEST_F(UpgradeOverSim, TheWrongBoardIsNeverFlashedEitherWay)
{
    StartSim();
    struct Case
    {
        BoardId board;
        int com;
        DeviceKind target;
        const char* sentence;
    };
    const std::vector<Case> cases{
        {BoardId::Controller, kMotorCom, DeviceKind::Motor,
         "The motor board answered on COM322; this firmware is for the main controller."},
        {BoardId::Motor, kControllerCom, DeviceKind::Controller,
         "The main controller answered on COM321; this firmware is for the motor board."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        const auto flashBefore = sim_->Flash(c.target);
        const auto versionBefore = sim_->FirmwareVersion(c.target);
        CWindroseIAPLibExp lib(c.board);
        const std::string path = Pack(c.board, SimFirmwareImage(77, 4096), "w.bin");
        EXPECT_EQ(Upgrade(lib, c.com, path).codes,
                  (std::vector<int>{iap::kPortOpened, iap::kWrongBoard, iap::kStartAgain}));
        EXPECT_EQ(cli::UpgradeErrorText(lib.Failure()), c.sentence);
        EXPECT_EQ(sim_->Stats(c.target).syncsHeard, 0u);
        EXPECT_EQ(sim_->BootLoaderStats(c.target).entries, 0);
        EXPECT_EQ(sim_->Flash(c.target), flashBefore);
        EXPECT_EQ(sim_->FirmwareVersion(c.target), versionBefore);
        EXPECT_FALSE(sim_->InBootLoader(c.target));
    }
}

// The chip a file names is checked in the boot loader before any erase.
TEST_F(UpgradeOverSim, AFileForAnotherChipErasesNothing)
{
    StartSim();
    const auto image = SimFirmwareImage(8, 4096);
    const auto before = sim_->Flash(DeviceKind::Controller);
    CWindroseIAPLibExp lib(BoardId::Controller);
    const std::string path = WriteFile("x.bgsf", PackFirmware(BoardId::Controller, 8, kBase, image, 0x414));
    EXPECT_EQ(Upgrade(lib, kControllerCom, path).codes,
              (std::vector<int>{iap::kPortOpened, iap::kStarting, iap::kBootLoaderAnswered, iap::kWrongBoard,
                                iap::kStartAgain}));
    EXPECT_EQ(cli::UpgradeErrorText(lib.Failure()),
              "The file is for chip 0x414 (STM32F10x high density); the board's chip is "
              "0x410 (STM32F10x medium density).");
    EXPECT_EQ(sim_->BootLoaderStats(DeviceKind::Controller).pagesErased, 0);
    EXPECT_EQ(sim_->Flash(DeviceKind::Controller), before);
}

// A board reset into its boot loader takes the first byte it hears for its
// baud rate: the board check's poll spoils it (code 10, until the next
// reset), skipping the check lets the sync byte set it.
TEST_F(UpgradeOverSim, AFreshBootLoaderNeedsTheCheckSkipped)
{
    StartSim();
    BootLoaderTiming quick;
    quick.syncWindow = 1s;
    CWindroseIAPLibExp lib(BoardId::Motor, quick);
    const auto image = SimFirmwareImage(19, 4096);
    const std::string path = Pack(BoardId::Motor, image, "f.bmcf");
    sim_->ResetIntoBootLoader(DeviceKind::Motor);
    EXPECT_EQ(Upgrade(lib, kMotorCom, path).codes,
              (std::vector<int>{iap::kPortOpened, iap::kStarting, iap::kNoBootLoader, iap::kStartAgain}));
    EXPECT_NE(cli::UpgradeErrorText(lib.Failure()).find("reset the board with its boot jumper set"),
              std::string::npos);
    sim_->ResetIntoBootLoader(DeviceKind::Motor);
    CWindroseIAPLibExp patient(BoardId::Motor);
    EXPECT_EQ(Upgrade(patient, kMotorCom, path, BoardCheck::Skip).codes, kSuccess);
    const auto flash = sim_->Flash(DeviceKind::Motor);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
}

// A cancelled run can leave the boot loader inside WRITE MEMORY, waiting for
// a whole block (257 more bytes; AN3155 sets no time-out there). The next
// run's sync bytes fill it well within the window, on a line paced like the
// real one, also when every answer comes late, and the upgrade completes
// without a reset.
TEST_F(UpgradeOverSim, CancelThenStartFillsTheUnfinishedCommand)
{
    config_.paceOutput = true;
    for (const auto delay : {0ms, 200ms}) {
        SCOPED_TRACE(delay.count());
        sim_.reset();
        config_.faults.answerDelay = delay;
        StartSim();
        sim_->ResetIntoBootLoader(DeviceKind::Controller);
        {
            BootPort port;
            ASSERT_TRUE(test::SyncBootLoader(port, kControllerCom));
            // WRITE MEMORY, its address, the block's length byte: then the
            // run was cancelled.
            const std::vector<std::uint8_t> started{0x31, 0xCE, 0x08, 0x00, 0x00, 0x00, 0x08, 0xFF};
            ASSERT_EQ(port.Send(started, test::kPatience), PortIo::Ok);
            std::array<std::uint8_t, 2> acks{};
            ASSERT_EQ(port.Receive(acks, test::kPatience), PortIo::Ok);
            EXPECT_EQ(acks, (std::array<std::uint8_t, 2>{boot::kAck, boot::kAck}));
        }
        const auto image = SimFirmwareImage(29, 2048, 4);
        CWindroseIAPLibExp lib(BoardId::Controller);
        EXPECT_EQ(
            Upgrade(lib, kControllerCom, Pack(BoardId::Controller, image, "c.bgsf"), BoardCheck::Skip).codes,
            kSuccess)
            << cli::UpgradeErrorText(lib.Failure());
        const auto flash = sim_->Flash(DeviceKind::Controller);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
        EXPECT_EQ(sim_->BootLoaderStats(DeviceKind::Controller).entries, 1);
    }
}

// A slow line (a Bluetooth serial module, some USB adapters) delivers every
// answer late: the upgrade still gets in step with the boot loader and
// completes, board check included. (10 runs at each delay, timed, are
// scripts/measure-upgrade-latency.sh's.)
TEST_F(UpgradeOverSim, UpgradesOnALineThatAnswersLate)
{
    for (const auto delay : {0ms, 40ms, 120ms, 200ms}) {
        SCOPED_TRACE(delay.count());
        sim_.reset();
        config_.faults.answerDelay = delay;
        StartSim();
        const auto image = SimFirmwareImage(33, 512, 9);
        CWindroseIAPLibExp lib(BoardId::Controller);
        const Outcome run = Upgrade(lib, kControllerCom, Pack(BoardId::Controller, image, "l.bgsf"));
        EXPECT_EQ(run.codes, kSuccess) << cli::UpgradeErrorText(lib.Failure());
        const auto flash = sim_->Flash(DeviceKind::Controller);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin()));
        EXPECT_EQ(sim_->FirmwareVersion(DeviceKind::Controller), 33);
    }
}

} // namespace
} // namespace qav
