#include "view/ScreenCommands.h"

#include "ui/FormHost.h"
#include "ui/Prompts.h"
#include "view/EditTables.h"
#include "view/ScreenBoxes.h"
#include "view/ScreenStatus.h"
#include "view/ScreenStore.h"

#include <QCoreApplication>

namespace qav {
namespace {

using namespace edit;

} // namespace

// ---- motor direction ------------------------------------------------------------

void ScreenCommands::OnMotorReverse(int checkBox)
{
    const DirectionRow* d = FindRow(kDirections, checkBox, &DirectionRow::checkBox);
    // The box has already toggled when the click arrives.
    const bool reversed = form_.Checked(checkBox);
    params_.*d->param = reversed ? kReversed : kNormal;
    status_.ShowMessage(Said(reversed ? d->reversed : d->normal));
    store_.ServoCenters();
    link_.SelectFrameType(kTypeGains);
}

// ---- one-shot commands -------------------------------------------------------------

void ScreenCommands::OnCommandButton(int button)
{
    const CommandRow* c = FindRow(kCommands, button, &CommandRow::button);
    // The code rides in every frame until the controller reports its result.
    link_.commandCode = c->code;
    link_.SelectFrameType(kTypePoll);
    status_.ShowMessage(Said(c->message));
}

void ScreenCommands::OnWriteSettingsToFlash()
{
    // The write itself follows the upload: the acknowledgement of its last
    // frame sends the flash command while this flag is set.
    link_.flashWritePending = true;
    boxes_.ReadAll();
    boxes_.SyncSliders();
    store_.Gains();
    store_.ServoCenters();
    store_.LimitsAndRc();
    link_.SelectFrameType(kTypeGains);
    status_.ShowMessage(QStringLiteral("$INKgreen$") +
                        QCoreApplication::translate("ScreenCommands", "Writting setting to flash..."));
}

// ---- lists -------------------------------------------------------------------------

void ScreenCommands::OnReceiverTypeSelected()
{
    const int index = form_.Selection(kReceiverList.list);
    if (index < 0)
        return;
    std::uint8_t& type = params_.*kReceiverList.param;
    const std::uint8_t before = type;
    type = static_cast<std::uint8_t>(ItemValue(kReceiverList.param, index));
    link_.SelectFrameType(kTypeGains);
    if (type == before)
        return;
    // The link timer keeps sending while the notice is open.
    prompts_.ReceiverTypeChanged(form_.window());
    status_.ShowMessage(
        QStringLiteral("$INKblue$") +
        QCoreApplication::translate("ScreenCommands", "Receiver type uploaded successfully!"));
}

void ScreenCommands::OnModeListSelected(int list)
{
    const ModeListRow* m = FindRow(kModeLists, list, &ModeListRow::list);
    const std::span<const ParamChoice> items = Rules(m->param).choices;
    const int index = form_.Selection(list);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return;
    const auto i = static_cast<std::size_t>(index);
    params_.*m->param = static_cast<std::uint8_t>(items[i].value);
    status_.ShowMessage(Said(m->messages[i]));
    link_.SelectFrameType(kTypeGains);
}

} // namespace qav
