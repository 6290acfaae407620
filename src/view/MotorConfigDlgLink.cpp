// The motor dialog's port and link: opening the port, the ticks, the
// bytes that come, a board found in its boot loader, and closing.
#include "platform/PortMap.h"
#include "upgrade/BootLoaderProbe.h"
#include "view/MotorConfigDlg.h"
#include "view/MotorDialogTable.h"
#include "view/UpgradeControls.h"

namespace qav {
void CMotorConfigDlg::OnOpenComPort()
{
    // A port that cannot be opened is closed again without a word; the
    // ticks then send nothing and show nothing.
    link_.Open(comChoice_->PortNumber());
    ShowStatus(tr("Please connect to motor port!"));
    engine_.OnPortOpened();
    link_.StartTicks();
}

void CMotorConfigDlg::OnLinkTick()
{
    // A write request carries the four values: once it goes out to a board
    // that answers, they are sent.
    const bool carriesValues =
        engine_.State().command == kMotorCmdWrite && link_.IsOpen() && engine_.State().motorConnected;
    engine_.Tick();
    if (!carriesValues)
        return;
    for (std::size_t i = 0; i < kMotorParamBoxes.size(); ++i)
        boardValues_[i] = params_.*kMotorParamBoxes[i].param;
    UpdateUnsentMarks();
}

void CMotorConfigDlg::OnLinkBytes(const std::uint8_t* bytes, std::uint32_t count)
{
    engine_.OnBytes(bytes, count);
}

void CMotorConfigDlg::OnBoardInBootLoader(int portNumber, bool waiting)
{
    if (!waiting) {
        ShowStatus(tr("Please connect to motor port!"));
        return;
    }
    const std::string sentence = BootLoaderWaitingSentence("motor board", PortName(portNumber));
    ShowStatus(QString::fromStdString(sentence));
}

void CMotorConfigDlg::reject()
{
    upgrade_.StopQuietly();
    link_.TakeDown();
    ReadAllBoxes();
    comChoice_->Save(startupDirectory_);
    QDialog::reject();
}

} // namespace qav
