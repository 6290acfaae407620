// The main screen's firmware upgrade: its three buttons and the status
// bar's progress bar, driven by the shared upgrade driver.
#include "ui/Prompts.h"
#include "ui/StatusLine.h"
#include "ui/UpgradeNotifyTarget.h"
#include "view/ControlIds.h"
#include "view/UARTView.h"

namespace qav {

void CUARTView::InitUpgrade()
{
    upgradeTarget_ =
        new UpgradeNotifyTarget([this](std::intptr_t lParam) { upgrade_.OnNotification(lParam); }, this);
    upgrade_.Init(upgradeTarget_->Sink());
}

void CUARTView::OnOpenFirmware()
{
    const QString path = prompts_.OpenFileName(this, QString::fromUtf8(upgrade_.ChooserTitle()),
                                               QString::fromUtf8(upgrade_.ChooserFilter()));
    if (path.isEmpty())
        return;
    upgrade_.OnFileChosen(path.toStdString());
}

void CUARTView::OnStartUpgrade()
{
    upgrade_.OnStart();
}

void CUARTView::OnCancelUpgrade()
{
    upgrade_.OnCancel();
}

void CUARTView::ShowUpgradeText(std::string_view text)
{
    SetStatusText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void CUARTView::SetUpgradeProgress(int position)
{
    if (status_)
        status_->SetProgress(position);
}

void CUARTView::EnableUpgradeStart(bool enable)
{
    Enable(idc::StartUpgrade, enable);
}

void CUARTView::EnableUpgradeCancel(bool enable)
{
    Enable(idc::CancelUpgrade, enable);
}

} // namespace qav
