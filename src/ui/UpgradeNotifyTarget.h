#pragma once
// Where an owner's upgrade library posts its notifications: a small object
// living on the GUI thread that hands each WM_IAP_NOTIFY, in order, to its
// handler. Destroying it (with its owner) detaches the sink, so a late post
// from the library is dropped.
#include "ui/PostedNotify.h"

#include <QObject>

#include <functional>
#include <memory>

namespace qav {

class UpgradeNotifyTarget final : public QObject
{
public:
    using Handler = std::function<void(std::intptr_t lParam)>;
    UpgradeNotifyTarget(Handler handler, QObject* parent);
    ~UpgradeNotifyTarget() override;

    // The sink to give the library; posts from any thread.
    std::weak_ptr<INotifySink> Sink() const { return sink_; }

protected:
    bool event(QEvent* e) override;

private:
    Handler handler_;
    std::shared_ptr<PostedNotifySink> sink_;
};

} // namespace qav
