#pragma once
// The GUI pieces every upgrade owner shares around its UpgradeDriver.
#include "ui/UpgradeNotifyTarget.h"

class QObject;
class QWidget;

namespace qav {

class IPrompts;
class UpgradeDriver;

// Gives `driver` a notification target that is a child of `owner` (so it
// goes with the owner) and initialises it: the "no file" state.
UpgradeNotifyTarget* InitUpgradeDriver(UpgradeDriver& driver, QObject* owner);

// "Open Firmware": the owner's file chooser; a cancelled chooser changes
// nothing, a chosen file is checked at once.
void OpenFirmwareFile(UpgradeDriver& driver, IPrompts& prompts, QWidget* owner);

} // namespace qav
