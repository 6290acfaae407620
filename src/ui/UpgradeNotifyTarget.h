#pragma once
// Where an owner's upgrade library posts its notifications: a small object
// living on the GUI thread that hands each WM_IAP_NOTIFY, in order, to the
// owner's upgrade driver. Destroying it (with its owner) detaches the sink,
// so a late post from the library is dropped. Beside it, the other GUI
// pieces every upgrade owner shares.
#include "ui/PostedNotify.h"

#include <QObject>

class QWidget;

#include <functional>
#include <memory>

namespace qav {

class IPrompts;
class UpgradeDriver;

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

// Gives `driver` a notification target that is a child of `owner` (so it
// goes with the owner) and initialises it: the "no file" state.
UpgradeNotifyTarget* InitUpgradeDriver(UpgradeDriver& driver, QObject* owner);

// "Open Firmware": the owner's file chooser; a cancelled chooser changes
// nothing.
void OpenFirmwareFile(UpgradeDriver& driver, IPrompts& prompts, QWidget* owner);

} // namespace qav
