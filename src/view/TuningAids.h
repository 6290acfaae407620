#pragma once
// Tuning aids of the main screen, placed in the free strip under the mode
// lists so that no control of the original screen moves: the "Live Plots"
// button (also Ctrl+P) and the marker of uploads the controller holds only
// in RAM. It stands between the controller link and the screen: every
// answer goes to the screen first, then to the aids.
#include "protocol/ControllerLink.h"

#include <optional>

class QLabel;
class QPushButton;
class QWidget;

namespace qav {

class IPrompts;
class PlotWindow;

class TuningAids final : public IControllerEvents
{
public:
    // `valuesKnown` is set once the whole set was read back.
    TuningAids(QWidget& screen, IPrompts& prompts, IControllerEvents& screenEvents,
               const ControllerLink& engine, const ControllerParams& params, bool& valuesKnown);

    void OpenPlotWindow();
    PlotWindow* Plots() const { return plots_; }
    QPushButton* PlotsButton() const { return plotsButton_; }
    // Set by an acknowledged upload, cleared by a successful flash write and
    // when the port is opened anew.
    bool HasUnflashedChanges() const { return unflashedChanges_; }
    QLabel* UnflashedIndicator() const { return unflashedIndicator_; }
    // The controller's set as it holds it, or the parameter set while a
    // read-back has not yet brought all of it.
    const ControllerParams& BoardSet() const;

    // IControllerEvents: a new event needs its line here.
    void OnPortOpened() override;
    void OnLinkEstablished() override { screen_.OnLinkEstablished(); }
    void OnMotorState(std::uint8_t state) override;
    void OnCommandResult(const ControllerResult& result, std::uint8_t motorState) override;
    void OnFirmwareVersion(std::uint8_t tenths) override;
    void OnEchoDecoded(std::uint8_t type) override;
    void OnUploadAcknowledged(std::uint8_t type) override;
    void OnTelemetry(const ControllerTelemetry& t) override;
    void OnLinkLost() override { screen_.OnLinkLost(); }

private:
    void SetUnflashedChanges(bool on);
    // The mark follows what the controller holds: shown while its set
    // differs from the set it keeps in flash (as first read since start, or
    // as last written there), kept while that is not known yet.
    // `uploaded`: an upload quarter was just acknowledged.
    void UpdateUnflashedChanges(bool uploaded);

    QWidget& screenWidget_;
    IPrompts& prompts_;
    IControllerEvents& screen_;
    const ControllerLink& engine_;
    const ControllerParams& params_;
    bool& valuesKnown_;
    PlotWindow* plots_ = nullptr; // a window of its own, child of the screen
    QPushButton* plotsButton_ = nullptr;
    QLabel* unflashedIndicator_ = nullptr;
    bool unflashedChanges_ = false;
    // What the controller keeps in flash, as far as this program knows:
    // the set first read back since start, then the set a flash write
    // stored.
    std::optional<ControllerParams> flashSet_;
    unsigned echoQuarters_ = 0;                         // of a read-back, one bit per type 0x81..0x84
    std::optional<std::uint8_t> motorState_, firmware_; // as last reported, for the plots
};

} // namespace qav
