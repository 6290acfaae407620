#include "view/MotorHandOver.h"

#include "view/ControlIds.h"
#include "view/MotorConfigDlg.h"
#include "view/ScreenAnswers.h"
#include "view/ScreenLink.h"
#include "view/ScreenStatus.h"

#include <QCoreApplication>

namespace qav {

void MotorHandOver::Run()
{
    // The board on the controller's port is not the motor board: the
    // dialog does not offer that port first.
    const int controllerPort = link_.TickActive() ? link_.OpenedPortNumber() : 0;
    answers_.TakeDownLink();
    status_.SetText(QString());
    status_.SetText(QStringLiteral("$INKblue$") +
                    QCoreApplication::translate(
                        "MotorHandOver", "Go to motor configuration, please connect to motor config port!"));
    {
        CMotorConfigDlg dialog(params_, receiver_, prompts_, startupDirectory_, form_.window(),
                               controllerPort, &valuesKnown_, &flashSet_);
        dialog.exec();
        if (QWidget* area = form_.Control(idc::AttitudeArea))
            area->repaint();
        status_.SetText(QString());
        status_.SetText(
            QStringLiteral("$INKblue$") +
            QCoreApplication::translate("MotorHandOver",
                                        "Please connect to main controller config port, and open COM port!"));
        status_.SetGate(false);
    }
}

} // namespace qav
