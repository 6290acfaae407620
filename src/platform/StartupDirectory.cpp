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
    if (dir.back() != '/')
        dir.push_back('/');
    return dir;
}

} // namespace qav
