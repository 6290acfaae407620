#pragma once
// What each result code of the controller means, and the words every front
// end reports it with. One table, read by the GUI and the CLI alike.
#include <cstdint>
#include <string>
#include <string_view>

namespace qav {

enum class MotorButtons { Unchanged, On, Off, PidOff };

struct ControllerResult
{
    std::uint8_t code;
    bool success;
    // Shown for this result; when the same answer reports the motors off and
    // `messageWhenMotorsOff` is set, that one instead.
    std::string_view message;
    std::string_view messageWhenMotorsOff;
    MotorButtons buttons;
    bool clearsFlashPending;
};

// The entry for a result code, or null for 0 and unlisted codes (no result).
const ControllerResult* FindControllerResult(std::uint8_t code);

// The message for `result` given the motor state byte of the same answer.
std::string_view ResultMessage(const ControllerResult& result, std::uint8_t motorState);

} // namespace qav
