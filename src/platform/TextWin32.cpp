#include "platform/TextWin32.h"

#include <array>
#include <cerrno>

namespace qav::win32 {

std::wstring Widen(std::string_view text)
{
    if (text.empty())
        return {};
    const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr,
                          nullptr);
    return narrow;
}

int ErrnoFromError(DWORD error)
{
    struct Row
    {
        DWORD error;
        int errnoValue;
    };
    static constexpr std::array kRows{
        Row{ERROR_FILE_NOT_FOUND, ENOENT},     Row{ERROR_PATH_NOT_FOUND, ENOENT},
        Row{ERROR_INVALID_NAME, ENOENT},       Row{ERROR_BAD_PATHNAME, ENOENT},
        Row{ERROR_ACCESS_DENIED, EACCES},      Row{ERROR_SHARING_VIOLATION, EBUSY},
        Row{ERROR_LOCK_VIOLATION, EBUSY},      Row{ERROR_BUSY, EBUSY},
        Row{ERROR_FILE_EXISTS, EEXIST},        Row{ERROR_ALREADY_EXISTS, EEXIST},
        Row{ERROR_DISK_FULL, ENOSPC},          Row{ERROR_HANDLE_DISK_FULL, ENOSPC},
        Row{ERROR_NOT_ENOUGH_MEMORY, ENOMEM},  Row{ERROR_OUTOFMEMORY, ENOMEM},
        Row{ERROR_INVALID_PARAMETER, EINVAL},  Row{ERROR_WRITE_PROTECT, EROFS},
        Row{ERROR_DEVICE_NOT_CONNECTED, ENXIO}, Row{ERROR_DEV_NOT_EXIST, ENXIO},
        Row{ERROR_BAD_UNIT, ENODEV},           Row{ERROR_NOT_READY, ENXIO},
        Row{ERROR_DIRECTORY, ENOTDIR},         Row{ERROR_OPERATION_ABORTED, ECANCELED},
        Row{ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    };
    for (const Row& row : kRows) {
        if (row.error == error)
            return row.errnoValue;
    }
    return EIO;
}

std::string ErrorText(DWORD error)
{
    std::array<wchar_t, 512> buffer{};
    const DWORD n = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                     MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer.data(),
                                     static_cast<DWORD>(buffer.size()), nullptr);
    std::wstring text(buffer.data(), n);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.'))
        text.pop_back();
    if (text.empty())
        return "error " + std::to_string(error);
    return Narrow(text);
}

} // namespace qav::win32
