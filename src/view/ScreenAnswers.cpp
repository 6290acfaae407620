#include "view/ScreenAnswers.h"

#include "platform/PortMap.h"
#include "ui/FormHost.h"
#include "upgrade/BootLoaderProbe.h"
#include "view/ComPortChoice.h"
#include "view/ControlIds.h"
#include "view/LiveDisplays.h"
#include "view/ScreenBoxes.h"
#include "view/ScreenLink.h"
#include "view/ScreenStatus.h"

#include <QCoreApplication>

namespace qav {
namespace {

QString FromUtf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QString ConnectPrompt()
{
    return QStringLiteral("$INKblue$") +
           QCoreApplication::translate("ScreenAnswers",
                                       "COM port open successfully, please connect QAV-NUVA!");
}

} // namespace

void ScreenAnswers::OpenPort(int number)
{
    if (engine_.State().linkEstablished)
        live_.SetStale(true);
    // A number outside 1..1024 opens nothing; the timer runs all the same
    // and the watchdog finds the link lost.
    const Result opened = link_.Open(number);
    status_.SetGate(true);
    if (opened) {
        status_.SetText(QString());
        status_.SetText(ConnectPrompt());
    } else {
        // In the command-line tool's words.
        status_.SetText(QStringLiteral("$INKred$") + FromUtf8(PortOpenFailure(PortName(number), opened)));
    }
    engine_.OnPortOpened();
    link_.StartTicks();
}

bool ScreenAnswers::ConnectTo(int number)
{
    const bool listed = comChoice_.Choose(number);
    OpenPort(number);
    return listed;
}

void ScreenAnswers::TakeDownLink()
{
    link_.TakeDown();
    live_.SetStale(true);
}

void ScreenAnswers::OnBoardInBootLoader(int portNumber, bool waiting)
{
    // Straight to the status line: no controller answers, so the message
    // gate would drop it.
    status_.SetText(QString());
    if (waiting)
        status_.SetText(QStringLiteral("$INKred$") +
                        FromUtf8(BootLoaderWaitingSentence("controller", PortName(portNumber))));
    else
        status_.SetText(ConnectPrompt());
}

void ScreenAnswers::OnLinkEstablished()
{
    heardBoardOn_.insert(link_.Serial().PortNumber());
    // Every value of the first answers is shown anew.
    live_.ForgetShownValues();
    live_.SetStale(false);
    status_.SetGate(true);
    status_.ShowMessage(QStringLiteral("$INKblue$") +
                        QCoreApplication::translate("ScreenAnswers", "QAV-NUVA connected successfully!"));
    form_.Enable(idc::LoadConfig, true);
}

void ScreenAnswers::OnLinkLost()
{
    QString said =
        QStringLiteral("$INKred$") + QCoreApplication::translate("ScreenAnswers", "QAV-NUVA disconnected!");
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
            status_.SetText(QString());
            status_.SetText(ConnectPrompt() + echoes);
        }
    }
    status_.ShowMessage(said);
    status_.SetGate(false);
    form_.Enable(idc::LoadConfig, false);
    live_.SetStale(true);
}

void ScreenAnswers::SetMotorButtons(int checked)
{
    // Nothing changes while the wanted button is already checked.
    if (form_.Checked(checked))
        return;
    for (int id : {idc::MotorOff, idc::MotorOn, idc::PidOff})
        form_.SetChecked(id, id == checked);
}

void ScreenAnswers::OnMotorState(std::uint8_t state)
{
    // The mount cannot change while the motors run.
    const bool on = state == kMotorsOn;
    if (form_.Enabled(idc::SensorModuleMount) == on)
        form_.Enable(idc::SensorModuleMount, !on);
    const int wanted = on ? idc::MotorOn : idc::MotorOff;
    if (!form_.Checked(wanted)) {
        form_.SetChecked(on ? idc::MotorOff : idc::MotorOn, false);
        form_.SetChecked(wanted, true);
    }
}

void ScreenAnswers::OnCommandResult(const ControllerResult& result, std::uint8_t motorState)
{
    status_.SetText(FromUtf8(ResultMessage(result, motorState)));
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

void ScreenAnswers::OnFirmwareVersion(std::uint8_t tenths)
{
    form_.SetText(
        idc::FirmwareVersion,
        QCoreApplication::translate("ScreenAnswers", "Firmware Version:V%1").arg(tenths / 10.0, 0, 'f', 1));
    if (QWidget* label = form_.Control(idc::FirmwareVersion))
        label->repaint();
}

void ScreenAnswers::OnEchoDecoded(std::uint8_t type)
{
    // What each quarter of the echo brings onto the screen; the servo types
    // and control modes it carries stay off it.
    switch (type) {
    case kTypeReadGains:
        boxes_.ShowParameterSet(kRollTiltGains);
        break;
    case kTypeReadDirections:
        boxes_.ShowParameterSet(kServoCentres | kRollTiltDirections);
        break;
    case kTypeReadLimits:
        boxes_.ShowParameterSet(kLimitsAndReceiver);
        break;
    case kTypeReadPan:
        boxes_.ShowParameterSet(kPanGainsAndAngles);
        status_.ShowMessage(QStringLiteral("$INKblue$") +
                            QCoreApplication::translate("ScreenAnswers", "All parameters updated!"));
        break;
    default:
        break;
    }
}

void ScreenAnswers::OnTelemetry(const ControllerTelemetry& t)
{
    live_.ShowTelemetry(t);
}

} // namespace qav
