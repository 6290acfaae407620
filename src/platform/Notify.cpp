#include "platform/Notify.h"

namespace qav {

bool PostNotification(const std::weak_ptr<INotifySink>& owner, std::uint32_t message, std::intptr_t wParam,
                      std::intptr_t lParam)
{
    const std::shared_ptr<INotifySink> sink = owner.lock();
    if (!sink)
        return false;
    sink->Post(message, wParam, lParam);
    return true;
}

void NotifyQueue::Post(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam)
{
    {
        std::lock_guard guard(lock_);
        queue_.push_back(Notification{message, wParam, lParam});
    }
    arrived_.notify_one();
}

std::optional<Notification> NotifyQueue::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock guard(lock_);
    if (!arrived_.wait_for(guard, timeout, [this] { return !queue_.empty(); }))
        return std::nullopt;
    Notification n = queue_.front();
    queue_.pop_front();
    return n;
}

std::optional<Notification> NotifyQueue::WaitForMessage(std::uint32_t message,
                                                        std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock guard(lock_);
    for (;;) {
        while (!queue_.empty()) {
            Notification n = queue_.front();
            queue_.pop_front();
            if (n.message == message)
                return n;
        }
        if (arrived_.wait_until(guard, deadline) == std::cv_status::timeout && queue_.empty())
            return std::nullopt;
    }
}

std::optional<Notification> NotifyQueue::TryTake()
{
    std::lock_guard guard(lock_);
    if (queue_.empty())
        return std::nullopt;
    Notification n = queue_.front();
    queue_.pop_front();
    return n;
}

std::size_t NotifyQueue::Size() const
{
    std::lock_guard guard(lock_);
    return queue_.size();
}

} // namespace qav
