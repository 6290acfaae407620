#pragma once
// The main screen's link to the controller: opening and taking down the
// port, and what each answer of the controller does to the controls (the
// status line, the motor buttons, the firmware version, the read-back
// quarters, the live displays).
#include "protocol/ControllerLink.h"

#include <set>

namespace qav {

class ComPortChoice;
class FormHost;
class LiveDisplays;
class ScreenBoxes;
class ScreenLink;
class ScreenStatus;

class ScreenAnswers
{
public:
    ScreenAnswers(FormHost& form, ControllerLink& engine, ScreenLink& link, ComPortChoice& comChoice,
                  ScreenStatus& status, LiveDisplays& live, ScreenBoxes& boxes)
        : form_(form), engine_(engine), link_(link), comChoice_(comChoice), status_(status), live_(live),
          boxes_(boxes)
    {
    }

    // (Re)opens port `number`, starts the read-back and the link timer.
    void OpenPort(int number);
    // Chooses the COM list entry of port `number` and opens it; false when
    // the list does not have it (it is opened all the same).
    bool ConnectTo(int number);
    // Closes the port and stops the link timer; the displays grey.
    void TakeDownLink();
    // Whether the link heard the controller on port `number` since start.
    bool HeardBoardOn(int number) const { return heardBoardOn_.count(number) > 0; }
    // The status line names a controller left in its boot loader.
    void OnBoardInBootLoader(int portNumber, bool waiting);

    // The controller's answers.
    void OnLinkEstablished();
    void OnMotorState(std::uint8_t state);
    void OnCommandResult(const ControllerResult& result, std::uint8_t motorState);
    void OnFirmwareVersion(std::uint8_t tenths);
    void OnEchoDecoded(std::uint8_t type);
    void OnTelemetry(const ControllerTelemetry& t);
    void OnLinkLost();

private:
    void SetMotorButtons(int checked);

    FormHost& form_;
    ControllerLink& engine_;
    ScreenLink& link_;
    ComPortChoice& comChoice_;
    ScreenStatus& status_;
    LiveDisplays& live_;
    ScreenBoxes& boxes_;
    std::set<int> heardBoardOn_; // ports where the link heard the controller
};

} // namespace qav
