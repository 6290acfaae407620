// The main screen's link to the controller: choosing and opening the port,
// the 20 ms link timer with its watchdog, and what each answer of the
// controller does to the controls.
#include "files/SettingsFile.h"
#include "platform/PortMap.h"
#include "serial/PortList.h"
#include "ui/ImageBar.h"
#include "ui/LiveBox.h"
#include "ui/PostedNotify.h"
#include "view/ControlIds.h"
#include "view/EditTables.h"
#include "view/UARTView.h"

#include <QStringList>

#include <array>
#include <span>

namespace qav {
namespace {

constexpr int kRcModeBarOffset = 100;

// What the controller keeps up to date while it answers: greyed while the
// link is down, since their values are then old.
constexpr std::array kLiveDisplays{idc::AttitudeRoll, idc::AttitudeTilt, idc::AttitudePan, idc::RcRoll,
                                   idc::RcTilt,       idc::RcPan,        idc::RcMode,      idc::RcShot,
                                   idc::AccelX,       idc::AccelY,       idc::AccelZ,      idc::RcModeBar,
                                   idc::AttitudeArea};

QString FromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

void CUARTView::InitLink()
{
    serial_.SetMode(CSerialLink::kOwnerMode);
    // Only received bytes are acted on.
    notify_ = std::make_shared<PostedNotifySink>(this, std::initializer_list<std::uint32_t>{WM_PORT_RECEIVED});
    serial_.SetOwner(notify_);
    engine_.SetTransport(this);
    linkTimer_.setTimerType(Qt::PreciseTimer);
    linkTimer_.setInterval(kLinkPeriod);
    connect(&linkTimer_, &QTimer::timeout, this, &CUARTView::OnLinkTimer);
}

CUARTView::~CUARTView()
{
    linkTimer_.stop();
    notify_->Detach();
    // Ended without a confirmed close: the COM choice is still kept, but no
    // box is read, since a message box would find its parent half gone.
    if (!sessionFinished_ && !startupDirectory_.empty())
        WriteStoredIndex(startupDirectory_, kSettingsComKey, comListIndex_);
    serial_.Close(CSerialLink::kCloseWaitMs);
}

void CUARTView::InitComList()
{
    comListIndex_ = startupDirectory_.empty() ? 0 : ReadStoredIndex(startupDirectory_, kSettingsComKey);
    FillComList();
    if (comListIndex_ >= ItemCount(idc::ComList))
        comListIndex_ = 0;
    SetSelection(idc::ComList, comListIndex_);
    TakePortNumberFromSelection();
}

void CUARTView::FillComList()
{
    QStringList entries;
    for (const std::string& entry : ListSerialPorts())
        entries << QString::fromStdString(entry);
    SetItems(idc::ComList, entries);
}

void CUARTView::TakePortNumberFromSelection()
{
    const int selected = Selection(idc::ComList);
    comPortNumber_ = selected < 0 ? 0 : PortNumberFromEntry(ItemText(idc::ComList, selected).toStdString());
}

void CUARTView::OnOpenComPort()
{
    if (serial_.IsOpen()) {
        serial_.Close(CSerialLink::kCloseWaitMs);
        linkTimer_.stop();
    }
    waitingForDevice_ = false;
    if (engine_.State().linkEstablished)
        SetLiveDisplaysStale(true);
    // A number outside 1..1024 opens nothing; the timer runs all the same
    // and the watchdog finds the link lost.
    openedPortNumber_ = comPortNumber_;
    OpenLinkSequence(serial_, openedPortNumber_);
    intake_.Clear();
    OpenMessageGate();
    if (serial_.IsOpen()) {
        SetStatusText(QString());
        SetStatusText(QStringLiteral("$INKblue$COM port open successfully, please connect QAV-NUVA!"));
    } else {
        // In the command-line tool's words.
        SetStatusText(QStringLiteral("$INKred$") +
                      FromUtf8(PortOpenFailure(PortName(openedPortNumber_), serial_.LastError())));
    }
    engine_.OnPortOpened();
    linkTimer_.start();
}

bool CUARTView::ConnectTo(int number)
{
    FillComList();
    for (int i = 0; i < ItemCount(idc::ComList); ++i) {
        if (PortNumberFromEntry(ItemText(idc::ComList, i).toStdString()) != number)
            continue;
        SetSelection(idc::ComList, i);
        comListIndex_ = i;
        TakePortNumberFromSelection();
        OnOpenComPort();
        return true;
    }
    SetSelection(idc::ComList, comListIndex_);
    return false;
}

void CUARTView::TakeDownLink()
{
    waitingForDevice_ = false;
    serial_.Close(CSerialLink::kCloseWaitMs);
    linkTimer_.stop();
    SetLiveDisplaysStale(true);
}

void CUARTView::WriteFrame(const Frame& frame)
{
    serial_.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

void CUARTView::OnLinkTimer()
{
    engine_.Tick();
    ShowAttitude();
    ReopenAfterHangUp();
}

void CUARTView::ReopenAfterHangUp()
{
    // A device that went away with its port (an unplugged USB adapter) never
    // comes back on the old descriptor. While the link is lost, reopen the
    // port that was opened now and then, so plugging it back in reconnects;
    // the COM list may meanwhile show or select something else.
    if (engine_.State().watchdogCount > ControllerLink::kWatchdogLimit && serial_.FarSideGone())
        waitingForDevice_ = true;
    if (!waitingForDevice_ || ++ticksSinceHangUp_ < kReopenEveryTicks)
        return;
    ticksSinceHangUp_ = 0;
    if (OpenLinkSequence(serial_, openedPortNumber_)) {
        intake_.Clear();
        waitingForDevice_ = false;
    }
}

bool CUARTView::event(QEvent* e)
{
    if (e->type() == PortNotifyEvent::EventType()) {
        const auto* note = static_cast<PortNotifyEvent*>(e);
        if (note->message == WM_PORT_RECEIVED)
            OnPortReceived(note->wParam);
        return true;
    }
    return FormHost::event(e);
}

void CUARTView::OnPortReceived(std::intptr_t portNumber)
{
    if (portNumber != serial_.PortNumber())
        return;
    intake_.OnPortReceived(serial_,
                           [this](const std::uint8_t* bytes, std::uint32_t n) { engine_.OnBytes(bytes, n); });
}

void CUARTView::SetLiveText(int id, const QString& text)
{
    // Runs 50 times a second: a box is only touched (and repainted) when
    // its text changes.
    if (auto* live = qobject_cast<CLiveBox*>(Control(id)))
        live->SetLiveText(text);
    else if (Text(id) != text)
        SetText(id, text);
}

void CUARTView::SetLiveDisplaysStale(bool stale)
{
    if (liveDisplaysStale_ == stale)
        return;
    liveDisplaysStale_ = stale;
    for (int id : kLiveDisplays)
        Enable(id, !stale);
}

void CUARTView::ShowAttitude()
{
    const ControllerLinkState& s = engine_.State();
    const std::array<float, 3> attitude{s.roll, s.tilt, s.pan};
    if (attitudeShown_ == attitude)
        return;
    attitudeShown_ = attitude;
    show3d_.Update(s.roll, s.tilt, s.pan);
    SetLiveText(idc::AttitudeRoll, QString::fromStdString(FormatAttitude(s.roll)));
    SetLiveText(idc::AttitudeTilt, QString::fromStdString(FormatAttitude(s.tilt)));
    SetLiveText(idc::AttitudePan, QString::fromStdString(FormatAttitude(s.pan)));
}

void CUARTView::OnLinkEstablished()
{
    // Every value of the first answers is shown anew.
    telemetryShown_.reset();
    attitudeShown_.reset();
    SetLiveDisplaysStale(false);
    OpenMessageGate();
    ShowStatusMessage(QStringLiteral("$INKblue$QAV-NUVA connected successfully!"));
    Enable(idc::LoadConfig, true);
}

void CUARTView::OnLinkLost()
{
    ShowStatusMessage(QStringLiteral("$INKred$QAV-NUVA disconnected!"));
    CloseMessageGate();
    Enable(idc::LoadConfig, false);
    SetLiveDisplaysStale(true);
}

void CUARTView::SetMotorButtons(int checked)
{
    // Nothing changes while the wanted button is already checked.
    if (Checked(checked))
        return;
    for (int id : {idc::MotorOff, idc::MotorOn, idc::PidOff})
        SetChecked(id, id == checked);
}

void CUARTView::OnMotorState(std::uint8_t state)
{
    // The mount cannot change while the motors run.
    const bool on = state == kMotorsOn;
    if (Enabled(idc::SensorModuleMount) == on)
        Enable(idc::SensorModuleMount, !on);
    const int wanted = on ? idc::MotorOn : idc::MotorOff;
    if (!Checked(wanted)) {
        SetChecked(on ? idc::MotorOff : idc::MotorOn, false);
        SetChecked(wanted, true);
    }
}

void CUARTView::OnCommandResult(const ControllerResult& result, std::uint8_t motorState)
{
    SetStatusText(FromUtf8(ResultMessage(result, motorState)));
    switch (result.buttons) {
    case MotorButtons::On:
        SetMotorButtons(idc::MotorOn);
        break;
    case MotorButtons::Off:
        SetMotorButtons(idc::MotorOff);
        break;
    case MotorButtons::PidOff:
        SetMotorButtons(idc::PidOff);
        break;
    case MotorButtons::Unchanged:
        break;
    }
}

void CUARTView::OnFirmwareVersion(std::uint8_t tenths)
{
    SetText(idc::FirmwareVersion, QString::fromStdString(FormatFirmwareVersion(tenths)));
    if (QWidget* label = Control(idc::FirmwareVersion))
        label->repaint();
}

void CUARTView::OnEchoDecoded(std::uint8_t type)
{
    // What each quarter of the echo brings onto the screen; the servo types
    // and control modes it carries stay off it.
    switch (type) {
    case kTypeReadGains:
        ShowParameterSet(kRollTiltGains);
        break;
    case kTypeReadDirections:
        ShowParameterSet(kServoCentres | kRollTiltDirections);
        break;
    case kTypeReadLimits:
        ShowParameterSet(kLimitsAndReceiver);
        break;
    case kTypeReadPan:
        ShowParameterSet(kPanGainsAndAngles);
        ShowStatusMessage(QStringLiteral("$INKblue$All parameters updated!"));
        break;
    default:
        break;
    }
}

void CUARTView::OnTelemetry(const ControllerTelemetry& t)
{
    // Only the values that changed since the last answer are formatted.
    const ControllerTelemetry* was = telemetryShown_ ? &*telemetryShown_ : nullptr;
    auto changed = [&](auto ControllerTelemetry::*field) { return !was || was->*field != t.*field; };
    for (const auto& [id, field] : {std::pair{idc::RcRoll, &ControllerTelemetry::rcRoll},
                                    std::pair{idc::RcTilt, &ControllerTelemetry::rcTilt},
                                    std::pair{idc::RcPan, &ControllerTelemetry::rcPan},
                                    std::pair{idc::RcMode, &ControllerTelemetry::rcMode},
                                    std::pair{idc::RcShot, &ControllerTelemetry::rcShot}})
        if (changed(field))
            SetLiveText(id, QString::number(t.*field));
    for (const auto& [id, field] : {std::pair{idc::AccelX, &ControllerTelemetry::accX},
                                    std::pair{idc::AccelY, &ControllerTelemetry::accY},
                                    std::pair{idc::AccelZ, &ControllerTelemetry::accZ}})
        if (changed(field))
            SetLiveText(id, QString::fromStdString(FormatAcceleration(t.*field)));
    telemetryShown_ = t;
    if (auto* bar = qobject_cast<CImageBar*>(Control(idc::RcModeBar)))
        bar->SetPos(t.rcMode + kRcModeBarOffset);
    // The answer's attitude with its other values, in the same repaint; the
    // next tick then finds nothing new to show.
    ShowAttitude();
}

} // namespace qav
