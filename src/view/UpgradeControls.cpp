#include "view/UpgradeControls.h"

#include "ui/Prompts.h"
#include "view/UpgradeDriver.h"

namespace qav {

UpgradeNotifyTarget* InitUpgradeDriver(UpgradeDriver& driver, QObject* owner)
{
    auto* target =
        new UpgradeNotifyTarget([&driver](std::intptr_t lParam) { driver.OnNotification(lParam); }, owner);
    driver.Init(target->Sink());
    return target;
}

void OpenFirmwareFile(UpgradeDriver& driver, IPrompts& prompts, QWidget* owner)
{
    const QString path = prompts.OpenFileName(owner, QString::fromStdString(driver.ChooserTitle()),
                                              QString::fromStdString(driver.ChooserFilter()));
    if (!path.isEmpty())
        driver.OnFileChosen(path.toStdString());
}

} // namespace qav
