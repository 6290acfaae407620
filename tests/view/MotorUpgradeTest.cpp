// The motor dialog's Upgrade group on the real widgets against the simulated
// motor board's boot loader: the status box's texts in order, the progress
// bar, the button states, an error and a cancel, and a close while an
// upgrade runs. Each code's text and reaction are the shared driver's, tested
// with it.
#include "view/MotorDialogFixture.h"

#include "BootLoaderModel.h"
#include "gui_support/CloseOnceHeard.h"
#include "upgrade/FirmwareFile.h"

#include <QComboBox>
#include <QProgressBar>

#include <algorithm>
#include <array>
#include <atomic>
#include <fstream>

namespace qav {
namespace {

using Buttons = std::array<bool, 3>; // Open firmware, Start, Cancel
constexpr Buttons kNoFile{true, false, false}, kReady{true, true, false}, kRunning{true, false, true};

class MotorUpgradeTest : public test::MotorDialogFixture
{
protected:
    void MakeUpgradeDialog()
    {
        MakeDialog();
        QObject::connect(Bar(), &QProgressBar::valueChanged, [this](int v) { positions.push_back(v); });
    }

    QProgressBar* Bar() { return qobject_cast<QProgressBar*>(dlg->Form().Control(mdc::Progress)); }

    Buttons ButtonStates()
    {
        const FormHost& f = dlg->Form();
        return {f.Enabled(mdc::OpenFirmware), f.Enabled(mdc::StartUpgrade), f.Enabled(mdc::CancelUpgrade)};
    }

    // Writes a firmware file and has the chooser return it.
    void ChooseFirmware(BoardId board, std::uint8_t version, std::size_t size)
    {
        const auto bytes =
            PackFirmware(board, version, sim::kSimFlashBase, sim::SimFirmwareImage(version, size));
        const std::string path = dir.File(board == BoardId::Motor ? "fw.bmcf" : "fw.bgsf");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        prompts.openPath = QString::fromStdString(path);
        Click(mdc::OpenFirmware);
    }

    bool FlashHolds(std::uint8_t version, std::size_t size)
    {
        const auto image = sim::SimFirmwareImage(version, size);
        const auto flash = sim->Flash(sim::DeviceKind::Motor);
        return flash.size() >= image.size() && std::equal(image.begin(), image.end(), flash.begin());
    }

    std::vector<int> positions;
};

TEST_F(MotorUpgradeTest, UpgradesTheBoardAndShowsTheNewVersionAfterReopening)
{
    StartSim();
    MakeUpgradeDialog();
    EXPECT_EQ(ButtonStates(), kNoFile);
    Connect();
    ASSERT_TRUE(test::WaitUntil([&] { return Text(mdc::FirmwareVersion) == "Firmware Version:V1.5"; }));

    // A cancelled chooser changes nothing.
    Click(mdc::OpenFirmware);
    EXPECT_EQ(prompts.fileTitles.back(), QStringLiteral("Motor firmware file"));
    EXPECT_EQ(prompts.fileFilters.back(), QStringLiteral("bmcf File (*.bmcf)"));
    EXPECT_EQ(ButtonStates(), kNoFile);

    ChooseFirmware(BoardId::Motor, 26, 24 * 1024);
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Firmware open successfully! Motor board firmware V2.6, 24576 bytes."));
    EXPECT_EQ(ButtonStates(), kReady);

    // The user resets the board with its boot jumper set: its boot loader
    // waits for the byte that sets its baud rate. The dialog's link heard
    // the board on this port, so no board check comes first.
    // Reset once it has heard every frame the dialog sent: a frame still on
    // the line would set the boot loader's baud rate.
    ASSERT_TRUE(test::CloseOnceHeard(*sim, sim::DeviceKind::Motor, dlg->Serial(),
                                     [&] { dlg->Serial().Close(CSerialLink::kCloseWaitMs); }));
    sim->ResetIntoBootLoader(sim::DeviceKind::Motor);
    Bar()->setValue(40); // Start puts it back to 0
    statuses.clear();
    positions.clear();
    Click(mdc::StartUpgrade);
    EXPECT_EQ(ButtonStates(), kRunning);
    EXPECT_FALSE(dlg->Serial().IsOpen());
    EXPECT_FALSE(dlg->LinkTimerActive());

    ASSERT_TRUE(WaitForStatus(QStringLiteral("Firmware upgraded successfully!"))) << Log();
    const QStringList expected{
        QStringLiteral("Start upgrade..."),
        QStringLiteral("COM port open successfully!"),
        QStringLiteral("Starting upgrade procedure, please waiting"),
        QStringLiteral("Upgrade start successfully!"),
        QStringLiteral("Erasing chips..."),
        QStringLiteral("Chips erased successfully!"),
        QStringLiteral("Firmware upgrading..."),
        QStringLiteral("Firmware upgraded successfully!"),
    };
    EXPECT_EQ(statuses, expected) << Log();
    // From 0, rising to 100, then back to 0 with the success.
    ASSERT_GE(positions.size(), 4u);
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions.back(), 0);
    EXPECT_EQ(positions[positions.size() - 2], 100);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end() - 1));
    EXPECT_EQ(ButtonStates(), kReady);
    EXPECT_TRUE(FlashHolds(26, 24 * 1024));

    // The link stays down until the user opens the port again: nothing
    // ticks, and nothing still on its way opens it.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(dlg->Serial().IsOpen());
    EXPECT_FALSE(dlg->LinkTimerActive());
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Firmware upgraded successfully!"));

    Connect();
    EXPECT_TRUE(test::WaitUntil([&] { return Text(mdc::FirmwareVersion) == "Firmware Version:V2.6"; }))
        << Text(mdc::FirmwareVersion).toStdString();
}

TEST_F(MotorUpgradeTest, ClosingTheDialogMidUpgradeStopsItAndANewDialogFinishesIt)
{
    // At the line's rate 24 KiB take seconds: long enough to close mid-way.
    StartSim(0, true);
    MakeUpgradeDialog();
    constexpr std::size_t kSize = 24 * 1024;
    ChooseFirmware(BoardId::Motor, 31, kSize);
    Click(mdc::StartUpgrade);
    ASSERT_TRUE(test::WaitUntil([&] { return Bar()->value() > 0; })) << Log();
    ASSERT_LT(Bar()->value(), 100);

    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_FALSE(dlg->Upgrade().Library().Running());
    // Nothing more reaches the boot loader: the upgrade has let go of the
    // port (another program opens it at once), so nothing can write to it.
    {
        CSerialLink other;
        const Result opened = OpenLinkSequence(other, test::kMotorCom);
        EXPECT_TRUE(opened) << opened.message;
    }
    const sim::BootStats later = sim->BootLoaderStats(sim::DeviceKind::Motor);
    EXPECT_LT(static_cast<std::size_t>(later.writes) * 256, kSize);
    EXPECT_EQ(later.starts, 0);
    EXPECT_FALSE(statuses.contains(QStringLiteral("Firmware upgraded successfully!")));
    EXPECT_FALSE(FlashHolds(31, kSize));

    // The main screen makes the dialog afresh; the new one finishes the job.
    dlg.reset();
    statuses.clear();
    positions.clear();
    MakeUpgradeDialog();
    ChooseFirmware(BoardId::Motor, 31, kSize);
    Click(mdc::StartUpgrade);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Firmware upgraded successfully!"))) << Log();
    EXPECT_TRUE(FlashHolds(31, kSize));
}

// Cancel in the middle of the writes, then Start: the dialog knows its own
// run left the board in its boot loader, so no board check comes first,
// and the upgrade completes from wherever the boot loader was left.
TEST_F(MotorUpgradeTest, CancelThenStartCompletesWithoutAskingTheBoardAgain)
{
    StartSim();
    MakeUpgradeDialog();
    constexpr std::size_t kSize = 16 * 1024;
    ChooseFirmware(BoardId::Motor, 32, kSize);
    // Deaf and mute in the middle of the writes, however late this thread
    // wakes, until the user has cancelled.
    std::atomic<bool> held{false};
    sim->AtEachTurn([&](sim::Simulator& s) {
        if (s.BootLoaderStats(sim::DeviceKind::Motor).writes < 4)
            return false;
        s.FallSilent(sim::DeviceKind::Motor);
        held = true;
        return true;
    });
    Click(mdc::StartUpgrade);
    EXPECT_EQ(dlg->Upgrade().LastBoardCheck(), BoardCheck::Identify);
    ASSERT_TRUE(test::WaitUntil([&] { return held.load(); })) << Log();
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Firmware upgrading..."))) << Log();
    Click(mdc::CancelUpgrade);
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Upgrade procedure cancel!"));
    EXPECT_TRUE(sim->InBootLoader(sim::DeviceKind::Motor));
    sim->EndSilence(sim::DeviceKind::Motor);
    QCoreApplication::processEvents();

    statuses.clear();
    Click(mdc::StartUpgrade);
    EXPECT_EQ(dlg->Upgrade().LastBoardCheck(), BoardCheck::Skip);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Firmware upgraded successfully!"))) << Log();
    EXPECT_FALSE(statuses.join('\n').contains(QStringLiteral("error"))) << Log();
    EXPECT_TRUE(FlashHolds(32, kSize));
}

// A controller file is refused when chosen; a motor file started on the
// controller's port (the entry a fresh COM list may offer first) ends with
// code 9 before a sync byte reaches the controller.
TEST_F(MotorUpgradeTest, TheControllerIsNeitherChosenNorFlashed)
{
    sim::SimulatorConfig config;
    config.motorCom = test::kMotorCom;
    config.controllerCom = test::kMotorCom + 1;
    sim = std::make_unique<sim::Simulator>(config);
    const Result started = sim->Start();
    ASSERT_TRUE(started) << started.message;
    MakeUpgradeDialog();
    ChooseFirmware(BoardId::Controller, 26, 2048);
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Firmware file refused: The file is for the main controller."));
    EXPECT_EQ(ButtonStates(), kNoFile);

    ChooseFirmware(BoardId::Motor, 26, 2048);
    EXPECT_EQ(ButtonStates(), kReady);
    int controllerEntry = -1;
    for (int i = 0; i < dlg->Form().ItemCount(mdc::ComList); ++i)
        if (dlg->Form().ItemText(mdc::ComList, i).startsWith(QStringLiteral("COM173 ")))
            controllerEntry = i;
    ASSERT_GE(controllerEntry, 0);
    dlg->Form().SetSelection(mdc::ComList, controllerEntry);
    emit qobject_cast<QComboBox*>(dlg->Form().Control(mdc::ComList))->activated(controllerEntry);
    const auto before = sim->Flash(sim::DeviceKind::Controller);
    Click(mdc::StartUpgrade);
    ASSERT_TRUE(WaitForStatus(QStringLiteral(
        "Upgrade error code:9! The main controller answered on COM173; this firmware is for the motor board.")))
        << Log();
    // Code 1 follows: Start again, Cancel still enabled.
    EXPECT_TRUE(test::WaitUntil([&] { return dlg->Form().Enabled(mdc::StartUpgrade); }));
    EXPECT_TRUE(dlg->Form().Enabled(mdc::CancelUpgrade));
    EXPECT_EQ(sim->Flash(sim::DeviceKind::Controller), before);
    EXPECT_EQ(sim->Stats(sim::DeviceKind::Controller).syncsHeard, 0u);

    Bar()->setValue(30);
    Click(mdc::CancelUpgrade);
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Upgrade procedure cancel!"));
    EXPECT_EQ(ButtonStates(), kReady);
    EXPECT_EQ(Bar()->value(), 30);
    // The bar says its percentage in words too.
    EXPECT_TRUE(Bar()->isTextVisible());
    EXPECT_EQ(Bar()->text(), QStringLiteral("30%"));
}

} // namespace
} // namespace qav
