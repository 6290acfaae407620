#pragma once
// The main configuration screen: its controls (MainScreenTable.h), the
// screen values behind its boxes and the mechanics every editing handler
// works through: read all boxes, show all values, SyncSliders, the status
// messages gated by the link, and the Enter key that commits the focused
// box. It holds the controller link state; the parameter set is the
// program's single record, passed in.
//
// GUI thread only.
#include "protocol/ControllerProtocol.h"
#include "ui/FormHost.h"
#include "view/ScreenValues.h"

namespace qav {

class IPrompts;
class IStatusLine;

// Which commit an Enter in a box runs; at most one matches, since only one
// control holds the focus.
enum class CommitBranch { None, Gain, AngleLimit, ServoCenter, RcSensitivity, InitAngle };
CommitBranch CommitBranchFor(int focusedId);

class CUARTView : public FormHost, protected IFormEvents
{
    Q_OBJECT
public:
    // `status` may be null (nothing is shown then).
    CUARTView(ControllerParams& params, IStatusLine* status, IPrompts& prompts, QWidget* parent = nullptr);

    // The screen's initialisation; runs again on the new-document command.
    void OnInitialUpdate();

    ScreenValues& Values() { return values_; }
    ControllerParams& Params() { return params_; }
    ControllerLinkState& Link() { return link_; }

    // Parses every value box into its screen value, in exchange order. At
    // the first box that does not parse: shows the parse message, puts the
    // focus into that box with its text selected and returns false; the
    // values of that box and the ones after it are kept.
    bool ReadAllBoxes();
    // Writes every screen value into its box; a box already showing the
    // text is left alone (its caret stays). Change reactions are suppressed
    // meanwhile.
    void ShowAllValues();
    // Moves the twelve gain sliders to their boxes' values, quietly.
    void SyncSliders();

    // Shown only while the link is established and the message gate is open.
    void ShowStatusMessage(const QString& text);
    // Always shown.
    void SetStatusText(const QString& text);
    bool MessageGateOpen() const { return messageGateOpen_; }
    void OpenMessageGate() { messageGateOpen_ = true; }
    void CloseMessageGate() { messageGateOpen_ = false; }

    // Configuration-file commands of the main window's keyboard shortcuts.
    void OnLoadIniCommand();
    void OnSaveIniCommand();

    static QString IntParseMessage() { return QStringLiteral("请键入一个整数。"); }
    static QString FloatParseMessage() { return QStringLiteral("请键入一个数。"); }

protected:
    // IFormEvents
    void OnClicked(int id) override;
    void OnTextChanged(int id) override;
    void OnSelectionChanged(int id) override;
    void OnDropDown(int id) override;
    void OnSliderMoved(int id) override;
    void OnSliderReleased(int id) override;
    void OnEnterKey(int focusedId, bool keyDown, bool autoRepeat) override;

    // A box's text changed, by the user or by the program (not while the
    // screen shows its values).
    virtual void OnBoxChanged(int id);
    // Enter in the focused box, `branch` chosen by its id.
    virtual void OnCommit(CommitBranch branch, int id);

private:
    void ShowParseError(int box, const QString& message);

    ControllerParams& params_;
    IStatusLine* status_;
    IPrompts& prompts_;
    ControllerLinkState link_;
    ScreenValues values_;
    bool messageGateOpen_ = false;
    int showingValues_ = 0;      // nesting depth of ShowAllValues
    bool enterDownSeen_ = false; // the Enter now released was pressed on this screen
};

} // namespace qav
