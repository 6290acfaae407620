// The main screen's firmware upgrade: its three buttons and the status
// bar's progress bar, driven by the shared upgrade driver.
#include "ui/Prompts.h"
#include "ui/StatusLine.h"
#include "view/UpgradeControls.h"
#include "view/ControlIds.h"
#include "view/UARTView.h"

namespace qav {

void CUARTView::InitUpgrade()
{
    upgradeTarget_ = InitUpgradeDriver(upgrade_, this);
}

void CUARTView::OnOpenFirmware()
{
    OpenFirmwareFile(upgrade_, prompts_, this);
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
