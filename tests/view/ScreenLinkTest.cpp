// What both screens' links share, against the simulated boards on real
// pseudo-terminals: the reopen of the port that was opened, whatever the
// COM list shows meanwhile; the port remembered by name between two starts;
// the motor dialog never offering the controller's port first; and a board
// left in its boot loader, named as such, told from a silent one, and
// connected again once it has left.
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/UARTView.h"

#include "BootLoaderModel.h"
#include "Simulator.h"
#include "files/SettingsFile.h"
#include "platform/PortMap.h"
#include "serial/PortList.h"
#include "upgrade/BootLoader.h"
#include "upgrade/BootPort.h"
#include "upgrade/FirmwareFile.h"
#include "view/ControlIds.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "gui_support/WaitUntil.h"
#include "support/BootSync.h"
#include "support/PseudoTerminal.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace qav {
namespace {

using namespace std::chrono_literals;
constexpr int kControllerCom = 181;
constexpr int kMotorCom = 182;
constexpr int kOtherCom = 183; // a port nobody answers on

enum class Screen { Main, Motor };

// One screen as these tests drive it.
class ScreenUnderTest
{
public:
    virtual ~ScreenUnderTest() = default;
    virtual FormHost& Form() = 0;
    virtual int ListId() const = 0;
    virtual void OpenComPort() = 0;
    // Everything the screen said, in order, without colour tags.
    virtual QStringList Said() const = 0;
    virtual QString ConnectedText() const = 0;
    virtual QString LostText() const = 0;
    virtual CSerialLink& Serial() = 0;
    virtual int OpenedPort() const = 0;
    virtual int ChosenPort() const = 0;
    // The window ends as the user ends it; the choice is stored.
    virtual void End() = 0;
    // "Open Firmware" with `file` chosen, then "Start Upgrade".
    virtual void StartUpgrade(const std::string& file) = 0;
    // The first byte of the link's frames.
    virtual std::uint8_t Header() const = 0;
    // As shown, colour tags and all.
    virtual QStringList RawSaid() const { return Said(); }

    int IndexOf(int port)
    {
        for (int i = 0; i < Form().ItemCount(ListId()); ++i)
            if (PortNumberFromEntry(Form().ItemText(ListId(), i).toStdString()) == port)
                return i;
        return -1;
    }
    // As the user opens the list: it is refilled first.
    void DropDown()
    {
        auto* list = qobject_cast<QComboBox*>(Form().Control(ListId()));
        list->showPopup();
        list->hidePopup();
    }
    void Pick(int port)
    {
        DropDown();
        const int i = IndexOf(port);
        ASSERT_GE(i, 0) << "COM" << port << " is not listed";
        Form().SetSelection(ListId(), i);
        emit qobject_cast<QComboBox*>(Form().Control(ListId()))->activated(i);
        ASSERT_EQ(ChosenPort(), port);
    }
};

class MainScreen final : public ScreenUnderTest
{
public:
    explicit MainScreen(const std::string& startup)
    {
        view_ = std::make_unique<CUARTView>(params_, &status_, prompts_);
        view_->SetStartupDirectory(startup);
        view_->OnInitialUpdate();
    }
    FormHost& Form() override { return *view_; }
    int ListId() const override { return idc::ComList; }
    void OpenComPort() override { qobject_cast<QAbstractButton*>(view_->Control(idc::OpenComPort))->click(); }
    QStringList Said() const override
    {
        QStringList plain;
        for (const QString& t : status_.texts)
            plain << QString(t)
                         .remove(QStringLiteral("$INKblue$"))
                         .remove(QStringLiteral("$INKred$"))
                         .remove(QStringLiteral("$INKgreen$"));
        return plain;
    }
    QStringList RawSaid() const override { return status_.texts; }
    QString ConnectedText() const override { return QStringLiteral("QAV-NUVA connected successfully!"); }
    QString LostText() const override { return QStringLiteral("QAV-NUVA disconnected!"); }
    CSerialLink& Serial() override { return view_->Serial(); }
    int OpenedPort() const override { return view_->OpenedPortNumber(); }
    int ChosenPort() const override { return view_->ComPortNumber(); }
    void End() override
    {
        view_->FinishSession();
        view_.reset();
    }
    void StartUpgrade(const std::string& file) override
    {
        prompts_.openPath = QString::fromStdString(file);
        qobject_cast<QAbstractButton*>(view_->Control(idc::OpenFirmware))->click();
        qobject_cast<QAbstractButton*>(view_->Control(idc::StartUpgrade))->click();
    }
    std::uint8_t Header() const override { return kControllerHeader0; }

private:
    ControllerParams params_;
    test::RecordingStatus status_;
    test::FakePrompts prompts_;
    std::unique_ptr<CUARTView> view_;
};

class MotorDialog final : public ScreenUnderTest
{
public:
    MotorDialog(const std::string& startup, int controllerPort)
    {
        dlg_ = std::make_unique<CMotorConfigDlg>(params_, receiver_, prompts_, startup, nullptr, controllerPort);
        auto* box = qobject_cast<QLineEdit*>(dlg_->Form().Control(mdc::Status));
        QObject::connect(box, &QLineEdit::textChanged, [this](const QString& t) { said_ << t; });
        test::ShowActive(dlg_.get());
    }
    FormHost& Form() override { return dlg_->Form(); }
    int ListId() const override { return mdc::ComList; }
    void OpenComPort() override { qobject_cast<QAbstractButton*>(Form().Control(mdc::OpenComPort))->click(); }
    QStringList Said() const override { return said_; }
    QString ConnectedText() const override { return QStringLiteral("Motor connected successfully!"); }
    QString LostText() const override { return QStringLiteral("Motor disconnected!"); }
    CSerialLink& Serial() override { return dlg_->Serial(); }
    int OpenedPort() const override { return dlg_->OpenedPortNumber(); }
    int ChosenPort() const override { return dlg_->ComPortNumber(); }
    void End() override
    {
        dlg_->reject();
        dlg_.reset();
    }
    void StartUpgrade(const std::string& file) override
    {
        prompts_.openPath = QString::fromStdString(file);
        qobject_cast<QAbstractButton*>(Form().Control(mdc::OpenFirmware))->click();
        qobject_cast<QAbstractButton*>(Form().Control(mdc::StartUpgrade))->click();
    }
    std::uint8_t Header() const override { return kMotorHeader0; }

private:
    MotorParams params_;
    FrameReceiver receiver_{kMotorHeader0, kMotorHeader1};
    test::FakePrompts prompts_;
    std::unique_ptr<CMotorConfigDlg> dlg_;
    QStringList said_;
};

const char* ScreenName(Screen s)
{
    return s == Screen::Main ? "MainScreen" : "MotorDialog";
}

class ScreenLinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim::SimulatorConfig config;
        config.controllerCom = kControllerCom;
        config.motorCom = kMotorCom;
        sim = std::make_unique<sim::Simulator>(config);
        const Result started = sim->Start();
        ASSERT_TRUE(started) << started.message;
        ASSERT_TRUE(other.Ok());
        ASSERT_TRUE(RegisterPortAlias(kOtherCom, other.SlavePath()));
    }

    std::unique_ptr<ScreenUnderTest> Make(Screen screen, int controllerPort = 0)
    {
        if (screen == Screen::Main)
            return std::make_unique<MainScreen>(Startup());
        return std::make_unique<MotorDialog>(Startup(), controllerPort);
    }
    std::string Startup() const { return dir.path().string() + "/"; }
    static int DevicePort(Screen s) { return s == Screen::Main ? kControllerCom : kMotorCom; }
    static sim::DeviceKind Device(Screen s)
    {
        return s == Screen::Main ? sim::DeviceKind::Controller : sim::DeviceKind::Motor;
    }

    static bool SaysAfter(const ScreenUnderTest& screen, const QString& text, qsizetype from)
    {
        return test::WaitUntil([&] { return screen.Said().lastIndexOf(text) >= from; });
    }

    test::ScopedPortsDir ports;
    test::TempDir dir;
    std::unique_ptr<sim::Simulator> sim;
    test::PseudoTerminal other;
};

// What the user does to the COM list while connected or after the board
// went away; none of it may redirect the reopen.
struct ListChangeRow
{
    Screen screen;
    const char* name;
    bool pickOtherWhileConnected;
    bool dropDownWhileGone; // the gone port drops out of the refilled list
    bool pickOtherWhileGone;
};
void PrintTo(const ListChangeRow& row, std::ostream* os)
{
    *os << ScreenName(row.screen) << row.name;
}

class ReopenTarget : public ScreenLinkTest, public ::testing::WithParamInterface<ListChangeRow>
{
};

TEST_P(ReopenTarget, TheLinkReopensThePortItOpened)
{
    const ListChangeRow row = GetParam();
    const int port = DevicePort(row.screen);
    auto screen = Make(row.screen);
    screen->Pick(port);
    screen->OpenComPort();
    ASSERT_TRUE(SaysAfter(*screen, screen->ConnectedText(), 0)) << screen->Said().join(" | ").toStdString();
    if (row.pickOtherWhileConnected)
        screen->Pick(kOtherCom);

    // Gone until the list has been looked at.
    sim->Unplug(Device(row.screen));
    ASSERT_TRUE(SaysAfter(*screen, screen->LostText(), 0));
    const qsizetype lostAt = screen->Said().size();
    if (row.dropDownWhileGone) {
        screen->DropDown();
        EXPECT_LT(screen->IndexOf(port), 0) << "the unplugged port is still listed";
    }
    if (row.pickOtherWhileGone)
        screen->Pick(kOtherCom);
    sim->PlugIn(Device(row.screen));

    ASSERT_TRUE(SaysAfter(*screen, screen->ConnectedText(), lostAt)) << screen->Said().join(" | ").toStdString();
    EXPECT_EQ(screen->Serial().PortNumber(), port);
    EXPECT_EQ(screen->OpenedPort(), port);
    EXPECT_EQ(screen->Serial().DeviceName(), PortName(port));
}

std::vector<ListChangeRow> ListChangeRows()
{
    std::vector<ListChangeRow> rows;
    for (Screen s : {Screen::Main, Screen::Motor}) {
        rows.push_back({s, "OtherEntryPicked", true, false, false});
        rows.push_back({s, "ListShrank", false, true, false});
        rows.push_back({s, "ListShrankAndOtherPicked", false, true, true});
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, ReopenTarget, ::testing::ValuesIn(ListChangeRows()), [](const auto& info) {
    return std::string(ScreenName(info.param.screen)) + info.param.name;
});

// The choice of one start found again at the next, after the list changed.
struct RememberRow
{
    Screen screen;
    const char* name;
    int chosen;         // the port picked at the first start
    bool newPortBefore; // a port listed before it appears
    bool chosenGoes;    // the chosen port is no longer there
    int expected;       // the port preselected at the second start (0: none)
};
void PrintTo(const RememberRow& row, std::ostream* os)
{
    *os << ScreenName(row.screen) << row.name;
}

class RememberedPort : public ScreenLinkTest, public ::testing::WithParamInterface<RememberRow>
{
};

TEST_P(RememberedPort, IsFoundByNameElseByPosition)
{
    const RememberRow row = GetParam();
    int chosenIndex = -1;
    {
        auto first = Make(row.screen);
        first->Pick(row.chosen);
        chosenIndex = first->IndexOf(row.chosen);
        first->End();
    }
    const std::string_view nameKey =
        row.screen == Screen::Main ? kSettingsComNameKey : kSettingsMotorComNameKey;
    EXPECT_EQ(ReadStoredPortName(Startup(), nameKey), row.chosen);

    test::PseudoTerminal before;
    if (row.newPortBefore) {
        ASSERT_TRUE(before.Ok());
        ASSERT_TRUE(RegisterPortAlias(kControllerCom - 10, before.SlavePath()));
    }
    if (row.chosenGoes) {
        ASSERT_TRUE(UnregisterPortAlias(row.chosen));
    }
    auto second = Make(row.screen);
    EXPECT_EQ(second->ChosenPort(), row.expected);
    if (row.chosenGoes) {
        EXPECT_EQ(second->Form().Selection(second->ListId()), chosenIndex) << "the position, as before";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RememberedPort,
    ::testing::Values(RememberRow{Screen::Main, "NewPortListedFirst", kControllerCom, true, false, kControllerCom},
                      RememberRow{Screen::Motor, "NewPortListedFirst", kMotorCom, true, false, kMotorCom},
                      // Gone: its position picks whatever is there now.
                      RememberRow{Screen::Main, "ChosenPortGone", kOtherCom, true, true, kMotorCom},
                      RememberRow{Screen::Motor, "ChosenPortGone", kOtherCom, true, true, kMotorCom}),
    [](const auto& info) { return std::string(ScreenName(info.param.screen)) + info.param.name; });

TEST_F(ScreenLinkTest, MotorDialogNeverOffersTheControllersPortFirst)
{
    struct Row
    {
        const char* name;
        int stored; // MOTOR_COM_NAME at start, 0: none
        int expected;
    };
    const Row rows[] = {
        {"NothingStored", 0, kMotorCom},
        {"ControllersPortStored", kControllerCom, kMotorCom},
        {"OtherPortStored", kOtherCom, kOtherCom},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(SettingsFilePath(Startup()));
        if (row.stored) {
            ASSERT_TRUE(WriteStoredPortName(Startup(), kSettingsMotorComNameKey, row.stored));
        }
        auto dialog = Make(Screen::Motor, kControllerCom);
        EXPECT_EQ(dialog->ChosenPort(), row.expected);
    }
}

// A board left in its boot loader (after a failed or cancelled upgrade) and
// one that is merely silent.
class BootLoaderOnPort : public ScreenLinkTest, public ::testing::WithParamInterface<Screen>
{
protected:
    // The board reset with its boot jumper set and in step with a first
    // sync byte, as a failed or cancelled upgrade leaves it.
    void IntoBootLoader(Screen s)
    {
        sim->ResetIntoBootLoader(Device(s));
        BootPort port;
        ASSERT_TRUE(test::SyncBootLoader(port, DevicePort(s)));
    }
    // What the screen shows for it, as shown.
    static QString Sentence(Screen s)
    {
        return s == Screen::Main ? QStringLiteral("$INKred$The controller on COM181 is in its boot loader: start "
                                                  "the upgrade again, or remove the boot jumper and reset it.")
                                 : QStringLiteral("The motor board on COM182 is in its boot loader: start the "
                                                  "upgrade again, or remove the boot jumper and reset it.");
    }
    // Opens the board's port and waits for the sentence; where it came.
    qsizetype OpenAndWaitForSentence(ScreenUnderTest& screen, Screen s)
    {
        screen.Pick(DevicePort(s));
        screen.OpenComPort();
        EXPECT_TRUE(test::WaitUntil([&] { return screen.RawSaid().contains(Sentence(s)); }))
            << screen.RawSaid().join(" | ").toStdString();
        return screen.RawSaid().indexOf(Sentence(s));
    }
    std::string FirmwareFile(Screen s, std::uint8_t version)
    {
        const BoardId board = s == Screen::Main ? BoardId::Controller : BoardId::Motor;
        const auto bytes = PackFirmware(board, version, 0x08000000, sim::SimFirmwareImage(version, 2048));
        const std::string path = dir.File(s == Screen::Main ? "fw.bgsf" : "fw.bmcf");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
};

// Named once, kept from frames (a boot loader takes them as commands), and
// connected again once the board has left it: reset without its jumper, or
// reset with it and upgraded.
TEST_P(BootLoaderOnPort, IsNamedKeptFromFramesAndConnectsOnceItHasLeft)
{
    const Screen s = GetParam();
    for (const bool upgrade : {false, true}) {
        SCOPED_TRACE(upgrade ? "upgraded" : "reset");
        ASSERT_NO_FATAL_FAILURE(IntoBootLoader(s));
        auto screen = Make(s);
        const qsizetype at = OpenAndWaitForSentence(*screen, s);
        ASSERT_GE(at, 0);

        // The next check sends its sync bytes and nothing else.
        const std::uint32_t sent = screen->Serial().SentTotal();
        ASSERT_TRUE(test::WaitUntil([&] { return screen->Serial().SentTotal() >= sent + 2; }));
        EXPECT_LT(screen->Serial().SentTotal() - sent, kFrameSize);
        const sim::BootStats stats = sim->BootLoaderStats(Device(s));
        EXPECT_EQ(stats.pagesErased + stats.writes + stats.reads + stats.starts, 0);
        EXPECT_EQ(screen->RawSaid().lastIndexOf(Sentence(s)), at) << "said once";

        if (!upgrade) {
            sim->Reset(Device(s));
        } else {
            // Reset with the jumper still set, the boot loader takes its baud
            // rate from the first byte it hears, which must be a sync byte:
            // the screen's checks send no other, and the upgrade skips its
            // board check here.
            sim->ResetIntoBootLoader(Device(s));
            screen->StartUpgrade(FirmwareFile(s, 44));
            const QString upgraded = QStringLiteral("Firmware upgraded successfully!");
            ASSERT_TRUE(test::WaitUntil([&] {
                const QStringList said = screen->Said();
                return said.contains(upgraded) || !said.filter(QStringLiteral("error code:")).isEmpty();
            }));
            ASSERT_TRUE(screen->Said().contains(upgraded)) << screen->Said().join(" | ").toStdString();
            EXPECT_EQ(sim->FirmwareVersion(Device(s)), 44);
            screen->OpenComPort();
        }
        ASSERT_TRUE(SaysAfter(*screen, screen->ConnectedText(), at))
            << screen->Said().join(" | ").toStdString();
        screen->End();
    }
}

// A port nobody answers on: after the frames of the time-out, two sync
// bytes and nothing else, then the frames again, and no word of a boot
// loader.
TEST_P(BootLoaderOnPort, ASilentBoardIsNoBootLoaderAndTheFramesGoOn)
{
    const Screen s = GetParam();
    auto screen = Make(s);
    screen->Pick(kOtherCom);
    screen->OpenComPort();

    struct Heard
    {
        std::size_t framesBefore = 0, syncs = 0, framesAfter = 0, rest = 0;
    };
    std::vector<std::uint8_t> bytes;
    Heard h;
    const auto split = [&] {
        h = {};
        std::size_t i = 0;
        const auto frames = [&](std::size_t& count) {
            while (i + kFrameSize <= bytes.size() && bytes[i] == screen->Header()) {
                ++count;
                i += kFrameSize;
            }
        };
        frames(h.framesBefore);
        for (; i < bytes.size() && bytes[i] == boot::kSync; ++i)
            ++h.syncs;
        frames(h.framesAfter);
        h.rest = bytes.size() - i;
    };
    ASSERT_TRUE(test::WaitUntil([&] {
        const auto got = other.Read(4096, 5ms);
        bytes.insert(bytes.end(), got.begin(), got.end());
        split();
        return h.framesAfter >= 2;
    })) << bytes.size()
        << " bytes";
    EXPECT_EQ(h.framesBefore, std::size_t(ScreenLink::kNoFrameTicks));
    EXPECT_EQ(h.syncs, 2u);
    EXPECT_LT(h.rest, kFrameSize) << "something other than frames";
    EXPECT_TRUE(screen->Said().filter(QStringLiteral("boot loader")).isEmpty())
        << screen->Said().join(" | ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(Screens, BootLoaderOnPort, ::testing::Values(Screen::Main, Screen::Motor),
                         [](const auto& info) { return std::string(ScreenName(info.param)); });

} // namespace
} // namespace qav
