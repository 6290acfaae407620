#include "platform/StartupDirectory.h"

#include <filesystem>
#include <system_error>

namespace qav {

std::string CaptureStartupDirectory()
{
    std::error_code ec;
    std::string dir = std::filesystem::current_path(ec).string();
    if (ec || dir.empty())
        return {};
    // Windows takes "/" as well, but shows and gives its own separator.
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    if (dir.back() != '/' && dir.back() != separator)
        dir.push_back(separator);
    return dir;
}

} // namespace qav
