#pragma once
// The main screen's clicks and list choices that change the controller's
// set or command it: motor directions, the one-shot command buttons, the
// flash write, the receiver list and the mode lists. Each requests what the
// next link-timer tick sends.
#include "protocol/ControllerProtocol.h"

namespace qav {

class FormHost;
class IPrompts;
class ScreenBoxes;
class ScreenStatus;
class ScreenStore;

class ScreenCommands
{
public:
    ScreenCommands(FormHost& form, ScreenBoxes& boxes, ScreenStore& store, ControllerParams& params,
                   ControllerLinkState& link, ScreenStatus& status, IPrompts& prompts)
        : form_(form), boxes_(boxes), store_(store), params_(params), link_(link), status_(status),
          prompts_(prompts)
    {
    }

    void OnMotorReverse(int checkBox);
    void OnCommandButton(int button);
    void OnWriteSettingsToFlash();
    void OnReceiverTypeSelected();
    void OnModeListSelected(int list);

private:
    FormHost& form_;
    ScreenBoxes& boxes_;
    ScreenStore& store_;
    ControllerParams& params_;
    ControllerLinkState& link_;
    ScreenStatus& status_;
    IPrompts& prompts_;
};

} // namespace qav
