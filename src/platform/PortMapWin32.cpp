// The Windows device map: a port's name is the system's own, so there is
// nothing to look up and no alias folder.
#include "platform/PortMap.h"

namespace qav {

std::string PortAliasDirectory()
{
    return {};
}

std::string AliasPath(int)
{
    return {};
}

std::optional<std::string> AliasTarget(int)
{
    return std::nullopt;
}

bool IsAliasLive(int)
{
    return false;
}

bool RegisterPortAlias(int, const std::string&, std::error_code* error)
{
    if (error)
        *error = std::make_error_code(std::errc::operation_not_supported);
    return false;
}

bool UnregisterPortAlias(int number, std::string_view)
{
    // No alias can exist, so none remains.
    return IsValidPortNumber(number);
}

std::vector<PortAlias> ListPortAliases()
{
    return {};
}

std::string ResolvePortDevice(std::string_view name)
{
    // The device namespace reaches every COM port, COM10 and above too.
    if (name.starts_with("\\\\.\\"))
        return std::string(name);
    const int number = PortNumberFromName(name);
    if (number == 0)
        return {};
    return "\\\\.\\" + PortName(number);
}

} // namespace qav
