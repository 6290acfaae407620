#pragma once
// The screen values behind the main screen's boxes and the mechanics every
// editing handler works through: read all boxes, show all values, the gain
// sliders, the Enter key, and the parameter set put onto the controls.
#include "protocol/ControllerProtocol.h"
#include "view/ScreenValues.h"

#include <QCoreApplication>

#include <functional>

namespace qav {

class FormHost;
class IPrompts;

// Parts of the parameter set on screen: what one quarter of the echo
// brings, and what only a file brings.
enum ScreenPart : unsigned {
    kRollTiltGains = 1u << 0,
    kServoCentres = 1u << 1,
    kRollTiltDirections = 1u << 2,
    kLimitsAndReceiver = 1u << 3, // limits, RC sensitivities, mount, receiver
    kPanGainsAndAngles = 1u << 4, // pan gains, initial angles, default mode
    kPanDirection = 1u << 5,
    kServoTypesAndModes = 1u << 6,
    kAllParts = (1u << 7) - 1,
};

class ScreenBoxes
{
public:
    ScreenBoxes(FormHost& form, IPrompts& prompts, const ControllerParams& params)
        : form_(form), prompts_(prompts), params_(params)
    {
    }

    // Called when showing the values rewrote a live box.
    void SetOnLiveRewritten(std::function<void()> call) { onLiveRewritten_ = std::move(call); }
    // Called before the boxes are read or the values shown: the live
    // displays take their text screen values from what their boxes show.
    void SetBeforeExchange(std::function<void()> call) { beforeExchange_ = std::move(call); }

    ScreenValues& Values() { return values_; }
    const ScreenValues& Values() const { return values_; }

    // Parses every value box into its screen value, in exchange order. At
    // the first box that does not parse: shows the parse message, puts the
    // focus into that box with its text selected and returns false; the
    // values of that box and the ones after it are kept.
    bool ReadAll();
    // Writes every screen value into its box; a box already showing the
    // text is left alone (its caret stays). Change reactions are suppressed
    // meanwhile (Showing).
    void ShowAll();
    bool Showing() const { return showing_ > 0; }
    // Moves the twelve gain sliders to their boxes' values, quietly.
    void SyncSliders();

    // Puts the named parts (ScreenPart) of the parameter set into the boxes,
    // sliders, check boxes and lists.
    void ShowParameterSet(unsigned parts);
    // Selects the item of a mode list ("Sensor Module Mount", "Default
    // Mode") that stands for its parameter's value; other values leave it.
    void ShowModeList(int list);

    // An Enter press or release: true when it commits the focused box.
    bool TakeEnter(bool keyDown, bool autoRepeat);

    static QString IntParseMessage()
    {
        return QCoreApplication::translate("ScreenBoxes", "请键入一个整数。");
    }
    static QString FloatParseMessage()
    {
        return QCoreApplication::translate("ScreenBoxes", "请键入一个数。");
    }

private:
    void ShowParseError(int box, const QString& message);

    FormHost& form_;
    IPrompts& prompts_;
    const ControllerParams& params_;
    ScreenValues values_;
    std::function<void()> onLiveRewritten_;
    std::function<void()> beforeExchange_;
    // Each box's text and value when it was last read, so that a reading
    // parses only the boxes that changed since.
    struct LastRead
    {
        QString text;
        std::int32_t i;
        float f;
    };
    QHash<int, LastRead> lastRead_;
    int showing_ = 0;            // nesting depth of ShowAll
    bool enterDownSeen_ = false; // the Enter now released was pressed on this screen
};

} // namespace qav
