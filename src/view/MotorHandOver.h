#pragma once
// The main screen's "Motor Configuration": only one link may hold a port at
// a time, so the controller link is taken down before the motor dialog runs
// and stays down after it; the user reopens it with "Open COM Port". The
// motor board's set and the receiver's phase outlive each opening.
#include "motor/MotorProtocol.h"

#include <optional>
#include <string>

namespace qav {

class FormHost;
class IPrompts;
class ScreenAnswers;
class ScreenLink;
class ScreenStatus;

class MotorHandOver
{
public:
    MotorHandOver(FormHost& form, IPrompts& prompts, ScreenStatus& status, ScreenLink& link,
                  ScreenAnswers& answers, const std::string& startupDirectory)
        : form_(form), prompts_(prompts), status_(status), link_(link), answers_(answers),
          startupDirectory_(startupDirectory)
    {
    }

    // Hands the port over to the motor dialog and runs it modally.
    void Run();
    MotorParams& Params() { return params_; }

private:
    FormHost& form_;
    IPrompts& prompts_;
    ScreenStatus& status_;
    ScreenLink& link_;
    ScreenAnswers& answers_;
    const std::string& startupDirectory_;
    MotorParams params_;
    bool valuesKnown_ = false;            // params_ came from a board or a file
    std::optional<MotorParams> flashSet_; // what the motor board keeps in flash, as far as known
    FrameReceiver receiver_{kMotorHeader0, kMotorHeader1};
};

} // namespace qav
