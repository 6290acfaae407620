// The main screen's "Motor Configuration": only one link may hold a port at
// a time, so the controller link is taken down before the motor dialog runs
// and stays down after it; the user reopens it with "Open COM Port".
#include "view/MotorConfigDlg.h"
#include "view/ControlIds.h"
#include "view/UARTView.h"

namespace qav {

void CUARTView::OnMotorConfiguration()
{
    // The board on the controller's port is not the motor board: the
    // dialog does not offer that port first.
    const int controllerPort = LinkTimerActive() ? OpenedPortNumber() : 0;
    TakeDownLink();
    SetStatusText(QString());
    SetStatusText(QStringLiteral("$INKblue$Go to motor configuration, please connect to motor config port!"));
    {
        CMotorConfigDlg dialog(motorParams_, motorReceiver_, prompts_, startupDirectory_, window(),
                               controllerPort, &motorValuesKnown_, &motorFlashSet_);
        dialog.exec();
        if (QWidget* area = Control(idc::AttitudeArea))
            area->repaint();
        SetStatusText(QString());
        SetStatusText(
            QStringLiteral("$INKblue$Please connect to main controller config port, and open COM port!"));
        CloseMessageGate();
    }
}

} // namespace qav
