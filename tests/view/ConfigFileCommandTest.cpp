// Controller configuration files through the main screen's buttons and the
// main window's Ctrl+O and Ctrl+S, on real files: the names the commands
// accept and write, what a load puts on the screen and into the parameter
// set, and the failures they report.
#include "view/UARTView.h"

#include "app/MainFrame.h"
#include "app/UARTDoc.h"
#include "files/ConfigFile.h"
#include "view/ControlIds.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "gui_support/RecordingStatus.h"
#include "support/ParamsPrinter.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QDir>
#include <QSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace qav {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::WriteWholeFile;

const QString kLoaded = QStringLiteral("$INKblue$Config file uploaded successfully!");
constexpr std::uint8_t kNothingPending = 0x55;

// Every keyed field set, signed ones negative where they can be.
ControllerParams Sample()
{
    ControllerParams p;
    p.ROLL_ACC = 11, p.ROLL_TOTAL = 300, p.ROLL_VEL = 12, p.ROLL_INT = 13;
    p.PITCH_ACC = 14, p.PITCH_TOTAL = 480, p.PITCH_VEL = 15, p.PITCH_INT = 16;
    p.ROLL_MAX = 45, p.ROLL_MIN = -45, p.PITCH_MAX = 90, p.PITCH_MIN = -135;
    p.ROLL_SERVO_CENTER = -500, p.PITCH_SERVO_CENTER = 250, p.YAW_SERVO_CENTER = 17;
    p.ROLL_SERVO_REV = -1, p.PITCH_SERVO_REV = 1;
    p.ROLL_RC_ACC = 80, p.PITCH_RC_ACC = 50, p.INSTALL_MODE = 3, p.RECEIVER_TYPE = 9;
    p.INIT_PITCH = -1350, p.INIT_ROLL = 455, p.DEFAULT_MODE = 2;
    return p;
}

class ConfigFileCommandTest : public ::testing::Test
{
protected:
    ConfigFileCommandTest() : view_(params_, &status_, prompts_)
    {
        view_.OnInitialUpdate();
        // The set holds real values, as after a load (or a read-back), so
        // that the save commands write it.
        const std::string start = startDir_.File("start.bgsc");
        EXPECT_TRUE(SaveConfig(start, ControllerParams{}).Ok());
        view_.LoadConfigFile(QString::fromStdString(start));
        EXPECT_TRUE(view_.ValuesKnown());
        view_.Link().linkEstablished = true;
        view_.OpenMessageGate();
        view_.Link().pendingFrameType = kNothingPending;
        view_.Enable(idc::LoadConfig, true); // as once a controller answered
    }

    std::string File(const char* name) const { return dir_.File(name); }
    void Click(int id) { qobject_cast<QAbstractButton*>(view_.Control(id))->click(); }
    void LoadThroughButton(const std::string& path)
    {
        prompts_.openPath = QString::fromStdString(path);
        Click(idc::LoadConfig);
    }
    void SaveThroughButton(const std::string& path)
    {
        prompts_.savePath = QString::fromStdString(path);
        Click(idc::SaveConfig);
    }
    ControllerParams Read(const std::string& path)
    {
        ControllerParams p;
        EXPECT_TRUE(LoadConfig(path, p));
        return p;
    }
    std::uint8_t Pending() { return view_.Link().pendingFrameType; }

    test::TempDir dir_, startDir_;
    ControllerParams params_;
    test::RecordingStatus status_;
    test::FakePrompts prompts_;
    CUARTView view_;
};

// ---- saving ---------------------------------------------------------------

TEST_F(ConfigFileCommandTest, SaveConfigWritesTheParameterSetNotTheBoxes)
{
    params_ = Sample();
    // A box showing something else, never stored.
    view_.Values().Int(idc::RollTotal) = 7;
    view_.ShowAllValues();
    SaveThroughButton(File("out.bgsc"));
    EXPECT_EQ(prompts_.fileTitles, QStringList{"Save config file"});
    EXPECT_EQ(prompts_.fileFilters, QStringList{"Config File (*.bgsc)"});
    EXPECT_EQ(prompts_.saveSuffixes, QStringList{"bgsc"});
    EXPECT_EQ(prompts_.saveConfirmsOverwrite, QList<bool>{true});
    ControllerParams expected = Sample();
    EXPECT_EQ(Read(File("out.bgsc")), (expected.YAW_SERVO_CENTER = 0, expected));
    EXPECT_NE(ReadWholeFile(File("out.bgsc")).find("YAW_SERVO_CENTER=17\n"), std::string::npos);
    EXPECT_NE(ReadWholeFile(File("out.bgsc")).find("ROLL_SERVO_REV=-1\n"), std::string::npos);
    EXPECT_TRUE(status_.texts.isEmpty()); // a save shows nothing
    EXPECT_EQ(Pending(), kNothingPending);
}

TEST_F(ConfigFileCommandTest, CancelledChoosersDoNothing)
{
    params_ = Sample();
    Click(idc::SaveConfig);
    view_.OnSaveIniCommand();
    Click(idc::LoadConfig);
    view_.OnLoadIniCommand();
    EXPECT_EQ(prompts_.fileTitles.size(), 4);
    EXPECT_EQ(params_, Sample());
    EXPECT_TRUE(status_.texts.isEmpty());
    EXPECT_TRUE(prompts_.messages.isEmpty());
    EXPECT_EQ(Pending(), kNothingPending);
    EXPECT_TRUE(fs::is_empty(dir_.path()));
}

struct IniNameRow
{
    const char* chosen;
    const char* written;
};

TEST_F(ConfigFileCommandTest, IniSaveAppendsTheExtensionUnlessTheNameEndsInIt)
{
    const IniNameRow rows[] = {
        {"gains.txt", "gains.txt.ini"}, {"a.INI", "a.INI.ini"},   {"b.Ini", "b.Ini.ini"}, {"c.ini", "c.ini"},
        {"dini", "dini.ini"},           {"e.bgsc", "e.bgsc.ini"},
    };
    params_ = Sample();
    for (const IniNameRow& row : rows) {
        // The chosen file exists already and must stay as it was unless it is
        // the one written.
        WriteWholeFile(File(row.chosen), "keep me\n");
        prompts_.savePath = QString::fromStdString(File(row.chosen));
        view_.OnSaveIniCommand();
        ASSERT_TRUE(fs::exists(File(row.written))) << row.chosen;
        EXPECT_EQ(Read(File(row.written)).PITCH_TOTAL, 480) << row.chosen;
        if (std::string(row.chosen) != row.written) {
            EXPECT_EQ(ReadWholeFile(File(row.chosen)), "keep me\n") << row.chosen;
        }
    }
    EXPECT_EQ(prompts_.fileFilters.first(), "Config File (*.ini)");
    EXPECT_EQ(prompts_.saveSuffixes.first(), "");
    EXPECT_EQ(prompts_.saveConfirmsOverwrite.first(), false);
    // Written into the existing file: its own line stays, the section follows.
    EXPECT_EQ(ReadWholeFile(File("c.ini")).rfind("keep me\n[PARAMETERS]\n", 0), 0u);
}

struct ShortNameRow
{
    bool ini, save;
    const char* path;
};

TEST_F(ConfigFileCommandTest, NamesOfFourCharactersOrLessAreRefused)
{
    // Relative names land in the current folder: make it ours.
    const QString oldCurrent = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir_.path().string())));
    const ShortNameRow rows[] = {
        {false, true, "a.bg"}, {false, false, "a.bg"}, {true, true, "ab"},
        {true, false, "x.in"}, {false, true, "e"},
    };
    WriteWholeFile("a.bg", "[PARAMETERS]\nROLL_TOTAL=5\n");
    WriteWholeFile("x.in", "[PARAMETERS]\nROLL_TOTAL=5\n");
    params_ = Sample();
    for (const ShortNameRow& row : rows) {
        status_.texts.clear();
        prompts_.messages.clear();
        prompts_.savePath = prompts_.openPath = QString::fromUtf8(row.path);
        if (row.save)
            row.ini ? view_.OnSaveIniCommand() : Click(idc::SaveConfig);
        else
            row.ini ? view_.OnLoadIniCommand() : Click(idc::LoadConfig);
        if (row.ini) {
            ASSERT_EQ(prompts_.messages.size(), 1) << row.path;
            EXPECT_EQ(prompts_.messages[0].caption, "QAV-NUVA");
            EXPECT_EQ(prompts_.messages[0].text, "File name too short, please re-select!");
            EXPECT_EQ(prompts_.messages[0].buttons, MessageButtons::Ok);
            EXPECT_TRUE(status_.texts.isEmpty());
        } else {
            EXPECT_TRUE(prompts_.messages.isEmpty()) << row.path;
            EXPECT_EQ(status_.texts, QStringList({"", "$INKblue$File name too short, please re-select!"}));
        }
    }
    EXPECT_EQ(params_, Sample());
    EXPECT_EQ(Pending(), kNothingPending);
    // Nothing was written beside the two files made here.
    EXPECT_EQ(QDir().entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList({"a.bg", "x.in"}));

    // Five characters pass.
    prompts_.savePath = QStringLiteral("ab.in");
    view_.OnSaveIniCommand();
    prompts_.savePath = QStringLiteral("a.bgs");
    Click(idc::SaveConfig);
    EXPECT_TRUE(fs::exists("ab.in.ini"));
    EXPECT_TRUE(fs::exists("a.bgs"));
    QDir::setCurrent(oldCurrent);
}

TEST_F(ConfigFileCommandTest, AFailedSaveIsReportedWithItsReason)
{
    // Status messages would be dropped without a controller; the box is not.
    view_.Link().linkEstablished = false;
    SaveThroughButton(File("missing-folder/out.bgsc"));
    ASSERT_EQ(prompts_.messages.size(), 1);
    EXPECT_EQ(prompts_.messages[0].caption, "QAV-NUVA");
    EXPECT_TRUE(prompts_.messages[0].text.startsWith("Could not write "));
    EXPECT_TRUE(prompts_.messages[0].text.contains("missing-folder/out.bgsc"));
    EXPECT_TRUE(prompts_.messages[0].text.endsWith(": No such file or directory"))
        << prompts_.messages[0].text.toStdString();
    EXPECT_FALSE(fs::exists(File("missing-folder")));
    // A successful save says nothing.
    prompts_.messages.clear();
    SaveThroughButton(File("out.bgsc"));
    EXPECT_TRUE(prompts_.messages.isEmpty());
}

// ---- loading ----------------------------------------------------------------

TEST_F(ConfigFileCommandTest, LoadShowsTheFileAndStartsTheUpload)
{
    ASSERT_TRUE(SaveConfig(File("in.bgsc"), Sample()).Ok());
    params_.YAW_SERVO_CENTER = -7; // not read from the file
    params_.YAW_TOTAL = 99;        // no key at all
    LoadThroughButton(File("in.bgsc"));
    EXPECT_EQ(prompts_.fileTitles, QStringList{"Select config file"});
    EXPECT_EQ(prompts_.fileFilters, QStringList{"Config File (*.bgsc)"});

    ControllerParams expected = Sample();
    expected.YAW_SERVO_CENTER = -7;
    expected.YAW_TOTAL = 99;
    EXPECT_EQ(params_, expected);

    const std::pair<int, const char*> boxes[] = {
        {idc::RollTotal, "300"},        {idc::TiltTotal, "480"},      {idc::RollAcc, "11"},
        {idc::PanTotal, "99"},          {idc::RollMax, "45"},         {idc::TiltMin, "-135"},
        {idc::RollRcSensitivity, "80"}, {idc::InitTiltAngle, "-135"}, {idc::InitRollAngle, "45.5"},
        {idc::RollServoCenter, "-500"}, {idc::PanServoCenter, "-7"},
    };
    for (const auto& [box, text] : boxes)
        EXPECT_EQ(view_.Text(box), text) << box;
    EXPECT_EQ(qobject_cast<QSlider*>(view_.Control(idc::TiltTotalSlider))->value(), 480);
    EXPECT_EQ(qobject_cast<QSlider*>(view_.Control(idc::PanTotalSlider))->value(), 99);
    EXPECT_TRUE(view_.Checked(idc::RollMotorReverse));
    EXPECT_FALSE(view_.Checked(idc::TiltMotorReverse));
    EXPECT_EQ(view_.Selection(idc::SensorModuleMount), 2);
    EXPECT_EQ(view_.Selection(idc::ReceiverType), 8);
    EXPECT_EQ(view_.Selection(idc::DefaultMode), 1);
    EXPECT_EQ(Pending(), kTypeGains);
    // Every key differs from the empty set, which is kept before it goes.
    ASSERT_EQ(status_.texts.size(), 2);
    EXPECT_EQ(status_.texts[0], "");
    EXPECT_TRUE(status_.texts[1].startsWith(kLoaded + " 23 values changed. Previous set kept in "))
        << status_.texts[1].toStdString();
    EXPECT_EQ(prompts_.receiverNotices, 0);
}

TEST_F(ConfigFileCommandTest, AWindowsWrittenFileLoadsLikeOurOwn)
{
    ASSERT_TRUE(SaveConfig(File("own.bgsc"), Sample()).Ok());
    // The Windows tool's file: CRLF, blanks around "=", keys in another case
    // and order, other sections before and after, a comment.
    std::string windows = "; written on Windows\r\n[Other]\r\nROLL_TOTAL=1\r\n\r\n[ parameters ]\r\n";
    std::vector<IniEntry> entries = ConfigEntries(Sample());
    std::reverse(entries.begin(), entries.end());
    for (const IniEntry& e : entries)
        windows += " " + e.key + " = " + e.value + " \r\n";
    windows += "EXTRA=5\r\n[MOTOR_PARAMETERS]\r\nPOL_MOTOR1=14\r\n";
    WriteWholeFile(File("windows.bgsc"), windows);

    ControllerParams ownParams;
    test::RecordingStatus ownStatus;
    CUARTView own(ownParams, &ownStatus, prompts_);
    own.OnInitialUpdate();
    own.LoadConfigFile(QString::fromStdString(File("own.bgsc")));
    LoadThroughButton(File("windows.bgsc"));
    EXPECT_EQ(params_, ownParams);
    for (const ExchangeEntry& e : kExchangeOrder)
        EXPECT_EQ(view_.Text(e.box), own.Text(e.box)) << e.box;
    for (int list : {idc::ReceiverType, idc::SensorModuleMount, idc::DefaultMode})
        EXPECT_EQ(view_.Selection(list), own.Selection(list)) << list;
    // Loading does not touch the file.
    EXPECT_EQ(ReadWholeFile(File("windows.bgsc")), windows);
}

struct ValueRow
{
    const char* line;
    long (*field)(const ControllerParams&);
    long expected;
};

TEST_F(ConfigFileCommandTest, ValuesAreReadByAtolAndCutToTheirWidth)
{
    const ValueRow rows[] = {
        {"ROLL_TOTAL=70000", [](const ControllerParams& p) -> long { return p.ROLL_TOTAL; }, 4464},
        {"ROLL_TOTAL=-1", [](const ControllerParams& p) -> long { return p.ROLL_TOTAL; }, 65535},
        {"ROLL_SERVO_REV=-1", [](const ControllerParams& p) -> long { return p.ROLL_SERVO_REV; }, -1},
        {"ROLL_SERVO_REV=255", [](const ControllerParams& p) -> long { return p.ROLL_SERVO_REV; }, -1},
        {"ROLL_RC_ACC=300", [](const ControllerParams& p) -> long { return p.ROLL_RC_ACC; }, 44},
        {"ROLL_MAX=12abc", [](const ControllerParams& p) -> long { return p.ROLL_MAX; }, 12},
        {"ROLL_MAX=abc", [](const ControllerParams& p) -> long { return p.ROLL_MAX; }, 0},
        {"PITCH_SERVO_CENTER=40000", [](const ControllerParams& p) -> long { return p.PITCH_SERVO_CENTER; },
         40000 - 65536},
        {"INIT_ROLL=99999999999", [](const ControllerParams& p) -> long { return p.INIT_ROLL; }, 2147483647},
        {"PITCH_MIN=  -77", [](const ControllerParams& p) -> long { return p.PITCH_MIN; }, -77},
    };
    for (const ValueRow& row : rows) {
        WriteWholeFile(File("v.bgsc"), std::string("[PARAMETERS]\n") + row.line + "\n");
        LoadThroughButton(File("v.bgsc"));
        EXPECT_EQ(row.field(params_), row.expected) << row.line;
    }
}

TEST_F(ConfigFileCommandTest, ReversedDirectionLoadsCheckedAndSavesAsMinusOne)
{
    for (const char* text : {"-1", "255"}) {
        WriteWholeFile(File("r.bgsc"), std::string("[PARAMETERS]\nROLL_SERVO_REV=") + text + "\n");
        params_.ROLL_SERVO_REV = 1;
        view_.SetChecked(idc::RollMotorReverse, false);
        LoadThroughButton(File("r.bgsc"));
        EXPECT_EQ(params_.ROLL_SERVO_REV, -1) << text;
        EXPECT_TRUE(view_.Checked(idc::RollMotorReverse)) << text;
        SaveThroughButton(File("saved.bgsc"));
        EXPECT_NE(ReadWholeFile(File("saved.bgsc")).find("\nROLL_SERVO_REV=-1\n"), std::string::npos) << text;
    }
    // A missing key keeps the value on screen: still reversed.
    WriteWholeFile(File("r.bgsc"), "[PARAMETERS]\nROLL_TOTAL=5\n");
    LoadThroughButton(File("r.bgsc"));
    EXPECT_EQ(params_.ROLL_SERVO_REV, -1);
    EXPECT_TRUE(view_.Checked(idc::RollMotorReverse));
}

// A partial file never zeroes a gimbal: the keys it lacks keep the values
// on screen, and the status line says how many, its tooltip which.
TEST_F(ConfigFileCommandTest, MissingKeysKeepTheValuesOnScreenAndAreNamed)
{
    const struct
    {
        const char* name;
        const char* text;
        bool connected;
        int kept;
        const char* status; // after the tag and "Config file ..." words
    } rows[] = {
        {"one key, connected", "[PARAMETERS]\nPITCH_TOTAL=77\nYAW_SERVO_CENTER=-400\n", true, 22,
         " 1 value changed."},
        {"all but one, connected", nullptr, true, 1, " 1 value changed."},
        {"one key, not connected", "[PARAMETERS]\nPITCH_TOTAL=77\n", false, 22, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        params_ = Sample();
        params_.YAW_SERVO_CENTER = 123;
        view_.ShowParameterSet(CUARTView::kAllParts);
        std::string text = row.text ? row.text : "";
        if (!row.text) {
            // Every key but INIT_ROLL, PITCH_TOTAL changed.
            ControllerParams p = Sample();
            p.PITCH_TOTAL = 77;
            for (const IniEntry& e : ConfigEntries(p))
                if (e.key != "INIT_ROLL")
                    text += e.key + "=" + e.value + "\n";
            text = "[PARAMETERS]\n" + text;
        }
        WriteWholeFile(File("m.bgsc"), text);
        view_.Link().linkEstablished = row.connected;
        status_.texts.clear();
        view_.Link().pendingFrameType = kNothingPending;
        LoadThroughButton(File("m.bgsc"));
        ControllerParams expected = Sample();
        expected.PITCH_TOTAL = 77;
        expected.YAW_SERVO_CENTER = 123;
        EXPECT_EQ(params_, expected);
        EXPECT_EQ(view_.Text(idc::TiltTotal), "77");
        EXPECT_EQ(view_.Text(idc::RollTotal), "300"); // kept, not 0
        EXPECT_EQ(view_.Text(idc::InitRollAngle), "45.5");
        EXPECT_EQ(view_.Text(idc::PanServoCenter), "123");
        EXPECT_EQ(Pending(), kTypeGains);
        ASSERT_FALSE(status_.texts.isEmpty());
        const QString count = row.kept == 1 ? QStringLiteral(" 1 value not in the file kept.")
                                            : QStringLiteral(" %1 values not in the file kept.").arg(row.kept);
        EXPECT_TRUE(status_.texts.last().startsWith(row.connected ? kLoaded : "$INKblue$Config file loaded."))
            << status_.texts.last().toStdString();
        EXPECT_TRUE(status_.texts.last().contains(QString::fromUtf8(row.status))) << status_.texts.last().toStdString();
        EXPECT_TRUE(status_.texts.last().endsWith(count)) << status_.texts.last().toStdString();
        // The tooltip lists exactly the keys the file lacks, in file order.
        QStringList lacking;
        for (const ConfigKeyRange& k : ConfigKeyRanges(BoardOf(BoardId::Controller)))
            if (text.find(std::string(k.key) + "=") == std::string::npos)
                lacking << QString::fromUtf8(k.key.data(), static_cast<qsizetype>(k.key.size()));
        ASSERT_EQ(lacking.size(), row.kept);
        EXPECT_EQ(status_.details, "Not in the file, kept as they were: " + lacking.join(", "));
    }
}

TEST_F(ConfigFileCommandTest, ValuesNoItemStandsForLeaveTheListsAlone)
{
    view_.SetSelection(idc::ReceiverType, 3);
    view_.SetSelection(idc::DefaultMode, 1);
    view_.SetSelection(idc::SensorModuleMount, 1);
    WriteWholeFile(File("l.bgsc"), "[PARAMETERS]\nRECEIVER_TYPE=0\nDEFAULT_MODE=0\nINSTALL_MODE=7\n");
    LoadThroughButton(File("l.bgsc"));
    EXPECT_EQ(view_.Selection(idc::ReceiverType), -1); // cleared
    EXPECT_EQ(view_.Selection(idc::DefaultMode), 1);
    EXPECT_EQ(view_.Selection(idc::SensorModuleMount), 1);
    WriteWholeFile(File("l.bgsc"), "[PARAMETERS]\nRECEIVER_TYPE=10\nINSTALL_MODE=2\nDEFAULT_MODE=1\n");
    LoadThroughButton(File("l.bgsc"));
    EXPECT_EQ(view_.Selection(idc::ReceiverType), -1);
    EXPECT_EQ(view_.Selection(idc::SensorModuleMount), 0);
    EXPECT_EQ(view_.Selection(idc::DefaultMode), 0);
}

TEST_F(ConfigFileCommandTest, HiddenServoListsFollowTheKeptServoTypesAndModes)
{
    // Servo types and control modes have no keys; the load shows those held.
    params_.ROLL_SERVO_TYPE = 5, params_.ROLL_CTRL_MODE = 2;   // speed servo
    params_.PITCH_SERVO_TYPE = 2, params_.PITCH_CTRL_MODE = 1; // position servo
    params_.YAW_SERVO_TYPE = 0, params_.YAW_CTRL_MODE = 0;     // nothing known
    view_.SetSelection(idc::PanControlMode, 1);
    WriteWholeFile(File("s.bgsc"), "[PARAMETERS]\nROLL_TOTAL=5\n");
    LoadThroughButton(File("s.bgsc"));
    EXPECT_FALSE(view_.Enabled(idc::RollControlMode));
    EXPECT_EQ(view_.Selection(idc::RollControlMode), 1);
    EXPECT_EQ(view_.Selection(idc::RollServoType), 4);
    EXPECT_TRUE(view_.Enabled(idc::TiltControlMode));
    EXPECT_EQ(view_.Selection(idc::TiltControlMode), 0);
    EXPECT_EQ(view_.Selection(idc::TiltServoType), 1);
    EXPECT_TRUE(view_.Enabled(idc::PanControlMode));
    EXPECT_EQ(view_.Selection(idc::PanControlMode), 1);
    EXPECT_EQ(view_.Selection(idc::PanServoType), -1);
    EXPECT_EQ(params_.ROLL_SERVO_TYPE, 5);
    EXPECT_EQ(params_.ROLL_CTRL_MODE, 2);
}

TEST_F(ConfigFileCommandTest, AFileThatCannotBeReadOrHasNoSectionChangesAndSendsNothing)
{
    fs::create_directory(File("folder.bgsc"));
#ifdef _WIN32
    // No FIFOs there: a device is the file that is not one (a device name
    // names the device whatever its folder and suffix).
    const std::string special = File("NUL.bgsc");
#else
    const std::string special = File("fifo.bgsc");
    ASSERT_EQ(mkfifo(special.c_str(), 0600), 0);
#endif
    WriteWholeFile(File("empty.bgsc"), "");
    WriteWholeFile(File("text.bgsc"), "ROLL_TOTAL=5\nsome notes\n");
    WriteWholeFile(File("motor.bgsc"), "[MOTOR_PARAMETERS]\nPOL_MOTOR1=14\n");
    WriteWholeFile(File("keyless.bgsc"), "[PARAMETERS]\nROLL_TOTLA=5\nYAW_SERVO_CENTER=1\n");
    const struct
    {
        std::string path;
        const char* ending;
    } rows[] = {
        {File("folder.bgsc"), ": Is a directory"},
        {special, ": not a regular file"},
        {File("empty.bgsc"), ": it has no [PARAMETERS] section"},
        {File("text.bgsc"), ": it has no [PARAMETERS] section"},
        {File("motor.bgsc"), ": it has no [PARAMETERS] section"},
        {File("keyless.bgsc"), ": its [PARAMETERS] section has none of the keys"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        params_ = Sample();
        prompts_.messages.clear();
        LoadThroughButton(row.path);
        ASSERT_EQ(prompts_.messages.size(), 1);
        EXPECT_EQ(prompts_.messages[0].caption, "QAV-NUVA");
        EXPECT_EQ(prompts_.messages[0].text,
                  QStringLiteral("Could not read %1%2").arg(QString::fromStdString(row.path), row.ending));
        EXPECT_EQ(params_, Sample());
        EXPECT_EQ(Pending(), kNothingPending);
        EXPECT_TRUE(status_.texts.isEmpty());
    }
}

// ---- the main window's shortcuts --------------------------------------------

TEST(ConfigFileShortcuts, CtrlSAndCtrlOSaveAndLoadIniFiles)
{
    test::TempDir dir;
    CUARTDoc doc;
    ControllerParams params;
    test::FakePrompts prompts;
    CMainFrame frame(doc, params, prompts);
    ASSERT_TRUE(test::ShowActive(&frame));
    CUARTView* view = frame.View();
    view->Focus(idc::RollTotal, false);

    std::string changed;
    ASSERT_TRUE(SaveConfig(dir.File("start.ini"), Sample()).Ok());
    changed = ReadWholeFile(dir.File("start.ini"));
    changed.replace(changed.find("ROLL_TOTAL=300"), 14, "ROLL_TOTAL=222");
    WriteWholeFile(dir.File("tuning.ini"), changed);
    prompts.openPath = QString::fromStdString(dir.File("tuning.ini"));
    QTest::keyClick(view->Control(idc::RollTotal), Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(prompts.fileTitles.last(), "Select config file");
    EXPECT_EQ(prompts.fileFilters.last(), "Config File (*.ini)");
    EXPECT_EQ(params.ROLL_TOTAL, 222);
    EXPECT_EQ(view->Text(idc::RollTotal), "222");
    EXPECT_EQ(view->Link().pendingFrameType, kTypeGains);

    params.ROLL_TOTAL = 300;
    prompts.savePath = QString::fromStdString(dir.File("tuning"));
    QTest::keyClick(view->Control(idc::RollTotal), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(prompts.fileTitles.last(), "Save config file");
    ControllerParams saved;
    ASSERT_TRUE(LoadConfig(dir.File("tuning.ini"), saved));
    ControllerParams expected = Sample();
    expected.YAW_SERVO_CENTER = 0; // never loaded
    EXPECT_EQ(saved, expected);
}

// Before a read-back or a load the set is all zeros (or holds only what was
// typed): a save would make a file that zeroes a gimbal. Both save
// commands say so, show no chooser and write nothing.
TEST(ConfigFileSaveGuard, NothingToSaveBeforeAnythingWasRead)
{
    test::TempDir dir;
    ControllerParams params = Sample(); // typed in, say, but never read
    test::RecordingStatus status;
    test::FakePrompts prompts;
    CUARTView view(params, &status, prompts);
    view.OnInitialUpdate();
    EXPECT_FALSE(view.ValuesKnown());
    prompts.savePath = QString::fromStdString(dir.File("out.bgsc"));
    for (const bool ini : {false, true}) {
        SCOPED_TRACE(ini);
        prompts.messages.clear();
        if (ini)
            view.OnSaveIniCommand();
        else
            qobject_cast<QAbstractButton*>(view.Control(idc::SaveConfig))->click();
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_EQ(prompts.messages[0].text, CUARTView::NothingToSaveMessage());
        EXPECT_TRUE(prompts.messages[0].text.startsWith("Nothing to save yet"));
    }
    EXPECT_TRUE(prompts.fileTitles.isEmpty()); // no chooser was shown
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

} // namespace
} // namespace qav
