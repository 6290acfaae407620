#pragma once
// Posting notifications to an owner that may already be gone, from any
// thread. A link holds its owner as a weak reference: once the owner has let
// go of its sink, posts are dropped silently, as a message to a destroyed
// window would be.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

namespace qav {

// Receiver of posted notifications. Post may be called from any thread and
// must not block for long: it only queues the notification for the owner's
// own thread.
class INotifySink
{
public:
    virtual ~INotifySink() = default;
    virtual void Post(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) = 0;
};

// Posts to the owner if it still exists; otherwise does nothing. Returns
// whether the notification was handed over. A sink may be destroyed on the
// posting thread if its owner lets go while a post is in flight.
bool PostNotification(const std::weak_ptr<INotifySink>& owner, std::uint32_t message, std::intptr_t wParam,
                      std::intptr_t lParam);

struct Notification
{
    std::uint32_t message = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool operator==(const Notification&) const = default;
};

// A sink for loops without a GUI (the command-line tool, tests): posts are
// queued in order and taken by one waiting thread.
class NotifyQueue final : public INotifySink
{
public:
    void Post(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    // The oldest queued notification, waiting at most `timeout` for one to
    // arrive; nothing when the time ran out.
    std::optional<Notification> WaitFor(std::chrono::milliseconds timeout);
    // Like WaitFor, but skips (and drops) notifications with another message
    // number.
    std::optional<Notification> WaitForMessage(std::uint32_t message, std::chrono::milliseconds timeout);
    std::optional<Notification> TryTake();
    std::size_t Size() const;

private:
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::deque<Notification> queue_;
};

} // namespace qav
