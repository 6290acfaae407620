#include "platform/UserFolders.h"

#include <cstdlib>

namespace qav {

std::string UserDataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return data;
    const char* home = std::getenv("HOME");
    if (home && home[0] != '\0')
        return std::string(home) + "/.local/share";
    return {};
}

std::string UserDataFolderMissing()
{
    return "HOME is not set";
}

std::tm LocalTime(std::time_t t)
{
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

} // namespace qav
