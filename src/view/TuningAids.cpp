#include "view/TuningAids.h"

#include "ui/PlotWindow.h"
#include "ui/Skin.h"
#include "ui/UnflashedMark.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>

namespace qav {
namespace {

// Below "Default Mode" (ending at 540), above the "Upgrade" group (574).
const QRect kPlotsButtonRect(504, 546, 150, 24);
const QRect kUnflashedRect(660, 546, 330, 24);

} // namespace

TuningAids::TuningAids(QWidget& screen, IPrompts& prompts, IControllerEvents& screenEvents,
                       const ControllerLink& engine, const ControllerParams& params, bool& valuesKnown)
    : screenWidget_(screen), prompts_(prompts), screen_(screenEvents), engine_(engine), params_(params),
      valuesKnown_(valuesKnown)
{
    plotsButton_ = new QPushButton(QCoreApplication::translate("TuningAids", "Live Plots"), &screen);
    plotsButton_->setObjectName(QStringLiteral("livePlots"));
    plotsButton_->setProperty(kSkinKindProperty, static_cast<int>(SkinKind::PushButton));
    plotsButton_->setToolTip(QCoreApplication::translate(
        "TuningAids", "Attitude, RC channels and accelerations against time (Ctrl+P)"));
    plotsButton_->setGeometry(kPlotsButtonRect);
    QObject::connect(plotsButton_, &QPushButton::clicked, &screen, [this] { OpenPlotWindow(); });

    unflashedIndicator_ =
        MakeUnflashedMark(&screen, kUnflashedRect, QCoreApplication::translate("TuningAids", "controller"));
}

void TuningAids::OpenPlotWindow()
{
    if (!plots_) {
        plots_ = new PlotWindow(prompts_, &screenWidget_);
        plots_->PlaceBeside(&screenWidget_);
    }
    plots_->show();
    plots_->raise();
    plots_->activateWindow();
}

void TuningAids::SetUnflashedChanges(bool on)
{
    unflashedChanges_ = on;
    unflashedIndicator_->setVisible(on);
}

const ControllerParams& TuningAids::BoardSet() const
{
    const ControllerParams* board = engine_.BoardSet();
    return board ? *board : params_;
}

void TuningAids::UpdateUnflashedChanges(bool uploaded)
{
    const ControllerParams* board = engine_.BoardSet();
    if (board && flashSet_)
        SetUnflashedChanges(*board != *flashSet_);
    else if (uploaded)
        // Nothing to compare with yet: an upload may differ from flash.
        SetUnflashedChanges(true);
}

void TuningAids::OnPortOpened()
{
    // The mark stays until the read-back tells whether the controller still
    // holds what was uploaded: closing the port wrote nothing to flash.
    echoQuarters_ = 0;
    motorState_.reset();
    firmware_.reset();
}

void TuningAids::OnEchoDecoded(std::uint8_t type)
{
    screen_.OnEchoDecoded(type);
    // Once every quarter of the set has come from the controller, the set
    // is the controller's and worth saving.
    echoQuarters_ |= 1u << (type - kTypeReadGains);
    if (echoQuarters_ == 0xF) {
        valuesKnown_ = true;
        // A controller starts with the set its flash keeps.
        if (const ControllerParams* board = engine_.BoardSet(); board && !flashSet_)
            flashSet_ = *board;
    }
    UpdateUnflashedChanges(false);
}

void TuningAids::OnMotorState(std::uint8_t state)
{
    screen_.OnMotorState(state);
    motorState_ = state;
}

void TuningAids::OnCommandResult(const ControllerResult& result, std::uint8_t motorState)
{
    screen_.OnCommandResult(result, motorState);
    if (result.code == kCmdWriteFlash && result.success) {
        // Flash holds the set as the controller held it when it stored it.
        if (const ControllerParams* board = engine_.BoardSet())
            flashSet_ = *board;
        SetUnflashedChanges(false);
    }
}

void TuningAids::OnFirmwareVersion(std::uint8_t tenths)
{
    screen_.OnFirmwareVersion(tenths);
    firmware_ = tenths;
}

void TuningAids::OnUploadAcknowledged(std::uint8_t type)
{
    screen_.OnUploadAcknowledged(type);
    UpdateUnflashedChanges(true);
}

void TuningAids::OnTelemetry(const ControllerTelemetry& t)
{
    screen_.OnTelemetry(t);
    if (!plots_)
        return;
    plots_->AddSample(TelemetrySample{t, motorState_, firmware_}, PlotWindow::Clock::now());
}

} // namespace qav
