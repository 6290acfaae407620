#pragma once
// Notifications from a serial link's event thread, delivered on the GUI
// thread: the stand-in for posting a window message. The sink posts a
// QEvent to its target; once the target has detached (its window is going
// away), posts are dropped, as a message to a destroyed window would be.
#include "platform/Notify.h"

#include <QEvent>
#include <QObject>

#include <initializer_list>
#include <mutex>
#include <vector>

namespace qav {

class PortNotifyEvent : public QEvent
{
public:
    static QEvent::Type EventType();
    PortNotifyEvent(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam)
        : QEvent(EventType()), message(message), wParam(wParam), lParam(lParam)
    {
    }
    const std::uint32_t message;
    const std::intptr_t wParam;
    const std::intptr_t lParam;
};

class PostedNotifySink final : public INotifySink
{
public:
    explicit PostedNotifySink(QObject* target) : target_(target) {}
    // A target that acts on `handled` messages only: the others, which it
    // would receive and ignore, are not posted, so they never wake the GUI
    // thread (a link reports every frame sent, 50 a second).
    PostedNotifySink(QObject* target, std::initializer_list<std::uint32_t> handled)
        : target_(target), handled_(handled)
    {
    }
    // Any thread.
    void Post(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;
    // GUI thread, before the target is destroyed.
    void Detach();

private:
    std::mutex lock_;
    QObject* target_;
    std::vector<std::uint32_t> handled_; // empty: every message
};

} // namespace qav
