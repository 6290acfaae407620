#pragma once
// Readable test failures for whole controller parameter sets: every field by
// name instead of the record's raw bytes. Include it in every test file that
// compares parameter sets, so all of them print alike.
#include "motor/MotorProtocol.h"
#include "protocol/ControllerProtocol.h"

#include <ostream>
#include <utility>

namespace qav {

inline void PrintTo(const ControllerParams& p, std::ostream* os)
{
    const std::pair<const char*, long> fields[] = {
        {"ROLL_TOTAL", p.ROLL_TOTAL},
        {"ROLL_VEL", p.ROLL_VEL},
        {"ROLL_INT", p.ROLL_INT},
        {"ROLL_ACC", p.ROLL_ACC},
        {"PITCH_TOTAL", p.PITCH_TOTAL},
        {"PITCH_VEL", p.PITCH_VEL},
        {"PITCH_INT", p.PITCH_INT},
        {"PITCH_ACC", p.PITCH_ACC},
        {"YAW_TOTAL", p.YAW_TOTAL},
        {"YAW_INT", p.YAW_INT},
        {"YAW_VEL", p.YAW_VEL},
        {"YAW_ACC", p.YAW_ACC},
        {"ROLL_SERVO_REV", p.ROLL_SERVO_REV},
        {"PITCH_SERVO_REV", p.PITCH_SERVO_REV},
        {"YAW_SERVO_REV", p.YAW_SERVO_REV},
        {"ROLL_MAX", p.ROLL_MAX},
        {"ROLL_MIN", p.ROLL_MIN},
        {"PITCH_MAX", p.PITCH_MAX},
        {"PITCH_MIN", p.PITCH_MIN},
        {"ROLL_SERVO_CENTER", p.ROLL_SERVO_CENTER},
        {"PITCH_SERVO_CENTER", p.PITCH_SERVO_CENTER},
        {"YAW_SERVO_CENTER", p.YAW_SERVO_CENTER},
        {"RECEIVER_TYPE", p.RECEIVER_TYPE},
        {"ROLL_CTRL_MODE", p.ROLL_CTRL_MODE},
        {"PITCH_CTRL_MODE", p.PITCH_CTRL_MODE},
        {"YAW_CTRL_MODE", p.YAW_CTRL_MODE},
        {"INSTALL_MODE", p.INSTALL_MODE},
        {"ROLL_SERVO_TYPE", p.ROLL_SERVO_TYPE},
        {"PITCH_SERVO_TYPE", p.PITCH_SERVO_TYPE},
        {"YAW_SERVO_TYPE", p.YAW_SERVO_TYPE},
        {"ROLL_RC_ACC", p.ROLL_RC_ACC},
        {"PITCH_RC_ACC", p.PITCH_RC_ACC},
        {"YAW_RC_ACC", p.YAW_RC_ACC},
        {"INIT_PITCH", p.INIT_PITCH},
        {"INIT_ROLL", p.INIT_ROLL},
        {"DEFAULT_MODE", p.DEFAULT_MODE},
    };
    *os << "{";
    for (const auto& [name, value] : fields)
        *os << " " << name << "=" << value;
    *os << " }";
}

inline void PrintTo(const MotorParams& p, std::ostream* os)
{
    *os << "{POL_MOTOR1=" << int(p.POL_MOTOR1) << " POW_MOTOR1=" << int(p.POW_MOTOR1)
        << " POL_MOTOR2=" << int(p.POL_MOTOR2) << " POW_MOTOR2=" << int(p.POW_MOTOR2)
        << " DIR_MOTOR1=" << int(p.DIR_MOTOR1) << " DIR_MOTOR2=" << int(p.DIR_MOTOR2) << "}";
}

} // namespace qav
