#include "serial/LineEvents.h"
#include "ui/PostedNotify.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace qav {
namespace {

// Keeps the messages of the port notifications it receives.
class Receiver : public QObject
{
public:
    std::vector<std::uint32_t> messages;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == PortNotifyEvent::EventType()) {
            messages.push_back(static_cast<PortNotifyEvent*>(e)->message);
            return true;
        }
        return QObject::event(e);
    }
};

TEST(PostedNotify, DeliversOnTheTargetsThreadWhatItHandlesAndNothingAfterDetach)
{
    const std::vector<std::uint32_t> sent{WM_PORT_RECEIVED, WM_PORT_TXEMPTY, WM_PORT_CTS, WM_PORT_RECEIVED};
    const struct
    {
        bool filtered;
        std::vector<std::uint32_t> delivered;
    } cases[] = {
        {false, sent},
        {true, {WM_PORT_RECEIVED, WM_PORT_RECEIVED}},
    };
    for (const auto& c : cases) {
        Receiver receiver;
        auto sink = c.filtered ? std::make_shared<PostedNotifySink>(
                                     &receiver, std::initializer_list<std::uint32_t>{WM_PORT_RECEIVED})
                               : std::make_shared<PostedNotifySink>(&receiver);
        // From another thread, as the event thread posts.
        std::thread([&] {
            for (std::uint32_t m : sent)
                sink->Post(m, 7, 0);
        }).join();
        QCoreApplication::processEvents();
        EXPECT_EQ(receiver.messages, c.delivered) << "filtered " << c.filtered;
        sink->Detach();
        sink->Post(WM_PORT_RECEIVED, 7, 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(receiver.messages, c.delivered) << "after detach";
    }
}

} // namespace
} // namespace qav
