#include "ui/PostedNotify.h"

#include <QCoreApplication>

#include <algorithm>

namespace qav {

QEvent::Type PortNotifyEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostedNotifySink::Post(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam)
{
    if (!handled_.empty() && std::find(handled_.begin(), handled_.end(), message) == handled_.end())
        return;
    // Held while posting, so the target cannot be destroyed in between;
    // events still queued for it are discarded by Qt when it goes.
    std::lock_guard guard(lock_);
    if (target_)
        QCoreApplication::postEvent(target_, new PortNotifyEvent(message, wParam, lParam));
}

void PostedNotifySink::Detach()
{
    std::lock_guard guard(lock_);
    target_ = nullptr;
}

} // namespace qav
