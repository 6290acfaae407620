#pragma once
// The main screen's live displays: the attitude (3D display and boxes), the
// RC channels with the mode bar, and the accelerations. They follow the
// controller's answers, touching a control only when its value changes,
// and are greyed while the link is gone.
#include "protocol/TelemetryChannels.h"
#include "ui/Show3D.h"

#include <QString>

#include <array>
#include <optional>

namespace qav {

class FormHost;
class ScreenValues;
struct ControllerLinkState;

class LiveDisplays
{
public:
    LiveDisplays(FormHost& form, ScreenValues& values, const ControllerLinkState& link)
        : form_(form), values_(values), link_(link)
    {
    }

    // The 3D display and the mode bar's range; at the screen's initialisation.
    void Init();

    // The attitude the link holds, when it differs from the one shown.
    void ShowAttitude();
    // The channels of a telemetry answer that changed, then the attitude.
    void ShowTelemetry(const ControllerTelemetry& t);

    // True while the displays show values of a link that is gone.
    bool Stale() const { return stale_; }
    void SetStale(bool stale);
    // The next answer shows every live value, also those equal to the last.
    void ForgetShownValues();
    // Takes the text screen values of the live boxes from what the boxes
    // show: done when the screen's values are read or shown, not with each
    // of 50 answers a second.
    void WriteOutScreenTexts();

    static bool IsLiveDisplay(int id);

private:
    // A telemetry channel's value into its live box and its screen value.
    void ShowChannel(std::size_t channel, double value);
    void SetLiveText(int id, const QString& text);

    FormHost& form_;
    ScreenValues& values_;
    const ControllerLinkState& link_;
    QAVShow3DLibExp show3d_;
    bool stale_ = false;
    // The attitude last shown (roll, tilt, pan): a tick that brings no new
    // one leaves the displays as they are.
    std::optional<std::array<float, 3>> attitudeShown_;
    std::optional<ControllerTelemetry> telemetryShown_; // the answer last shown
};

} // namespace qav
