#include "ui/UpgradeNotifyTarget.h"

#include "upgrade/UpgradeCodes.h"

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

} // namespace qav
