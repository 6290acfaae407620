#pragma once
// The main screen's editable controls as data: for each box, slider, check
// box, button and list, the parameter it stands for and its messages
// (UTF-8). Read by the editing handlers, the Enter routing and the routine
// that shows the parameter set. Ranges, list values and the pairs of limits
// are the parameter table's (protocol/ControllerParamTable.h); the messages
// that quote a range are the screen's own texts.
//
// A message is its colour tag followed by its sentence, and only the
// sentence is marked for translation, under "EditTables": a translator never
// sees the tag. Said() shows a message.
#include "protocol/ControllerParamTable.h"
#include "view/ControlIds.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>

namespace qav::edit {

using P = ControllerParams;

// What the screen lets a parameter be, in its field's units.
inline const ControllerParamRow& Rules(const ParamMember<P>& member)
{
    return ControllerParamOf(member);
}

// The list item that stands for `value` of a parameter of listed values,
// or -1; and the value an item stores.
inline int ItemOf(const ParamMember<P>& member, std::int64_t value)
{
    const std::span<const ParamChoice> items = Rules(member).choices;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].value == value)
            return static_cast<int>(i);
    return -1;
}
inline std::int64_t ItemValue(const ParamMember<P>& member, int item)
{
    return Rules(member).choices[static_cast<std::size_t>(item)].value;
}

// A message of the tables as shown: its colour tag as written, its sentence
// translated.
inline QString Said(const char* message)
{
    const QString text = QString::fromUtf8(message);
    const qsizetype tagEnd = text.startsWith(QLatin1String("$INK")) ? text.indexOf(QLatin1Char('$'), 4) : -1;
    if (tagEnd < 0)
        return QCoreApplication::translate("EditTables", message);
    // The tag is ASCII: as many bytes as characters.
    return text.left(tagEnd + 1) + QCoreApplication::translate("EditTables", message + tagEnd + 1);
}

// A screen value brought into a range (screen values are 32-bit).
inline std::int32_t ClampInto(const ValueRange& range, std::int32_t v)
{
    return static_cast<std::int32_t>(range.Clamp(v));
}

struct GainRow
{
    std::uint16_t P::*param;
    int slider, box;
    const char* moved;  // while the slider moves
    const char* prompt; // while the box is typed into
};

inline constexpr std::array<GainRow, 12> kGains = {{
    {&P::ROLL_TOTAL, idc::RollTotalSlider, idc::RollTotal,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll total gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll total gain modified, please push 'return' key!")},
    {&P::ROLL_VEL, idc::RollVelSlider, idc::RollVel,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll velocity gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll velocity gain modified, please push 'return' key!")},
    {&P::ROLL_INT, idc::RollIntSlider, idc::RollInt,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll integral gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll integral gain modified, please push 'return' key!")},
    {&P::ROLL_ACC, idc::RollAccSlider, idc::RollAcc,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Roll accelerate gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Roll accelerate gain modified, please push 'return' key!")},
    {&P::PITCH_TOTAL, idc::TiltTotalSlider, idc::TiltTotal,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt total gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt total gain modified, please push 'return' key!")},
    {&P::PITCH_VEL, idc::TiltVelSlider, idc::TiltVel,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt velocity gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt velocity gain modified, please push 'return' key!")},
    {&P::PITCH_INT, idc::TiltIntSlider, idc::TiltInt,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt integral gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt integral gain modified, please push 'return' key!")},
    {&P::PITCH_ACC, idc::TiltAccSlider, idc::TiltAcc,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Tilt accelerate gain adjusting..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Tilt accelerate gain modified, please push 'return' key!")},
    {&P::YAW_TOTAL, idc::PanTotalSlider, idc::PanTotal,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向位置感度系数修改中..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向位置感度已改变，请按回车键上传！")},
    {&P::YAW_INT, idc::PanIntSlider, idc::PanInt,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向累积感度系数修改中..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向累积感度已改变，请按回车键上传！")},
    {&P::YAW_VEL, idc::PanVelSlider, idc::PanVel,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向速度感度系数修改中..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向速度感度已改变，请按回车键上传！")},
    {&P::YAW_ACC, idc::PanAccSlider, idc::PanAcc,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向总感度系数修改中..."),
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向总感度已改变，请按回车键上传！")},
}};

// Typing keeps a maximum from going negative and a minimum from going
// positive (the row's typing range); Enter checks the whole axis range.
struct LimitRow
{
    std::int32_t P::*param;
    int box;
    const char* prompt;
    const char* outOfRange;
};

inline constexpr std::array<LimitRow, 4> kLimits = {{
    {&P::ROLL_MAX, idc::RollMax,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Roll angle limitation input range(-45~45), please push 'return' key!"),
     "$INKred$" QT_TRANSLATE_NOOP("EditTables", "Max roll angle not in range, please modify!")},
    {&P::ROLL_MIN, idc::RollMin,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Roll angle limitation input range(-45~45), please push 'return' key!"),
     "$INKred$" QT_TRANSLATE_NOOP("EditTables", "Min roll angle not in range, please modify!")},
    {&P::PITCH_MAX, idc::TiltMax,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Tilt angle limitation input range(-135~90), please push 'return' key!"),
     "$INKred$" QT_TRANSLATE_NOOP("EditTables", "Max tilt angle not in range, please modify!")},
    {&P::PITCH_MIN, idc::TiltMin,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Tilt angle limitation input range(-135~90), please push 'return' key!"),
     "$INKred$" QT_TRANSLATE_NOOP("EditTables", "Min tilt angle not in range, please modify!")},
}};

// Each axis's maximum must lie above its minimum (the table's pairs), roll
// checked first.
struct CrossCheckRow
{
    int maxBox;
    const char* failure;
};
inline constexpr std::array<CrossCheckRow, 2> kCrossChecks = {{
    {idc::RollMax,
     "$INKred$" QT_TRANSLATE_NOOP("EditTables", "Max roll angle less than min roll angle, upload failed!")},
    {idc::TiltMax,
     "$INKred$" QT_TRANSLATE_NOOP("EditTables", "Max pitch angle less than min pitch angle, upload failed!")},
}};

// A box, its parameter, and its two messages (typing, Enter).
template <typename T> struct BoxRow
{
    T P::*param;
    int box;
    const char* prompt;
    const char* confirmation;
};

inline constexpr std::array<BoxRow<std::uint8_t>, 3> kRcSensitivities = {{
    {&P::ROLL_RC_ACC, idc::RollRcSensitivity,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Roll RC sensitivity input range(0~100), please push 'return' key!"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Roll RC sensitivity uploaded successfully!")},
    {&P::PITCH_RC_ACC, idc::TiltRcSensitivity,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Tilt RC sensitivity input range(0~100), please push 'return' key!"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Tilt RC sensitivity uploaded successfully!")},
    {&P::YAW_RC_ACC, idc::PanRcSensitivity,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向摇杆灵敏度输入范围(0~100)，请按回车键上传！"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "指向摇杆灵敏度参数已上传！")},
}};

inline constexpr std::array<BoxRow<std::int16_t>, 3> kServoCenters = {{
    {&P::ROLL_SERVO_CENTER, idc::RollServoCenter,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "滚转舵机中立点输入范围(-500~500)，请按回车键上传！"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Roll servo trim uploaded successfully!")},
    {&P::PITCH_SERVO_CENTER, idc::TiltServoCenter,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "俯仰舵机中立点输入范围(-500~500)，请按回车键上传！"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "俯仰舵机中立点已上传！")},
    {&P::YAW_SERVO_CENTER, idc::PanServoCenter,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "指向舵机中立点输入范围(-500~500)，请按回车键上传！"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "指向舵机中立点已上传！")},
}};

// Initial angles are floats in degrees on screen (the parameter is in
// tenths: the row's scale), clamped on Enter only.
struct InitAngleRow
{
    std::int32_t P::*param; // tenths of a degree
    int box;
    const char* prompt;
    const char* confirmation;
};
inline constexpr std::array<InitAngleRow, 2> kInitAngles = {{
    {&P::INIT_PITCH, idc::InitTiltAngle,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Init tilt angle input range(-135~90), please push 'return' key!"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "初始俯仰角度参数已上传！")},
    {&P::INIT_ROLL, idc::InitRollAngle,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables",
                                    "Init roll angle input range(-45~45), please push 'return' key!"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "初始滚转角度参数已上传！")},
}};

// A direction byte is -1 (0xFF) for reversed and 1 for normal, never 0.
inline constexpr std::int8_t kReversed = kDirectionReversed;
inline constexpr std::int8_t kNormal = kDirectionNormal;
struct DirectionRow
{
    std::int8_t P::*param;
    int checkBox;
    const char* reversed;
    const char* normal;
};
inline constexpr std::array<DirectionRow, 3> kDirections = {{
    {&P::ROLL_SERVO_REV, idc::RollMotorReverse,
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Roll motor reverse direction uploaded successfully!"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Roll motor norm direction uploaded successfully!")},
    {&P::PITCH_SERVO_REV, idc::TiltMotorReverse,
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Tilt motor reverse direction uploaded successfully!"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Tilt motor norm direction uploaded successfully!")},
    {&P::YAW_SERVO_REV, idc::PanServoReverse,
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "指向舵机反向参数已上传！"),
     "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "指向舵机正向参数已上传！")},
}};

// The hidden servo lists of each axis: a speed servo (type above 3) has no
// control mode to choose.
struct ServoListRow
{
    std::uint8_t P::*servoType;
    std::uint8_t P::*controlMode;
    int typeList, modeList;
};
inline constexpr std::array<ServoListRow, 3> kServoLists = {{
    {&P::ROLL_SERVO_TYPE, &P::ROLL_CTRL_MODE, idc::RollServoType, idc::RollControlMode},
    {&P::PITCH_SERVO_TYPE, &P::PITCH_CTRL_MODE, idc::TiltServoType, idc::TiltControlMode},
    {&P::YAW_SERVO_TYPE, &P::YAW_CTRL_MODE, idc::PanServoType, idc::PanControlMode},
}};
inline constexpr std::uint8_t kLastPositionServo = 3;

// Buttons that send a command code with plain polls.
struct CommandRow
{
    int button;
    std::uint8_t code;
    const char* message;
};
inline constexpr std::array<CommandRow, 3> kCommands = {{
    {idc::MotorOn, kCmdMotorOn, "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Motor on mode openning...")},
    {idc::MotorOff, kCmdMotorOff, "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Motor off mode openning...")},
    {idc::CalibrateSensors, kCmdCalibrate,
     "$INKgreen$" QT_TRANSLATE_NOOP("EditTables", "Calibrate sensors...")},
}};

// Lists whose item stores a value and shows a message. The items and the
// values they store are the parameter's choices, in list order (the mount
// list's first item stores 2).
struct ModeListRow
{
    int list;
    std::uint8_t P::*param;
    std::array<const char*, 3> messages; // by item
};
inline constexpr std::array<ModeListRow, 2> kModeLists = {{
    {idc::SensorModuleMount,
     &P::INSTALL_MODE,
     {"$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Velsor Gopro brushless motor gimbal!"),
      "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Sensor module mounted face up!"),
      "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Sensor module mounted face down!")}},
    {idc::DefaultMode,
     &P::DEFAULT_MODE,
     {"$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Set default rc mode:stick rate mode"),
      "$INKblue$" QT_TRANSLATE_NOOP("EditTables", "Set default rc mode:stick position mode"), nullptr}},
}};

// The receiver list: its item stores the receiver type, and a change needs
// a flash write and a restart (the notice of OnReceiverTypeSelected).
struct ValueListRow
{
    int list;
    std::uint8_t P::*param;
};
inline constexpr ValueListRow kReceiverList = {idc::ReceiverType, &P::RECEIVER_TYPE};

// The row whose `key` member equals `id`, or null.
template <typename Rows, typename Key>
constexpr auto FindRow(const Rows& rows, int id, Key key) -> decltype(&rows[0])
{
    for (const auto& row : rows)
        if (row.*key == id)
            return &row;
    return nullptr;
}

// The parameter a value box holds, or null (a live box holds none).
inline const ControllerParamRow* ParamOfBox(int box)
{
    if (const GainRow* g = FindRow(kGains, box, &GainRow::box))
        return &Rules(g->param);
    if (const LimitRow* l = FindRow(kLimits, box, &LimitRow::box))
        return &Rules(l->param);
    if (const auto* rc = FindRow(kRcSensitivities, box, &BoxRow<std::uint8_t>::box))
        return &Rules(rc->param);
    if (const auto* c = FindRow(kServoCenters, box, &BoxRow<std::int16_t>::box))
        return &Rules(c->param);
    if (const InitAngleRow* a = FindRow(kInitAngles, box, &InitAngleRow::box))
        return &Rules(a->param);
    return nullptr;
}

} // namespace qav::edit
