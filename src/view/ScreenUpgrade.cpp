#include "view/ScreenUpgrade.h"

#include "ui/FormHost.h"
#include "view/ComPortChoice.h"
#include "view/ControlIds.h"
#include "view/ScreenAnswers.h"
#include "view/ScreenLink.h"
#include "view/ScreenStatus.h"
#include "view/UpgradeControls.h"

namespace qav {

ScreenUpgrade::ScreenUpgrade(FormHost& form, IPrompts& prompts, ScreenStatus& status,
                             ComPortChoice& comChoice, ScreenAnswers& answers, ScreenLink& link)
    : form_(form), prompts_(prompts), status_(status), comChoice_(comChoice), answers_(answers), link_(link),
      driver_(*this, UpgradeOwnerKind::MainScreen, BoardId::Controller)
{
    target_ = InitUpgradeDriver(driver_, &form_);
}

void ScreenUpgrade::OnOpenFirmware()
{
    OpenFirmwareFile(driver_, prompts_, &form_);
}

int ScreenUpgrade::UpgradePortNumber()
{
    return comChoice_.PortNumber();
}

bool ScreenUpgrade::HeardBoardOn(int number)
{
    return answers_.HeardBoardOn(number) || link_.BootLoaderWaitsOn(number);
}

void ScreenUpgrade::ReleaseLinkForUpgrade()
{
    answers_.TakeDownLink();
}

void ScreenUpgrade::ShowUpgradeText(std::string_view text)
{
    status_.SetText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void ScreenUpgrade::SetUpgradeProgress(int position)
{
    status_.SetProgress(position);
}

void ScreenUpgrade::EnableUpgradeStart(bool enable)
{
    form_.Enable(idc::StartUpgrade, enable);
}

void ScreenUpgrade::EnableUpgradeCancel(bool enable)
{
    form_.Enable(idc::CancelUpgrade, enable);
}

void ScreenUpgrade::SetMessageGate(bool open)
{
    status_.SetGate(open);
}

} // namespace qav
