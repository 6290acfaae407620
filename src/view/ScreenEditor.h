#pragma once
// Editing the controller's values in the main screen's boxes and sliders:
// gains, angle limits, RC sensitivities, initial angles and servo centres.
// Typing clamps and stores at once; Enter or a slider release requests the
// upload. Nothing is sent here: the next link-timer tick carries what
// changed. Every variation is a row of view/EditTables.h.
#include "protocol/ControllerProtocol.h"

#include <cstdint>

namespace qav {

class FormHost;
class ScreenBoxes;
class ScreenStatus;
class ScreenStore;

// Which commit an Enter in a box runs; at most one matches, since only one
// control holds the focus.
enum class CommitBranch { None, Gain, AngleLimit, ServoCenter, RcSensitivity, InitAngle };
CommitBranch CommitBranchFor(int focusedId);

class ScreenEditor
{
public:
    ScreenEditor(FormHost& form, ScreenBoxes& boxes, ScreenStore& store, ControllerParams& params,
                 ControllerLinkState& link, ScreenStatus& status)
        : form_(form), boxes_(boxes), store_(store), params_(params), link_(link), status_(status)
    {
    }

    // A box's text changed, by the user or by the program (not while the
    // screen shows its values).
    void OnBoxChanged(int id);
    // Enter in the focused box, `branch` chosen by its id.
    void OnCommit(CommitBranch branch, int id);
    void OnSliderMoved(int id);
    void OnSliderReleased(int id);

private:
    void OnGainBoxChanged(int box);
    void OnAngleLimitChanged(int box);
    void OnRcSensitivityChanged(int box);
    void OnInitAngleChanged(int box);
    void OnServoCenterChanged(int box);
    void CommitGains();
    void CommitAngleLimit(int box);
    void CommitRcSensitivity(int box);
    void CommitInitAngle(int box);
    void CommitServoCenter(int box);
    // The angle limit in `box` as the controller will hold it.
    std::int32_t HeldLimit(int box) const;
    // The minimum's box of the maximum in `maxBox`.
    static int MinimumBoxOf(int maxBox);

    FormHost& form_;
    ScreenBoxes& boxes_;
    ScreenStore& store_;
    ControllerParams& params_;
    ControllerLinkState& link_;
    ScreenStatus& status_;
};

} // namespace qav
