// What both screens' links share, against the simulated boards on real
// pseudo-terminals: the reopen of the port that was opened, whatever the
// COM list shows meanwhile; the port remembered by name between two starts;
// the motor dialog never offering the controller's port first; and the
// word that an opened port gave no frame.
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/UARTView.h"

#include "Simulator.h"
#include "files/SettingsFile.h"
#include "platform/PortMap.h"
#include "serial/PortList.h"
#include "view/ControlIds.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/PseudoTerminal.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

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
    std::vector<int> silentPorts; // what OnPortGaveNoFrame was told

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

// A screen that keeps what OnPortGaveNoFrame told it.
template <class Base> class RecordingSilence final : public Base
{
public:
    template <class... Args>
    explicit RecordingSilence(std::vector<int>& silent, Args&&... args)
        : Base(std::forward<Args>(args)...), silent_(silent)
    {
    }

protected:
    void OnPortGaveNoFrame(int port) override { silent_.push_back(port); }

private:
    std::vector<int>& silent_;
};
using RecordingView = RecordingSilence<CUARTView>;
using RecordingDialog = RecordingSilence<CMotorConfigDlg>;

class MainScreen final : public ScreenUnderTest
{
public:
    explicit MainScreen(const std::string& startup)
    {
        view_ = std::make_unique<RecordingView>(silentPorts, params_, &status_, prompts_);
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
            plain << QString(t).remove(QStringLiteral("$INKblue$")).remove(QStringLiteral("$INKred$"));
        return plain;
    }
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

private:
    ControllerParams params_;
    test::RecordingStatus status_;
    test::FakePrompts prompts_;
    std::unique_ptr<RecordingView> view_;
};

class MotorDialog final : public ScreenUnderTest
{
public:
    MotorDialog(const std::string& startup, int controllerPort)
    {
        dlg_ = std::make_unique<RecordingDialog>(silentPorts, params_, receiver_, prompts_, startup, nullptr,
                                                 controllerPort);
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

private:
    MotorParams params_;
    FrameReceiver receiver_{kMotorHeader0, kMotorHeader1};
    test::FakePrompts prompts_;
    std::unique_ptr<RecordingDialog> dlg_;
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

    static bool SaysAfter(const ScreenUnderTest& screen, const QString& text, qsizetype from, int ms = 8000)
    {
        return QTest::qWaitFor([&] { return screen.Said().lastIndexOf(text) >= from; }, ms);
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

    sim->Unplug(Device(row.screen), 1500ms);
    ASSERT_TRUE(SaysAfter(*screen, screen->LostText(), 0, 3000));
    const qsizetype lostAt = screen->Said().size();
    if (row.dropDownWhileGone) {
        screen->DropDown();
        EXPECT_LT(screen->IndexOf(port), 0) << "the unplugged port is still listed";
    }
    if (row.pickOtherWhileGone)
        screen->Pick(kOtherCom);

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

// The word the screens get when the port they opened stays silent, where
// they will look for a board waiting in its boot loader.
struct SilenceRow
{
    Screen screen;
    const char* name;
    bool silent;
};
void PrintTo(const SilenceRow& row, std::ostream* os)
{
    *os << ScreenName(row.screen) << row.name;
}

class NoFrameWord : public ScreenLinkTest, public ::testing::WithParamInterface<SilenceRow>
{
};

TEST_P(NoFrameWord, ComesOnceForASilentPortOnly)
{
    const SilenceRow row = GetParam();
    const int port = row.silent ? kOtherCom : DevicePort(row.screen);
    auto screen = Make(row.screen);
    screen->Pick(port);
    screen->OpenComPort();
    // Twice as many frames as the port is given to answer.
    const std::uint32_t enough = 2u * ScreenLink::kNoFrameTicks * kFrameSize;
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->Serial().SentTotal() >= enough; }, 10000));
    if (row.silent)
        EXPECT_EQ(screen->silentPorts, std::vector<int>{kOtherCom});
    else
        EXPECT_TRUE(screen->silentPorts.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, NoFrameWord,
                         ::testing::Values(SilenceRow{Screen::Main, "SilentPort", true},
                                           SilenceRow{Screen::Main, "AnsweringBoard", false},
                                           SilenceRow{Screen::Motor, "SilentPort", true},
                                           SilenceRow{Screen::Motor, "AnsweringBoard", false}),
                         [](const auto& info) {
                             return std::string(ScreenName(info.param.screen)) + info.param.name;
                         });

} // namespace
} // namespace qav
