// Tuning aids of the main screen, placed in the free strip under the mode
// lists so that no control of the original screen moves: the "Live Plots" button (also
// Ctrl+P) and the marker of uploads the controller holds only in RAM; and
// the backup a configuration-file load takes of the set it replaces.
#include "files/Backups.h"
#include "files/ConfigDiff.h"
#include "platform/PortMap.h"
#include "ui/PlotWindow.h"
#include "ui/Prompts.h"
#include "ui/Skin.h"
#include "ui/UnflashedMark.h"
#include "view/UARTView.h"

#include <QLabel>
#include <QPushButton>

namespace qav {
namespace {

// Below "Default Mode" (ending at 540), above the "Upgrade" group (574).
const QRect kPlotsButtonRect(504, 546, 150, 24);
const QRect kUnflashedRect(660, 546, 330, 24);

} // namespace

void CUARTView::InitTuningAids()
{
    plotsButton_ = new QPushButton(QStringLiteral("Live Plots"), this);
    plotsButton_->setObjectName(QStringLiteral("livePlots"));
    plotsButton_->setProperty(kSkinKindProperty, static_cast<int>(SkinKind::PushButton));
    plotsButton_->setToolTip(QStringLiteral("Attitude, RC channels and accelerations against time (Ctrl+P)"));
    plotsButton_->setGeometry(kPlotsButtonRect);
    connect(plotsButton_, &QPushButton::clicked, this, &CUARTView::OpenPlotWindow);

    unflashedIndicator_ = MakeUnflashedMark(this, kUnflashedRect, QStringLiteral("controller"));

    backupFolder_ = DefaultBackupFolder();
}

void CUARTView::OpenPlotWindow()
{
    if (!plots_) {
        plots_ = new PlotWindow(prompts_, this);
        plots_->PlaceBeside(this);
    }
    plots_->show();
    plots_->raise();
    plots_->activateWindow();
}

void CUARTView::SetUnflashedChanges(bool on)
{
    unflashedChanges_ = on;
    unflashedIndicator_->setVisible(on);
}

const ControllerParams& CUARTView::BoardSet() const
{
    const ControllerParams* board = engine_.BoardSet();
    return board ? *board : params_;
}

void CUARTView::UpdateUnflashedChanges(bool uploaded)
{
    const ControllerParams* board = engine_.BoardSet();
    if (board && flashSet_)
        SetUnflashedChanges(*board != *flashSet_);
    else if (uploaded)
        // Nothing to compare with yet: an upload may differ from flash.
        SetUnflashedChanges(true);
}

void CUARTView::TuningTee::OnPortOpened()
{
    // The mark stays until the read-back tells whether the controller still
    // holds what was uploaded: closing the port wrote nothing to flash.
    echoQuarters_ = 0;
    view_.motorState_.reset();
    view_.firmware_.reset();
}

void CUARTView::TuningTee::OnEchoDecoded(std::uint8_t type)
{
    view_.OnEchoDecoded(type);
    // Once every quarter of the set has come from the controller, the set
    // is the controller's and worth saving.
    echoQuarters_ |= 1u << (type - kTypeReadGains);
    if (echoQuarters_ == 0xF) {
        view_.valuesKnown_ = true;
        // A controller starts with the set its flash keeps.
        if (const ControllerParams* board = view_.engine_.BoardSet(); board && !view_.flashSet_)
            view_.flashSet_ = *board;
    }
    view_.UpdateUnflashedChanges(false);
}

void CUARTView::TuningTee::OnMotorState(std::uint8_t state)
{
    view_.OnMotorState(state);
    view_.motorState_ = state;
}

void CUARTView::TuningTee::OnCommandResult(const ControllerResult& result, std::uint8_t motorState)
{
    view_.OnCommandResult(result, motorState);
    if (result.code == kCmdWriteFlash && result.success) {
        // Flash holds the set as the controller held it when it stored it.
        if (const ControllerParams* board = view_.engine_.BoardSet())
            view_.flashSet_ = *board;
        view_.SetUnflashedChanges(false);
    }
}

void CUARTView::TuningTee::OnFirmwareVersion(std::uint8_t tenths)
{
    view_.OnFirmwareVersion(tenths);
    view_.firmware_ = tenths;
}

void CUARTView::TuningTee::OnUploadAcknowledged(std::uint8_t type)
{
    view_.OnUploadAcknowledged(type);
    view_.UpdateUnflashedChanges(true);
}

void CUARTView::TuningTee::OnTelemetry(const ControllerTelemetry& t)
{
    view_.OnTelemetry(t);
    if (!view_.plots_)
        return;
    view_.plots_->AddSample(TelemetrySample{t, view_.motorState_, view_.firmware_}, PlotWindow::Clock::now());
}

} // namespace qav
