#include "ui/UpgradeNotifyTarget.h"

#include "ui/Prompts.h"
#include "upgrade/UpgradeCodes.h"
#include "upgrade/UpgradeDriver.h"

namespace qav {

UpgradeNotifyTarget::UpgradeNotifyTarget(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)), sink_(std::make_shared<PostedNotifySink>(this))
{
}

UpgradeNotifyTarget::~UpgradeNotifyTarget()
{
    sink_->Detach();
}

bool UpgradeNotifyTarget::event(QEvent* e)
{
    if (e->type() == PortNotifyEvent::EventType()) {
        const auto* note = static_cast<PortNotifyEvent*>(e);
        if (note->message == WM_IAP_NOTIFY && handler_)
            handler_(note->lParam);
        return true;
    }
    return QObject::event(e);
}

UpgradeNotifyTarget* InitUpgradeDriver(UpgradeDriver& driver, QObject* owner)
{
    auto* target =
        new UpgradeNotifyTarget([&driver](std::intptr_t lParam) { driver.OnNotification(lParam); }, owner);
    driver.Init(target->Sink());
    return target;
}

void OpenFirmwareFile(UpgradeDriver& driver, IPrompts& prompts, QWidget* owner)
{
    const QString path = prompts.OpenFileName(owner, QString::fromUtf8(driver.ChooserTitle()),
                                              QString::fromUtf8(driver.ChooserFilter()));
    if (!path.isEmpty())
        driver.OnFileChosen(path.toStdString());
}

} // namespace qav
