#include "view/ComPortChoice.h"

#include "files/SettingsFile.h"
#include "serial/PortList.h"
#include "ui/FormHost.h"

#include <QStringList>

namespace qav {

ComPortChoice::ComPortChoice(FormHost& form, int listId, std::string_view indexKey, std::string_view nameKey)
    : form_(form), listId_(listId), indexKey_(indexKey), nameKey_(nameKey)
{
}

void ComPortChoice::Init(const std::string& startupDirectory, int avoidPort)
{
    const bool stored = !startupDirectory.empty();
    index_ = stored ? ReadStoredIndex(startupDirectory, indexKey_) : 0;
    Fill();
    const int count = form_.ItemCount(listId_);
    if (const int named = stored ? FindPort(ReadStoredPortName(startupDirectory, nameKey_)) : -1; named >= 0)
        index_ = named;
    else if (index_ >= count)
        index_ = 0;
    if (avoidPort > 0 && index_ >= 0 && index_ < count &&
        PortNumberFromEntry(form_.ItemText(listId_, index_).toStdString()) == avoidPort) {
        index_ = -1;
        for (int i = 0; i < count && index_ < 0; ++i)
            if (PortNumberFromEntry(form_.ItemText(listId_, i).toStdString()) != avoidPort)
                index_ = i;
    }
    Select(index_);
}

void ComPortChoice::Refill()
{
    const int chosen = portNumber_;
    Fill();
    const int at = chosen > 0 ? FindPort(chosen) : -1;
    form_.SetSelection(listId_, at >= 0 ? at : index_);
    TakeSelection();
}

void ComPortChoice::TakeSelection()
{
    index_ = form_.Selection(listId_);
    TakePortNumber();
}

bool ComPortChoice::Choose(int number)
{
    Fill();
    const int at = FindPort(number);
    if (at >= 0)
        index_ = at;
    Select(index_);
    return at >= 0;
}

void ComPortChoice::Save(const std::string& startupDirectory) const
{
    if (startupDirectory.empty())
        return;
    WriteStoredIndex(startupDirectory, indexKey_, index_);
    WriteStoredPortName(startupDirectory, nameKey_, portNumber_);
}

void ComPortChoice::Fill()
{
    QStringList entries;
    for (const std::string& entry : ListSerialPorts())
        entries << QString::fromStdString(entry);
    form_.SetItems(listId_, entries);
}

int ComPortChoice::FindPort(int number) const
{
    if (number <= 0)
        return -1;
    for (int i = 0; i < form_.ItemCount(listId_); ++i)
        if (PortNumberFromEntry(form_.ItemText(listId_, i).toStdString()) == number)
            return i;
    return -1;
}

void ComPortChoice::Select(int index)
{
    // An index past the end selects nothing; the position is kept.
    form_.SetSelection(listId_, index);
    TakePortNumber();
}

void ComPortChoice::TakePortNumber()
{
    const int selected = form_.Selection(listId_);
    portNumber_ = selected < 0 ? 0 : PortNumberFromEntry(form_.ItemText(listId_, selected).toStdString());
}

} // namespace qav
