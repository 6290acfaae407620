#include "files/SettingsFile.h"

#include "platform/PortMap.h"

#include <algorithm>
#include <limits>

namespace qav {

std::string SettingsFilePath(const std::string& startupDirectory)
{
    return startupDirectory + std::string(kSettingsFileName);
}

std::int32_t ReadStoredIndex(const std::string& startupDirectory, std::string_view key)
{
    const std::int64_t v = GetPrivateProfileInt(kSettingsSection, key, SettingsFilePath(startupDirectory));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

Result WriteStoredIndex(const std::string& startupDirectory, std::string_view key, std::int32_t index)
{
    return WritePrivateProfileString(kSettingsSection, key, std::to_string(index),
                                     SettingsFilePath(startupDirectory));
}

int ReadStoredPortName(const std::string& startupDirectory, std::string_view key)
{
    return PortNumberFromName(GetPrivateProfileString(kSettingsSection, key, "", SettingsFilePath(startupDirectory)));
}

Result WriteStoredPortName(const std::string& startupDirectory, std::string_view key, int number)
{
    return WritePrivateProfileString(kSettingsSection, key, number > 0 ? PortName(number) : std::string(),
                                     SettingsFilePath(startupDirectory));
}

} // namespace qav
