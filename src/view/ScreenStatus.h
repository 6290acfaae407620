#pragma once
// The main screen's status line and its message gate: messages of the
// editing handlers and of the answers show only while the controller is
// connected and the gate is open; texts set straight are always shown.
#include <QString>

namespace qav {

class IStatusLine;
struct ControllerLinkState;

class ScreenStatus
{
public:
    // `line` may be null (nothing is shown then).
    ScreenStatus(IStatusLine* line, const ControllerLinkState& link) : line_(line), link_(link) {}

    // Shown only while the link is established and the message gate is open.
    void ShowMessage(const QString& text);
    // Always shown.
    void SetText(const QString& text);
    // The full story of the message shown last (its tooltip).
    void SetDetails(const QString& details);
    void SetProgress(int position);

    bool GateOpen() const { return gateOpen_; }
    void SetGate(bool open) { gateOpen_ = open; }

private:
    IStatusLine* line_;
    const ControllerLinkState& link_;
    bool gateOpen_ = false;
};

} // namespace qav
