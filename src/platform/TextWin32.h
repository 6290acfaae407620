#pragma once
// What the Windows files of the port layer and the platform folder share:
// narrow text to and from the system's wide text, and Win32 error codes as
// errno values and words. Windows only.
#include "platform/WindowsApi.h"

#include <string>
#include <string_view>

namespace qav::win32 {

// Narrow text is in the process's code page, as the C runtime, the standard
// streams and std::filesystem take it.
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// The errno value closest to a Win32 error code (EIO when none is).
int ErrnoFromError(DWORD error);
// The system's words for a Win32 error code, without the trailing full stop
// and line break; "error <n>" when it has none.
std::string ErrorText(DWORD error);

} // namespace qav::win32
