// The main screen's link to the controller: choosing and opening the port,
// the 20 ms link timer with its watchdog, and what each answer of the
// controller does to the controls.
#include "platform/PortMap.h"
#include "ui/ImageBar.h"
#include "ui/LiveBox.h"
#include "upgrade/BootLoaderProbe.h"
#include "view/ControlIds.h"
#include "view/EditTables.h"
#include "view/UARTView.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace qav {
namespace {

constexpr int kRcModeBarOffset = 100;

// What the controller keeps up to date while it answers: greyed while the
// link is down, since their values are then old.
constexpr std::size_t kChannelBoxes = [] {
    std::size_t n = 0;
    for (const TelemetryChannel& c : kTelemetryChannels)
        n += c.box != 0;
    return n;
}();
constexpr auto kLiveDisplays = [] {
    std::array<int, kChannelBoxes + 2> ids{};
    std::size_t n = 0;
    for (const TelemetryChannel& c : kTelemetryChannels)
        if (c.box != 0)
            ids[n++] = c.box;
    ids[n++] = idc::RcModeBar;
    ids[n] = idc::AttitudeArea;
    return ids;
}();

QString FromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString ConnectPrompt()
{
    return QStringLiteral("$INKblue$COM port open successfully, please connect QAV-NUVA!");
}

} // namespace

void CUARTView::InitLink()
{
    engine_.SetTransport(&link_);
}

CUARTView::~CUARTView()
{
    link_.Detach();
    // Ended without a confirmed close: the COM choice is still kept, but no
    // box is read, since a message box would find its parent half gone.
    if (!sessionFinished_)
        comChoice_.Save(startupDirectory_);
}

void CUARTView::OnOpenComPort()
{
    OpenPort(comChoice_.PortNumber());
}

void CUARTView::OpenPort(int number)
{
    if (engine_.State().linkEstablished)
        SetLiveDisplaysStale(true);
    // A number outside 1..1024 opens nothing; the timer runs all the same
    // and the watchdog finds the link lost.
    const Result opened = link_.Open(number);
    OpenMessageGate();
    if (opened) {
        SetStatusText(QString());
        SetStatusText(ConnectPrompt());
    } else {
        // In the command-line tool's words.
        SetStatusText(QStringLiteral("$INKred$") + FromUtf8(PortOpenFailure(PortName(number), opened)));
    }
    engine_.OnPortOpened();
    link_.StartTicks();
}

bool CUARTView::ConnectTo(int number)
{
    const bool listed = comChoice_.Choose(number);
    OpenPort(number);
    return listed;
}

void CUARTView::TakeDownLink()
{
    link_.TakeDown();
    SetLiveDisplaysStale(true);
}

void CUARTView::OnLinkTick()
{
    engine_.Tick();
    ShowAttitude();
}

void CUARTView::OnLinkBytes(const std::uint8_t* bytes, std::uint32_t count)
{
    engine_.OnBytes(bytes, count);
}

bool CUARTView::LinkLost() const
{
    return engine_.State().watchdogCount > ControllerLink::kWatchdogLimit;
}

void CUARTView::OnBoardInBootLoader(int portNumber, bool waiting)
{
    // Straight to the status line: no controller answers, so the message
    // gate would drop it.
    SetStatusText(QString());
    if (waiting)
        SetStatusText(QStringLiteral("$INKred$") +
                      FromUtf8(BootLoaderWaitingSentence("controller", PortName(portNumber))));
    else
        SetStatusText(ConnectPrompt());
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

bool CUARTView::IsLiveDisplay(int id)
{
    return std::find(kLiveDisplays.begin(), kLiveDisplays.end(), id) != kLiveDisplays.end();
}

void CUARTView::ForgetShownLiveValues()
{
    attitudeShown_.reset();
    telemetryShown_.reset();
}

void CUARTView::SetLiveDisplaysStale(bool stale)
{
    if (liveDisplaysStale_ == stale)
        return;
    liveDisplaysStale_ = stale;
    for (int id : kLiveDisplays)
        Enable(id, !stale);
    // Greyed or back: the next answer shows every value again, also one
    // equal to the last shown.
    ForgetShownLiveValues();
}

void CUARTView::ShowAttitude()
{
    const ControllerLinkState& s = engine_.State();
    const std::array<float, 3> attitude{s.roll, s.tilt, s.pan};
    if (attitudeShown_ == attitude)
        return;
    attitudeShown_ = attitude;
    show3d_.Update(s.roll, s.tilt, s.pan);
    for (const auto& [channel, angle] :
         {std::pair{kChannelRoll, s.roll}, std::pair{kChannelTilt, s.tilt}, std::pair{kChannelPan, s.pan}})
        ShowChannel(channel, angle);
}

void CUARTView::ShowChannel(std::size_t channel, double value)
{
    const int box = kTelemetryChannels[channel].box;
    if (box == 0)
        return;
    const QString text = QString::fromStdString(ChannelText(channel, value));
    // The box's screen value keeps up, so showing all values (after each
    // quarter of a read-back) puts back what is shown, not an old value.
    const auto entry = std::find_if(kExchangeOrder.begin(), kExchangeOrder.end(),
                                    [box](const ExchangeEntry& e) { return e.box == box; });
    if (entry != kExchangeOrder.end()) {
        switch (entry->kind) {
        case ValueKind::Int:
            values_.Int(box) = static_cast<std::int32_t>(std::lround(value));
            break;
        case ValueKind::Float:
            values_.Float(box) = static_cast<float>(value);
            break;
        case ValueKind::Text:
            values_.Text(box) = text;
            break;
        }
    }
    SetLiveText(box, text);
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
    QString said = QStringLiteral("$INKred$QAV-NUVA disconnected!");
    // A line that gave back only our own frames is a wiring fault, not a
    // controller that is off: the reason follows what the line says.
    if (engine_.Sent().EchoesSinceAnswer() != 0) {
        const QString echoes =
            QStringLiteral(" $INKred$") + FromUtf8(LineEchoesSentence(PortName(link_.OpenedPortNumber())));
        if (engine_.State().linkEstablished) {
            said += echoes;
        } else {
            // Never connected: the message gate holds everything back, and
            // the connect prompt is what the line shows.
            SetStatusText(QString());
            SetStatusText(ConnectPrompt() + echoes);
        }
    }
    ShowStatusMessage(said);
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
    // Only the values that changed since the last answer are formatted. The
    // attitude, which every answer brings, is ShowAttitude's.
    for (std::size_t c = 0; c < kTelemetryChannelCount; ++c)
        if (!kTelemetryChannels[c].InEveryAnswer() &&
            (!telemetryShown_ || telemetryShown_->Count(c) != t.Count(c)))
            ShowChannel(c, t.Value(c));
    telemetryShown_ = t;
    if (auto* bar = qobject_cast<CImageBar*>(Control(idc::RcModeBar)))
        bar->SetPos(t.Count(kChannelRcMode) + kRcModeBarOffset);
    // The answer's attitude with its other values, in the same repaint; the
    // next tick then finds nothing new to show.
    ShowAttitude();
}

} // namespace qav
