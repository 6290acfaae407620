#pragma once
// Copies the main screen's values into the parameter set. It never sends
// anything; an upload is requested by the caller.
#include "protocol/ControllerProtocol.h"

namespace qav {

class ScreenBoxes;

class ScreenStore
{
public:
    ScreenStore(ScreenBoxes& boxes, ControllerParams& params) : boxes_(boxes), params_(params) {}

    // Reads all boxes, then copies the twelve gains (low 16 bits).
    void Gains();
    // Reads all boxes, then copies the four angle limits and the three RC
    // sensitivities (low byte); no range check, no cross-check.
    void LimitsAndRc();
    // Copies the three servo centres (16 bits) without reading the boxes.
    void ServoCenters();
    // Reads all boxes, then sets INIT_PITCH and INIT_ROLL to the initial
    // angles in tenths of a degree, rounded half away from zero.
    void InitAngles();

private:
    ScreenBoxes& boxes_;
    ControllerParams& params_;
};

} // namespace qav
