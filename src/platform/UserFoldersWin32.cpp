#include "platform/UserFolders.h"

#include "platform/TextWin32.h"

#include <array>

namespace qav {

std::string UserDataFolder()
{
    std::array<wchar_t, 1024> buffer{};
    const DWORD n = ::GetEnvironmentVariableW(L"LOCALAPPDATA", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size())
        return {};
    return win32::Narrow(std::wstring_view(buffer.data(), n));
}

std::string UserDataFolderMissing()
{
    return "LOCALAPPDATA is not set";
}

std::tm LocalTime(std::time_t t)
{
    std::tm local{};
    localtime_s(&local, &t);
    return local;
}

} // namespace qav
