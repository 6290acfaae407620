#include "view/ScreenStatus.h"

#include "protocol/ControllerLink.h"
#include "ui/StatusLine.h"

namespace qav {

void ScreenStatus::ShowMessage(const QString& text)
{
    if (!link_.linkEstablished || !gateOpen_)
        return;
    SetText(QString());
    SetText(text);
}

void ScreenStatus::SetText(const QString& text)
{
    if (line_)
        line_->SetStatusText(text);
}

void ScreenStatus::SetDetails(const QString& details)
{
    if (line_)
        line_->SetStatusDetails(details);
}

void ScreenStatus::SetProgress(int position)
{
    if (line_)
        line_->SetProgress(position);
}

} // namespace qav
