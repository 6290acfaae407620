// The motor dialog's own mechanics on the real widgets: its controls, the
// box rules, what Enter, the flash button and the direction boxes ask of the
// link, the COM list with its stored entry, the close sequence, file names
// it refuses and failures it reports.
#include "view/MotorDialogFixture.h"

#include "files/SettingsFile.h"
#include "gui_support/WaitUntil.h"
#include "platform/PortMap.h"
#include "support/ParamsPrinter.h"
#include "ui/LiveBox.h"
#include "ui/Skin.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace qav {
namespace {

using test::kMotorCom;

class MotorConfigDlgTest : public test::MotorDialogFixture
{
protected:
    // As if a board had answered: the dialog's messages then show.
    void PretendConnected()
    {
        dlg->Engine().State().motorConnected = true;
        dlg->Engine().State().command = kMotorCmdMonitor;
    }
};

struct ControlCase
{
    int id;
    const char* caption; // text of buttons, labels and groups; "" for boxes and lists
    const char* accessibleName;
    int group;
    SkinKind kind;
    bool visible;
};

TEST_F(MotorConfigDlgTest, ControlsCaptionsGroupsKindsAndNames)
{
    MakeDialog();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Motor Configuration"));
    EXPECT_EQ(GetSkinKind(dlg.get()), SkinKind::FormWindow);
    using K = SkinKind;
    const ControlCase cases[] = {
        {mdc::OpenComPort, "Open COM Port", "Open COM Port", 0, K::PushButton, true},
        {mdc::ComList, "", "COM", 0, K::ComboBox, true},
        {mdc::WriteSettingsToFlash, "Write Settings To Flash", "Write Settings To Flash", 0, K::PushButton,
         true},
        {mdc::LoadConfig, "Load Config", "Load Config", 0, K::PushButton, true},
        {mdc::SaveConfig, "Save Config", "Save Config", 0, K::PushButton, true},
        {mdc::RollingGroup, "Rolling motor", "Rolling motor", 0, K::GroupBox, true},
        {mdc::PolMotor1, "", "Polar Num", mdc::RollingGroup, K::EditBox, true},
        {mdc::PowMotor1, "", "Power", mdc::RollingGroup, K::EditBox, true},
        {mdc::TiltingGroup, "Tilting motor", "Tilting motor", 0, K::GroupBox, true},
        {mdc::PolMotor2, "", "Polar Num", mdc::TiltingGroup, K::EditBox, true},
        {mdc::PowMotor2, "", "Power", mdc::TiltingGroup, K::EditBox, true},
        {mdc::MonitorGroup, "Signal Monitor", "Signal Monitor", 0, K::GroupBox, true},
        {mdc::Voltage, "", "Voltage", mdc::MonitorGroup, K::EditBox, true},
        {mdc::Current, "", "Current", mdc::MonitorGroup, K::EditBox, true},
        {mdc::UpgradeGroup, "Upgrade", "Upgrade", 0, K::GroupBox, true},
        {mdc::OpenFirmware, "Open Firmware", "Open Firmware", mdc::UpgradeGroup, K::PushButton, true},
        {mdc::StartUpgrade, "Start Upgrade", "Start Upgrade", mdc::UpgradeGroup, K::PushButton, true},
        {mdc::CancelUpgrade, "Cancel Upgrade", "Cancel Upgrade", mdc::UpgradeGroup, K::PushButton, true},
        {mdc::Progress, "", "Upgrade progress", mdc::UpgradeGroup, K::ProgressBar, true},
        {mdc::Status, "", "Status", 0, K::EditBox, true},
        {mdc::FirmwareVersion, "", "Firmware version", 0, K::EditBox, true},
        {mdc::Ok, "OK", "OK", 0, K::PushButton, false},
        {mdc::Cancel, "Cancel", "Cancel", 0, K::PushButton, false},
        {mdc::SpareBox1, "", "Spare 1", 0, K::EditBox, false},
        {mdc::SpareBox2, "", "Spare 2", 0, K::EditBox, false},
        {mdc::SpareButton, "Spare", "Spare", 0, K::PushButton, false},
        {mdc::Motor1Reverse, "Rolling motor reverse", "Rolling motor reverse", 0, K::CheckBox, false},
        {mdc::Motor2Reverse, "Tilting motor reverse", "Tilting motor reverse", 0, K::CheckBox, false},
    };
    FormHost& form = dlg->Form();
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.id);
        QWidget* w = form.Control(c.id);
        ASSERT_NE(w, nullptr);
        if (*c.caption) {
            EXPECT_EQ(form.Text(c.id), QString::fromUtf8(c.caption));
        }
        EXPECT_EQ(w->accessibleName(), QString::fromUtf8(c.accessibleName));
        EXPECT_EQ(GetSkinKind(w), c.kind);
        EXPECT_EQ(form.Visible(c.id), c.visible);
        EXPECT_EQ(w->isVisible(), c.visible);
        if (c.group != 0) {
            EXPECT_EQ(w->parentWidget(), form.Control(c.group));
        }
    }
    for (QLabel* label : form.findChildren<QLabel*>())
        EXPECT_EQ(GetSkinKind(label), K::StaticText) << label->text().toStdString();
    // No button takes Enter as the dialog's default.
    for (QPushButton* button : form.findChildren<QPushButton*>())
        EXPECT_FALSE(button->autoDefault() || button->isDefault()) << button->text().toStdString();
}

TEST_F(MotorConfigDlgTest, InitialStateAndColours)
{
    MakeDialog();
    FormHost& form = dlg->Form();
    for (int box :
         {mdc::PolMotor1, mdc::PowMotor1, mdc::PolMotor2, mdc::PowMotor2, mdc::Voltage, mdc::Current})
        EXPECT_EQ(form.Text(box), QStringLiteral("0")) << box;
    EXPECT_EQ(form.Text(mdc::Status), QStringLiteral("Please open COM port!"));
    EXPECT_EQ(form.Text(mdc::FirmwareVersion), QStringLiteral("Firmware Version:"));
    EXPECT_FALSE(form.Enabled(mdc::LoadConfig));
    EXPECT_TRUE(form.Enabled(mdc::SaveConfig));
    EXPECT_TRUE(form.Enabled(mdc::OpenFirmware)); // the upgrade's "No file" state
    EXPECT_FALSE(form.Enabled(mdc::StartUpgrade));
    EXPECT_FALSE(form.Enabled(mdc::CancelUpgrade));
    EXPECT_EQ(qobject_cast<QProgressBar*>(form.Control(mdc::Progress))->value(), 0);
    EXPECT_TRUE(Box(mdc::Voltage)->isReadOnly());
    EXPECT_TRUE(Box(mdc::Status)->isReadOnly());
    EXPECT_FALSE(dlg->LinkTimerActive());

    const struct
    {
        int id;
        QColor text, base;
    } colours[] = {{mdc::Status, Qt::white, QColor(255, 0, 0)},
                   {mdc::FirmwareVersion, Qt::white, QColor(0, 0, 255)}};
    for (const auto& c : colours) {
        QWidget* w = form.Control(c.id);
        EXPECT_EQ(w->palette().color(QPalette::Text), c.text) << c.id;
        EXPECT_EQ(w->palette().color(QPalette::Base), c.base) << c.id;
    }

    // Assistive tools read what the status box says now.
    dlg->ShowStatus(QStringLiteral("Motor connected successfully!"));
    QAccessibleInterface* status = QAccessible::queryAccessibleInterface(form.Control(mdc::Status));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->text(QAccessible::Value), QStringLiteral("Motor connected successfully!"));
    EXPECT_EQ(status->text(QAccessible::Name), QStringLiteral("Status"));
}

struct TypingCase
{
    const char* name;
    const char* keys;    // typed key by key into an empty box
    const char* shown;   // the box afterwards
    std::uint8_t stored; // POW_MOTOR1 afterwards (it starts at 7)
    bool refused;        // the integer-required message came up
    friend void PrintTo(const TypingCase& row, std::ostream* os) { *os << row.name; }
};

class MotorBoxRulesTest : public MotorConfigDlgTest, public testing::WithParamInterface<TypingCase>
{
};

TEST_P(MotorBoxRulesTest, TypingIsLimitedAtOnceAndStored)
{
    const TypingCase& c = GetParam();
    MakeDialog();
    PretendConnected();
    Type(mdc::PowMotor1, QStringLiteral("7"));
    ASSERT_EQ(params.POW_MOTOR1, 7);
    prompts.messages.clear();
    dlg->ShowStatus(QString());
    Type(mdc::PowMotor1, QString::fromUtf8(c.keys));
    EXPECT_EQ(Text(mdc::PowMotor1), QString::fromUtf8(c.shown));
    EXPECT_EQ(params.POW_MOTOR1, c.stored);
    ASSERT_EQ(prompts.messages.size(), c.refused ? 1 : 0);
    if (c.refused) {
        EXPECT_EQ(prompts.messages[0].text, QStringLiteral("请键入一个整数。"));
    }
    // Typing never sends.
    EXPECT_EQ(dlg->Engine().State().command, kMotorCmdMonitor);
    const bool stillTyping = QString::fromUtf8(c.keys) == QStringLiteral("-");
    EXPECT_EQ(Text(mdc::Status),
              stillTyping ? QString() : QStringLiteral("input(0-100), push 'return' key!"));
}

INSTANTIATE_TEST_SUITE_P(Rows, MotorBoxRulesTest,
                         testing::Values(TypingCase{"in_range", "42", "42", 42, false},
                                         TypingCase{"above_100_shows_100", "150", "100", 100, false},
                                         TypingCase{"negative_shows_0", "-5", "0", 0, false},
                                         TypingCase{"lone_minus_waits", "-", "-", 7, false},
                                         TypingCase{"letters_refused", "4x", "4", 4, true},
                                         TypingCase{"huge_number_saturates", "99999999999", "100", 100,
                                                    false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotorConfigDlgTest, WhileNotConnectedEditsSayNothingButStillAskForCommandOne)
{
    MakeDialog();
    statuses.clear();
    Type(mdc::PolMotor1, QStringLiteral("12"));
    Enter(mdc::PolMotor1);
    EXPECT_EQ(dlg->Engine().State().command, kMotorCmdWrite);
    dlg->Engine().RequestCommand(kMotorCmdRead);
    Click(mdc::WriteSettingsToFlash);
    EXPECT_EQ(dlg->Engine().State().command, kMotorCmdWrite);
    EXPECT_TRUE(dlg->Engine().State().flashPending);
    EXPECT_TRUE(statuses.isEmpty()) << Log();
}

TEST_F(MotorConfigDlgTest, EnterOnlyInAParameterBoxSends)
{
    MakeDialog();
    PretendConnected();
    struct
    {
        int id;
        bool sends;
    } rows[] = {{mdc::PolMotor1, true}, {mdc::PowMotor1, true}, {mdc::PolMotor2, true},
                {mdc::PowMotor2, true}, {mdc::Voltage, false},  {mdc::Current, false},
                {mdc::Status, false},   {mdc::ComList, false}};
    for (const auto& r : rows) {
        dlg->Engine().RequestCommand(kMotorCmdMonitor);
        Enter(r.id);
        EXPECT_EQ(dlg->Engine().State().command, r.sends ? kMotorCmdWrite : kMotorCmdMonitor) << r.id;
        EXPECT_TRUE(dlg->isVisible());
    }
}

TEST_F(MotorConfigDlgTest, EnterTakesBoxesAndDirectionsIntoTheSet)
{
    MakeDialog();
    PretendConnected();
    dlg->Form().SetChecked(mdc::Motor2Reverse, true);
    Type(mdc::PolMotor1, QStringLiteral("14"));
    Type(mdc::PowMotor1, QStringLiteral("80"));
    Type(mdc::PolMotor2, QStringLiteral("14"));
    Type(mdc::PowMotor2, QStringLiteral("60"));
    Enter(mdc::PolMotor2);
    EXPECT_EQ(params, (MotorParams{14, 80, 14, 60, 0x01, 0xFF}));
    EXPECT_EQ(statuses.back(), QStringLiteral("Motor parameters uploaded!"));
    Frame request;
    dlg->Engine().BuildRequest(request);
    const Frame expected = {0xEB, 0x90, 0, 0, 0, 0x01, 0x0E, 0x50, 0x0E, 0x3C, 0, 0, 0, 0, 0,    0,
                            0,    0,    0, 0, 0, 0,    0,    0,    0,    0,    0, 0, 0, 0, 0x1C, 0x4E};
    EXPECT_EQ(request, expected);
}

TEST_F(MotorConfigDlgTest, DirectionBoxesSetTheirDirectionAndSend)
{
    MakeDialog();
    PretendConnected();
    const struct
    {
        int box;
        std::uint8_t MotorParams::*param;
        const char* on;
        const char* off;
    } rows[] = {{mdc::Motor1Reverse, &MotorParams::DIR_MOTOR1, "电机1反向", "电机1正向"},
                {mdc::Motor2Reverse, &MotorParams::DIR_MOTOR2, "电机2反向", "电机2正向"}};
    for (const auto& r : rows) {
        for (bool checked : {true, false}) {
            dlg->Engine().RequestCommand(kMotorCmdMonitor);
            Click(r.box);
            EXPECT_EQ(dlg->Form().Checked(r.box), checked);
            EXPECT_EQ(params.*r.param, checked ? 0xFF : 0x01);
            EXPECT_EQ(statuses.back(), QString::fromUtf8(checked ? r.on : r.off));
            EXPECT_EQ(dlg->Engine().State().command, kMotorCmdWrite);
        }
    }
}

TEST_F(MotorConfigDlgTest, OpenWithoutAPortStillStartsTheTimerQuietly)
{
    MakeDialog();
    // An empty list, whatever ports this machine has: no entry gives port 0.
    dlg->Form().SetItems(mdc::ComList, {});
    emit qobject_cast<QComboBox*>(dlg->Form().Control(mdc::ComList))->activated(-1);
    ASSERT_EQ(dlg->ComPortNumber(), 0);
    Click(mdc::OpenComPort);
    EXPECT_FALSE(dlg->Serial().IsOpen());
    EXPECT_TRUE(dlg->LinkTimerActive());
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Please connect to motor port!"));
    // Past the 26th tick: never connected, so no word of a loss.
    ASSERT_TRUE(test::WaitUntil([&] { return dlg->Engine().State().missCount == 26; }));
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Please connect to motor port!"));
    EXPECT_EQ(dlg->Engine().State().command, kMotorCmdRead);
}

TEST_F(MotorConfigDlgTest, StoredEntryBeyondTheListSelectsTheFirst)
{
    StartSim();
    ASSERT_TRUE(RegisterPortAlias(kMotorCom + 1, sim->DevicePath(sim::DeviceKind::Motor)));
    const std::string startup = dir.path().string() + "/";
    ASSERT_TRUE(WriteStoredIndex(startup, kSettingsMotorComKey, 1000));
    MakeDialog();
    EXPECT_GE(dlg->Form().ItemCount(mdc::ComList), 2);
    EXPECT_EQ(dlg->Form().Selection(mdc::ComList), 0);
    EXPECT_EQ(dlg->ComPortNumber(), kMotorCom);
}

struct CloseCase
{
    const char* name;
    bool escape; // else the close box
    friend void PrintTo(const CloseCase& row, std::ostream* os) { *os << row.name; }
};

class MotorDialogCloseTest : public MotorConfigDlgTest, public testing::WithParamInterface<CloseCase>
{
};

TEST_P(MotorDialogCloseTest, ClosingSavesTheChosenEntryAndClosesThePort)
{
    StartSim();
    ASSERT_TRUE(RegisterPortAlias(kMotorCom + 1, sim->DevicePath(sim::DeviceKind::Motor)));
    const std::string startup = dir.path().string() + "/";
    MakeDialog();
    dlg->Form().SetSelection(mdc::ComList, 1);
    emit qobject_cast<QComboBox*>(dlg->Form().Control(mdc::ComList))->activated(1);
    EXPECT_EQ(dlg->ComPortNumber(), kMotorCom + 1);
    Click(mdc::OpenComPort);
    ASSERT_TRUE(WaitForStatus(QStringLiteral("Motor connected successfully!")));
    ASSERT_TRUE(dlg->Serial().IsOpen());
    if (GetParam().escape)
        QTest::keyClick(dlg->Form().Control(mdc::PolMotor1), Qt::Key_Escape);
    else
        dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    EXPECT_FALSE(dlg->Serial().IsOpen());
    EXPECT_FALSE(dlg->LinkTimerActive());
    EXPECT_EQ(ReadStoredIndex(startup, kSettingsMotorComKey), 1);

    // The next opening finds the same entry.
    dlg.reset();
    MakeDialog();
    EXPECT_EQ(dlg->Form().Selection(mdc::ComList), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, MotorDialogCloseTest,
                         testing::Values(CloseCase{"close_box", false}, CloseCase{"escape", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotorConfigDlgTest, ClosingWithoutOpeningStillSavesTheEntry)
{
    MakeDialog();
    dlg->close();
    EXPECT_EQ(ReadStoredIndex(dir.path().string() + "/", kSettingsMotorComKey), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "Setting.ini"));
}

struct FileNameCase
{
    const char* name;
    bool save;
    const char* path; // relative to the test folder unless short; "" for cancel
    const char* message;
    friend void PrintTo(const FileNameCase& row, std::ostream* os) { *os << row.name; }
};

class MotorFileNameTest : public MotorConfigDlgTest, public testing::WithParamInterface<FileNameCase>
{
};

TEST_P(MotorFileNameTest, RefusedOrFailedFileCommandsChangeNothing)
{
    const FileNameCase& c = GetParam();
    std::filesystem::create_directory(dir.path() / "folder.bmc");
    MakeDialog();
    PretendConnected();
    dlg->Form().Enable(mdc::LoadConfig, true);
    // The set holds a board's values, loaded from a file.
    const std::string start = dir.File("start.bmc");
    test::WriteWholeFile(start, "[MOTOR_PARAMETERS]\nPOL_MOTOR1=1\nPOW_MOTOR1=2\nPOL_MOTOR2=3\nPOW_MOTOR2=4\n");
    prompts.openPath = QString::fromStdString(start);
    Click(mdc::LoadConfig);
    ASSERT_TRUE(dlg->ValuesKnown());
    prompts.openPath.clear();
    prompts.messages.clear();
    ASSERT_EQ(params, (MotorParams{1, 2, 3, 4, 0, 0}));
    dlg->Engine().RequestCommand(kMotorCmdMonitor);
    QString path = QString::fromUtf8(c.path);
    if (path.size() > 4)
        path = QString::fromStdString(dir.File(c.path));
    if (c.save)
        prompts.savePath = path;
    else
        prompts.openPath = path;
    statuses.clear();
    Click(c.save ? mdc::SaveConfig : mdc::LoadConfig);
    if (*c.message) {
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].text.startsWith(QString::fromUtf8(c.message)))
            << prompts.messages[0].text.toStdString();
    } else {
        EXPECT_TRUE(prompts.messages.isEmpty());
    }
    EXPECT_EQ(params, (MotorParams{1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(dlg->Engine().State().command, kMotorCmdMonitor);
    EXPECT_TRUE(statuses.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MotorFileNameTest,
    testing::Values(FileNameCase{"load_cancelled", false, "", ""},
                    FileNameCase{"save_cancelled", true, "", ""},
                    FileNameCase{"load_short_name", false, "/a.b", "File name too short!"},
                    FileNameCase{"save_short_name", true, "a.bm", "File name too short!"},
                    FileNameCase{"save_into_missing_folder", true, "none/board.bmc", "Could not write "},
                    FileNameCase{"load_a_folder", false, "folder.bmc", "Could not read "}),
    [](const auto& info) { return std::string(info.param.name); });

// A partial file never zeroes the board: the keys it lacks keep the values
// in the boxes, and the status box says how many, its tooltip which. A file
// with none of the keys, or none of its section, changes nothing.
TEST_F(MotorConfigDlgTest, LoadOfAPartialFileKeepsTheBoxesItLacks)
{
    const struct
    {
        const char* text;
        MotorParams after; // from {11, 12, 13, 14}, both directions normal
        const char* said;  // ending the status text, or the refusal's ending
        const char* tooltip;
    } rows[] = {
        {"[MOTOR_PARAMETERS]\nPOW_MOTOR2=60\n", {11, 12, 13, 60, 1, 1}, " 3 values not in the file kept.",
         "Not in the file, kept as they were: POL_MOTOR1, POW_MOTOR1, POL_MOTOR2"},
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=20\nPOW_MOTOR1=21\nPOL_MOTOR2=22\n", {20, 21, 22, 14, 1, 1},
         " 1 value not in the file kept.", "Not in the file, kept as they were: POW_MOTOR2"},
        {"[MOTOR_PARAMETERS]\nPOL_MOTOR1=20\nPOW_MOTOR1=21\nPOL_MOTOR2=22\nPOW_MOTOR2=23\n",
         {20, 21, 22, 23, 1, 1}, "4 values changed.", ""},
        {"[MOTOR_PARAMETERS]\nPOL_MOTR1=20\n", {11, 12, 13, 14, 1, 1},
         ": its [MOTOR_PARAMETERS] section has none of the keys", nullptr},
        {"[PARAMETERS]\nPOL_MOTOR1=20\n", {11, 12, 13, 14, 1, 1}, ": it has no [MOTOR_PARAMETERS] section",
         nullptr},
    };
    MakeDialog();
    PretendConnected();
    dlg->Form().Enable(mdc::LoadConfig, true);
    const std::string path = dir.File("part.bmc");
    prompts.openPath = QString::fromStdString(path);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        for (const MotorParamBox& p : kMotorParamBoxes)
            Type(p.box, QString::number(11 + (&p - kMotorParamBoxes.data())));
        Enter(mdc::PolMotor1);
        ASSERT_EQ(params, (MotorParams{11, 12, 13, 14, 1, 1}));
        dlg->Engine().RequestCommand(kMotorCmdMonitor);
        prompts.messages.clear();
        test::WriteWholeFile(path, r.text);
        Click(mdc::LoadConfig);
        EXPECT_EQ(params, r.after);
        for (const MotorParamBox& p : kMotorParamBoxes)
            EXPECT_EQ(Text(p.box), QString::number(r.after.*p.param));
        if (!r.tooltip) {
            ASSERT_EQ(prompts.messages.size(), 1);
            EXPECT_TRUE(prompts.messages[0].text.endsWith(QString::fromUtf8(r.said)))
                << prompts.messages[0].text.toStdString();
            EXPECT_EQ(dlg->Engine().State().command, kMotorCmdMonitor); // nothing sent
            continue;
        }
        EXPECT_TRUE(prompts.messages.isEmpty());
        EXPECT_TRUE(Text(mdc::Status).startsWith(QStringLiteral("Config file uploaded successfully!")));
        EXPECT_TRUE(Text(mdc::Status).contains(QString::fromUtf8(r.said))) << Text(mdc::Status).toStdString();
        // After the whole message where the box had to cut it.
        const QString tip = Box(mdc::Status)->toolTip();
        EXPECT_TRUE(*r.tooltip ? tip.endsWith(QString::fromUtf8(r.tooltip)) : !tip.contains("Not in the file"))
            << tip.toStdString();
        EXPECT_EQ(dlg->Engine().State().command, kMotorCmdWrite);
    }
    // The next message goes without the last one's tooltip.
    Enter(mdc::PolMotor1);
    EXPECT_EQ(Text(mdc::Status), QStringLiteral("Motor parameters uploaded!"));
    EXPECT_EQ(Box(mdc::Status)->toolTip(), QString());
    EXPECT_EQ(Box(mdc::Status)->accessibleDescription(), QString());
}

TEST_F(MotorConfigDlgTest, SaveBeforeAnythingWasReadSaysThereIsNothingToSave)
{
    StartSim();
    MakeDialog();
    const std::string path = dir.File("out.bmc");
    prompts.savePath = QString::fromStdString(path);
    Type(mdc::PolMotor1, QStringLiteral("14")); // typed, not read
    Click(mdc::SaveConfig);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(prompts.messages[0].text, CMotorConfigDlg::NothingToSaveMessage());
    EXPECT_TRUE(prompts.fileTitles.isEmpty());
    EXPECT_FALSE(std::filesystem::exists(path));

    // A board's report makes the set worth saving.
    Connect();
    EXPECT_TRUE(dlg->ValuesKnown());
    Click(mdc::SaveConfig);
    EXPECT_EQ(prompts.messages.size(), 1);
    EXPECT_EQ(test::ReadWholeFile(path), "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\nPOW_MOTOR1=80\nPOL_MOTOR2=14\nPOW_MOTOR2=60\n");
}

TEST_F(MotorConfigDlgTest, LoadPutsFileValuesThroughTheBoxRules)
{
    const struct
    {
        const char* value;
        const char* shown;
    } rows[] = {{"14", "14"}, {"100", "100"}, {"150", "100"}, {"300", "44"},
                {"", "0"},    {"text", "0"},  {"-1", "100"}};
    MakeDialog();
    PretendConnected();
    dlg->Form().Enable(mdc::LoadConfig, true);
    const std::string path = dir.File("in.bmc");
    prompts.openPath = QString::fromStdString(path);
    for (const auto& r : rows) {
        test::WriteWholeFile(path, std::string("[MOTOR_PARAMETERS]\nPOL_MOTOR1=") + r.value + "\n");
        Click(mdc::LoadConfig);
        EXPECT_EQ(Text(mdc::PolMotor1), QString::fromUtf8(r.shown)) << r.value;
        EXPECT_EQ(QString::number(params.POL_MOTOR1), QString::fromUtf8(r.shown)) << r.value;
        EXPECT_TRUE(statuses.back().startsWith(QStringLiteral("Config file uploaded successfully! ")))
            << statuses.back().toStdString();
        EXPECT_EQ(dlg->Engine().State().command, kMotorCmdWrite);
    }
}

TEST_F(MotorConfigDlgTest, LongStatusIsCutWithItsWholeTextInTheTooltip)
{
    MakeDialog();
    auto* status = qobject_cast<CLiveBox*>(dlg->Form().Control(mdc::Status));
    ASSERT_NE(status, nullptr);
    const QString loaded = QStringLiteral(
        "Config file uploaded successfully! 4 values changed. Previous set kept in "
        "~/.local/share/qav-nuva/backups/2026-12-01T10-11-12-COM172.bmc, the file you can load to go back");
    struct
    {
        QString text;
        bool cut;
    } rows[] = {{loaded, true}, {QStringLiteral("Motor connected successfully!"), false}, {loaded, true}};
    for (const auto& row : rows) {
        dlg->ShowStatus(row.text);
        SCOPED_TRACE(row.text.toStdString());
        EXPECT_EQ(Text(mdc::Status), row.text) << "the box keeps the whole text";
        EXPECT_EQ(status->Elided(), row.cut);
        EXPECT_EQ(status->toolTip(), row.cut ? row.text : QString());
        EXPECT_EQ(status->accessibleDescription(), row.cut ? row.text : QString());
        const QString shown = status->ShownText();
        EXPECT_EQ(shown.endsWith(QStringLiteral("…")), row.cut) << shown.toStdString();
        EXPECT_TRUE(row.text.startsWith(row.cut ? shown.chopped(1) : shown));
        EXPECT_FALSE(status->grab().isNull());
    }
}

} // namespace
} // namespace qav
