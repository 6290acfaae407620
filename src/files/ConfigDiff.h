#pragma once
// Comparing controller parameter sets key by key, as configuration files
// carry them: the 23 keys a load reads, each value as the load puts it into
// the set and a save writes it back ("0300" and "300" are the same value, and
// so are -1 and 255 for a motor direction).
#include "protocol/ControllerProtocol.h"

#include <string>
#include <vector>

namespace qav {

struct ConfigDifference
{
    std::string key;
    std::string a, b; // values as a save writes them
};

// The keys whose values differ, in file order.
std::vector<ConfigDifference> DiffControllerParams(const ControllerParams& a, const ControllerParams& b);

// A controller configuration file read by the load rules (a key the file
// lacks reads as 0), and the keys it lacks.
struct LoadedControllerConfig
{
    ControllerParams params;
    std::vector<std::string> missing;
};

// False with `why` set to one sentence when the file cannot be read or has
// no [PARAMETERS] section (it would load as all zeros).
bool LoadControllerConfigForDiff(const std::string& path, LoadedControllerConfig& out, std::string& why);

} // namespace qav
