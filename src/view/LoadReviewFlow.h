#pragma once
// The review both screens show before a configuration file reaches a
// connected board: what the file changes (compared as files carry the
// values, ConfigDiff.h), what it lacks and what it has that is no
// parameter. GUI thread only.
#include "files/ConfigDiff.h"
#include "files/ParamReference.h"

#include <QString>

#include <span>
#include <string>
#include <string_view>
#include <vector>

class QWidget;

namespace qav {

class IPrompts;

struct PendingLoad
{
    QString path;
    QString board; // "controller", "motor board"
    std::string_view section;
    std::span<const ConfigKeyRange> keys;        // those a load reads
    std::span<const std::string_view> alsoKnown; // saved but never loaded: not unknown
    std::vector<ConfigDifference> changes;       // the set before and after, as a save writes them
    std::span<const ParamFacts> facts;           // the board's reference
    std::vector<std::string_view> missing;       // keys the file lacks
};

// True when the user applies the file. A file that changes nothing says so
// in a message box and gives false: there is nothing to send.
bool ConfirmLoad(IPrompts& prompts, QWidget* owner, const PendingLoad& load);

} // namespace qav
