#include "view/MainScreenTable.h"

#include "protocol/ControllerParamTable.h"
#include "view/ControlIds.h"

#include <QtGlobal>

namespace qav {
namespace {

using T = ControlType;
using P = ControllerParams;

// Every caption and scope word is marked for translation under
// kMainScreenContext; a list's items are marked where the parameter table
// writes them, under kControllerChoiceContext.

// A list's items: its parameter's choices, in list order. The captions are
// the table's string literals, so each ends in a null.
std::vector<const char*> ItemsOf(const ParamMember<P>& member)
{
    std::vector<const char*> items;
    for (const ParamChoice& c : ControllerParamOf(member).choices)
        items.push_back(c.caption.data());
    return items;
}

// One axis group ("Roll Setting" or "Tilt Setting"): four gain rows, the
// angle limits, motor direction, RC sensitivity and initial angle.
struct AxisIds
{
    int group, limitGroup;
    int labels[8]; // total, velocity, integral, accelerate, max, min, rc, init
    int sliders[4], boxes[4];
    int max, min, reverse, rc, init;
    const char* axis; // leads the accessible names of the group's controls
    const char* caption;
    const char* initCaption;
    // Places in the exchange order: the four gain boxes, max, min, rc, init.
    int exchange[8];
};

// A box whose value the screen reads and shows, `exchange` its place in
// that order.
ControlRow ValueBox(int id, T type, const QRect& rect, int group, int label, int exchange,
                    const char* caption = "", bool hidden = false)
{
    return {id, type, caption, rect, hidden, group, label, {}, nullptr, exchange};
}

void AddAxis(std::vector<ControlRow>& rows, const AxisIds& a, int top)
{
    constexpr int left = 10, width = 480, height = 276;
    rows.push_back({a.group, T::Group, a.caption, {left, top, width, height}, false, 0, 0, {}, a.axis});
    static const char* const kGainCaptions[4] = {QT_TRANSLATE_NOOP("MainScreenTable", "Total Gain"),
                                                 QT_TRANSLATE_NOOP("MainScreenTable", "Velocity Gain"),
                                                 QT_TRANSLATE_NOOP("MainScreenTable", "Integral Gain"),
                                                 QT_TRANSLATE_NOOP("MainScreenTable", "Accelerate Gain")};
    for (int i = 0; i < 4; ++i) {
        const int y = top + 28 + i * 34;
        rows.push_back({a.labels[i], T::Label, kGainCaptions[i], {left + 16, y, 116, 24}, false, a.group});
        rows.push_back({a.sliders[i], T::Slider, "", {left + 136, y, 254, 24}, false, a.group, a.labels[i]});
        rows.push_back(
            ValueBox(a.boxes[i], T::Edit, {left + 400, y, 64, 24}, a.group, a.labels[i], a.exchange[i]));
    }
    const int y = top + 172;
    rows.push_back({a.limitGroup,
                    T::Group,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Angle Limit"),
                    {left + 16, y, 216, 66},
                    false,
                    a.group});
    rows.push_back({a.labels[4],
                    T::Label,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Max"),
                    {left + 28, y + 30, 34, 24},
                    false,
                    a.limitGroup});
    rows.push_back(
        ValueBox(a.max, T::Edit, {left + 62, y + 30, 56, 24}, a.limitGroup, a.labels[4], a.exchange[4]));
    rows.push_back({a.labels[5],
                    T::Label,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Min"),
                    {left + 130, y + 30, 34, 24},
                    false,
                    a.limitGroup});
    rows.push_back(
        ValueBox(a.min, T::Edit, {left + 164, y + 30, 56, 24}, a.limitGroup, a.labels[5], a.exchange[5]));
    rows.push_back({a.reverse,
                    T::CheckBox,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Motor Reverse"),
                    {left + 252, y + 4, 200, 24},
                    false,
                    a.group});
    rows.push_back({a.labels[6],
                    T::Label,
                    QT_TRANSLATE_NOOP("MainScreenTable", "RC Sensitivity"),
                    {left + 252, y + 36, 140, 24},
                    false,
                    a.group});
    rows.push_back(
        ValueBox(a.rc, T::Edit, {left + 400, y + 36, 64, 24}, a.group, a.labels[6], a.exchange[6]));
    rows.push_back({a.labels[7], T::Label, a.initCaption, {left + 252, y + 68, 140, 24}, false, a.group});
    rows.push_back(
        ValueBox(a.init, T::Edit, {left + 400, y + 68, 64, 24}, a.group, a.labels[7], a.exchange[7]));
}

std::vector<ControlRow> BuildTable()
{
    std::vector<ControlRow> rows;

    // Left column: the two axes, then the connection.
    AddAxis(rows,
            {1198,
             1200,
             {1237, 1238, 1239, 1240, 1241, 1242, 1243, 1244},
             {idc::RollTotalSlider, idc::RollVelSlider, idc::RollIntSlider, idc::RollAccSlider},
             {idc::RollTotal, idc::RollVel, idc::RollInt, idc::RollAcc},
             idc::RollMax,
             idc::RollMin,
             idc::RollMotorReverse,
             idc::RollRcSensitivity,
             idc::InitRollAngle,
             QT_TRANSLATE_NOOP("MainScreenTable", "Roll"),
             QT_TRANSLATE_NOOP("MainScreenTable", "Roll Setting"),
             QT_TRANSLATE_NOOP("MainScreenTable", "Init Roll Angle"),
             {6, 5, 4, 21, 15, 16, 18, 32}},
            6);
    AddAxis(rows,
            {1199,
             1201,
             {1245, 1246, 1247, 1248, 1249, 1250, 1251, 1252},
             {idc::TiltTotalSlider, idc::TiltVelSlider, idc::TiltIntSlider, idc::TiltAccSlider},
             {idc::TiltTotal, idc::TiltVel, idc::TiltInt, idc::TiltAcc},
             idc::TiltMax,
             idc::TiltMin,
             idc::TiltMotorReverse,
             idc::TiltRcSensitivity,
             idc::InitTiltAngle,
             QT_TRANSLATE_NOOP("MainScreenTable", "Tilt"),
             QT_TRANSLATE_NOOP("MainScreenTable", "Tilt Setting"),
             QT_TRANSLATE_NOOP("MainScreenTable", "Init Tilt Angle"),
             {3, 2, 1, 20, 13, 14, 17, 31}},
            290);

    rows.push_back({1206, T::Group, QT_TRANSLATE_NOOP("MainScreenTable", "Connection"), {10, 574, 480, 94}});
    rows.push_back(
        {1064, T::Label, QT_TRANSLATE_NOOP("MainScreenTable", "COM"), {26, 600, 40, 26}, false, 1206});
    rows.push_back({idc::ComList, T::Combo, "", {66, 600, 252, 26}, false, 1206, 1064});
    rows.push_back({idc::OpenComPort,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Open COM Port"),
                    {326, 600, 148, 26},
                    false,
                    1206});
    rows.push_back({idc::LoadConfig,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Load Config"),
                    {26, 634, 140, 26},
                    false,
                    1206});
    rows.push_back({idc::SaveConfig,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Save Config"),
                    {172, 634, 146, 26},
                    false,
                    1206});
    rows.push_back({idc::MotorConfiguration,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Motor Configuration"),
                    {326, 634, 148, 26},
                    false,
                    1206});

    // Right column: attitude, RC channels, modes and commands, upgrade.
    rows.push_back(
        {1202, T::Group, QT_TRANSLATE_NOOP("MainScreenTable", "Attitude Monitor"), {500, 6, 490, 214}});
    rows.push_back({1203,
                    T::Group,
                    QT_TRANSLATE_NOOP("MainScreenTable", "3D Attitude Display"),
                    {514, 26, 296, 184},
                    false,
                    1202});
    rows.push_back({idc::AttitudeArea,
                    T::AttitudeArea,
                    QT_TRANSLATE_NOOP("MainScreenTable", "3D attitude view"),
                    {524, 48, 276, 152},
                    false,
                    1203});
    static const struct
    {
        int label, box;
        const char* caption;
        int exchange;
    } kAttitude[3] = {{1253, idc::AttitudeRoll, QT_TRANSLATE_NOOP("MainScreenTable", "Roll"), 29},
                      {1255, idc::AttitudeTilt, QT_TRANSLATE_NOOP("MainScreenTable", "Tilt"), 28},
                      {1256, idc::AttitudePan, QT_TRANSLATE_NOOP("MainScreenTable", "Pan"), 30}};
    for (int i = 0; i < 3; ++i) {
        const int y = 62 + i * 40;
        rows.push_back({kAttitude[i].label, T::Label, kAttitude[i].caption, {828, y, 44, 24}, false, 1202});
        rows.push_back(ValueBox(kAttitude[i].box, T::ReadOnlyEdit, {874, y, 100, 24}, 1202,
                                kAttitude[i].label, kAttitude[i].exchange));
    }

    rows.push_back(
        {1204, T::Group, QT_TRANSLATE_NOOP("MainScreenTable", "RC Monitor"), {500, 226, 490, 138}});
    static const struct
    {
        int label, box;
        const char* caption;
        int x, y;
        int exchange; // the accelerations have no screen value
    } kRc[6] = {
        {1259, idc::RcRoll, QT_TRANSLATE_NOOP("MainScreenTable", "Roll:R"), 516, 252, 24},
        {1263, idc::RcTilt, QT_TRANSLATE_NOOP("MainScreenTable", "Tilt:T"), 676, 252, 23},
        {1272, idc::RcShot, QT_TRANSLATE_NOOP("MainScreenTable", "Shot:S"), 836, 252, 27},
        {1277, idc::AccelX, QT_TRANSLATE_NOOP("MainScreenTable", "AX:"), 516, 288, 0},
        {1278, idc::AccelY, QT_TRANSLATE_NOOP("MainScreenTable", "AY:"), 676, 288, 0},
        {1279, idc::AccelZ, QT_TRANSLATE_NOOP("MainScreenTable", "AZ:"), 836, 288, 0},
    };
    for (const auto& rc : kRc) {
        rows.push_back({rc.label, T::Label, rc.caption, {rc.x, rc.y, 66, 24}, false, 1204});
        rows.push_back(
            ValueBox(rc.box, T::ReadOnlyEdit, {rc.x + 66, rc.y, 72, 24}, 1204, rc.label, rc.exchange));
    }
    rows.push_back(
        {1271, T::Label, QT_TRANSLATE_NOOP("MainScreenTable", "RC mode:C"), {516, 326, 80, 24}, false, 1204});
    rows.push_back(ValueBox(idc::RcMode, T::ReadOnlyEdit, {598, 326, 56, 24}, 1204, 1271, 25));
    rows.push_back({idc::RcModeBar,
                    T::ImageBar,
                    QT_TRANSLATE_NOOP("MainScreenTable", "RC mode bar"),
                    {676, 327, 152, 22},
                    false,
                    1204});
    rows.push_back(ValueBox(idc::RcPan, T::ReadOnlyEdit, {836, 326, 72, 24}, 1204, 0, 26,
                            QT_TRANSLATE_NOOP("MainScreenTable", "Pan:P"), true));

    rows.push_back(
        {1205, T::Group, QT_TRANSLATE_NOOP("MainScreenTable", "Motor Output Mode"), {500, 370, 236, 62}});
    rows.push_back({idc::MotorOff,
                    T::Radio,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Motor Off"),
                    {516, 396, 104, 24},
                    false,
                    1205});
    rows.push_back({idc::MotorOn,
                    T::Radio,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Motor On"),
                    {624, 396, 104, 24},
                    false,
                    1205});
    rows.push_back({idc::PidOff,
                    T::Radio,
                    QT_TRANSLATE_NOOP("MainScreenTable", "PID Off"),
                    {624, 396, 104, 24},
                    true,
                    1205});
    rows.push_back({idc::WriteSettingsToFlash,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Write Settings To Flash"),
                    {748, 376, 242, 26}});
    rows.push_back({idc::CalibrateSensors,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Calibrate Sensors"),
                    {748, 408, 242, 26}});

    rows.push_back(
        {1035, T::Label, QT_TRANSLATE_NOOP("MainScreenTable", "Sensor Module Mount"), {504, 446, 150, 26}});
    rows.push_back({idc::SensorModuleMount,
                    T::Combo,
                    "",
                    {660, 446, 330, 26},
                    false,
                    0,
                    1035,
                    ItemsOf(&P::INSTALL_MODE),
                    nullptr,
                    0,
                    kControllerChoiceContext});
    rows.push_back(
        {1037, T::Label, QT_TRANSLATE_NOOP("MainScreenTable", "Receiver Type"), {504, 480, 150, 26}});
    rows.push_back({idc::ReceiverType,
                    T::Combo,
                    "",
                    {660, 480, 330, 26},
                    false,
                    0,
                    1037,
                    ItemsOf(&P::RECEIVER_TYPE),
                    nullptr,
                    0,
                    kControllerChoiceContext});
    rows.push_back(
        {1038, T::Label, QT_TRANSLATE_NOOP("MainScreenTable", "Default Mode"), {504, 514, 150, 26}});
    rows.push_back({idc::DefaultMode,
                    T::Combo,
                    "",
                    {660, 514, 330, 26},
                    false,
                    0,
                    1038,
                    ItemsOf(&P::DEFAULT_MODE),
                    nullptr,
                    0,
                    kControllerChoiceContext});

    rows.push_back({1065, T::Group, QT_TRANSLATE_NOOP("MainScreenTable", "Upgrade"), {500, 574, 490, 94}});
    rows.push_back({idc::OpenFirmware,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Open Firmware"),
                    {516, 600, 148, 26},
                    false,
                    1065});
    rows.push_back({idc::StartUpgrade,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Start Upgrade"),
                    {672, 600, 148, 26},
                    false,
                    1065});
    rows.push_back({idc::CancelUpgrade,
                    T::Button,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Cancel Upgrade"),
                    {828, 600, 148, 26},
                    false,
                    1065});
    rows.push_back({idc::FirmwareVersion,
                    T::Label,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Firmware Version:xxxx"),
                    {518, 634, 300, 26},
                    false,
                    1065});

    // Hidden: pan gains, pan RC sensitivity and servo direction, servo
    // centres with their spin controls, servo types and control modes.
    const QRect nowhere(0, 0, 60, 24);
    static const struct
    {
        int slider, box;
        const char* sliderName;
        const char* boxName;
        int exchange;
    } kPan[4] = {
        {idc::PanTotalSlider, idc::PanTotal, QT_TRANSLATE_NOOP("MainScreenTable", "Pan Total Gain slider"),
         QT_TRANSLATE_NOOP("MainScreenTable", "Pan Total Gain"), 9},
        {idc::PanIntSlider, idc::PanInt, QT_TRANSLATE_NOOP("MainScreenTable", "Pan Integral Gain slider"),
         QT_TRANSLATE_NOOP("MainScreenTable", "Pan Integral Gain"), 8},
        {idc::PanVelSlider, idc::PanVel, QT_TRANSLATE_NOOP("MainScreenTable", "Pan Velocity Gain slider"),
         QT_TRANSLATE_NOOP("MainScreenTable", "Pan Velocity Gain"), 7},
        {idc::PanAccSlider, idc::PanAcc, QT_TRANSLATE_NOOP("MainScreenTable", "Pan Accelerate Gain slider"),
         QT_TRANSLATE_NOOP("MainScreenTable", "Pan Accelerate Gain"), 22},
    };
    for (const auto& pan : kPan) {
        rows.push_back({pan.slider, T::Slider, pan.sliderName, nowhere, true});
        rows.push_back(ValueBox(pan.box, T::Edit, nowhere, 0, 0, pan.exchange, pan.boxName, true));
    }
    rows.push_back(ValueBox(idc::PanRcSensitivity, T::Edit, nowhere, 0, 0, 19,
                            QT_TRANSLATE_NOOP("MainScreenTable", "Pan RC Sensitivity"), true));
    rows.push_back({idc::PanServoReverse, T::CheckBox,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Pan Servo Reverse"), nowhere, true});
    rows.push_back(ValueBox(idc::RollServoCenter, T::Edit, nowhere, 0, 0, 11,
                            QT_TRANSLATE_NOOP("MainScreenTable", "Roll Servo Center"), true));
    rows.push_back({idc::RollServoCenterSpin, T::Spin,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Roll Servo Center spin"), nowhere, true});
    rows.push_back(ValueBox(idc::TiltServoCenter, T::Edit, nowhere, 0, 0, 10,
                            QT_TRANSLATE_NOOP("MainScreenTable", "Tilt Servo Center"), true));
    rows.push_back({idc::TiltServoCenterSpin, T::Spin,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Tilt Servo Center spin"), nowhere, true});
    rows.push_back(ValueBox(idc::PanServoCenter, T::Edit, nowhere, 0, 0, 12,
                            QT_TRANSLATE_NOOP("MainScreenTable", "Pan Servo Center"), true));
    rows.push_back({idc::PanServoCenterSpin, T::Spin,
                    QT_TRANSLATE_NOOP("MainScreenTable", "Pan Servo Center spin"), nowhere, true});
    const std::vector<const char*> servoTypes = ItemsOf(&P::ROLL_SERVO_TYPE);
    const std::vector<const char*> controlModes = ItemsOf(&P::ROLL_CTRL_MODE);
    rows.push_back({idc::RollServoType, T::Combo, QT_TRANSLATE_NOOP("MainScreenTable", "Roll Servo Type"),
                    nowhere, true, 0, 0, servoTypes, nullptr, 0, kControllerChoiceContext});
    rows.push_back({idc::RollControlMode, T::Combo, QT_TRANSLATE_NOOP("MainScreenTable", "Roll Control Mode"),
                    nowhere, true, 0, 0, controlModes, nullptr, 0, kControllerChoiceContext});
    rows.push_back({idc::TiltServoType, T::Combo, QT_TRANSLATE_NOOP("MainScreenTable", "Tilt Servo Type"),
                    nowhere, true, 0, 0, servoTypes, nullptr, 0, kControllerChoiceContext});
    rows.push_back({idc::TiltControlMode, T::Combo, QT_TRANSLATE_NOOP("MainScreenTable", "Tilt Control Mode"),
                    nowhere, true, 0, 0, controlModes, nullptr, 0, kControllerChoiceContext});
    rows.push_back({idc::PanServoType, T::Combo, QT_TRANSLATE_NOOP("MainScreenTable", "Pan Servo Type"),
                    nowhere, true, 0, 0, servoTypes, nullptr, 0, kControllerChoiceContext});
    rows.push_back({idc::PanControlMode, T::Combo, QT_TRANSLATE_NOOP("MainScreenTable", "Pan Control Mode"),
                    nowhere, true, 0, 0, controlModes, nullptr, 0, kControllerChoiceContext});
    return rows;
}

} // namespace

const std::vector<ControlRow>& MainScreenControls()
{
    static const std::vector<ControlRow> rows = BuildTable();
    return rows;
}

const std::vector<int>& MainScreenCaptionIds()
{
    static const std::vector<int> ids = [] {
        std::vector<int> v = {1035, 1037, 1038, 1064, 1065};
        for (int id = 1198; id <= 1207; ++id)
            v.push_back(id);
        for (int id = 1237; id <= 1253; ++id)
            v.push_back(id);
        for (int id : {1255, 1256, 1259, 1263, 1271, 1272, 1277, 1278, 1279})
            v.push_back(id);
        return v;
    }();
    return ids;
}

} // namespace qav
