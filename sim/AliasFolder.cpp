#include "AliasFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace qav::sim {
namespace {

std::string AliasFolder()
{
    if (const char* dir = std::getenv("QAV_NUVA_PORTS_DIR"); dir != nullptr && *dir != '\0')
        return dir;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.config/qav-nuva/ports";
    return {};
}

} // namespace

std::string AliasLinkPath(int number)
{
    const std::string folder = AliasFolder();
    return folder.empty() ? std::string() : folder + "/COM" + std::to_string(number);
}

bool RegisterAlias(int number, const std::string& target, std::string* error)
{
    const std::string link = AliasLinkPath(number);
    if (link.empty()) {
        if (error)
            *error = "no alias folder: neither QAV_NUVA_PORTS_DIR nor HOME is set";
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(link).parent_path(), ec);
    const std::string tmp = link + ".new" + std::to_string(getpid());
    unlink(tmp.c_str());
    if (symlink(target.c_str(), tmp.c_str()) != 0 || rename(tmp.c_str(), link.c_str()) != 0) {
        if (error)
            *error = std::string("cannot register ") + link + ": " + std::strerror(errno);
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

void UnregisterAlias(int number, const std::string& target)
{
    std::string current;
    const std::string link = AliasLinkPath(number);
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str());
}

bool AliasIsLive(int number, std::string* target)
{
    const std::string link = AliasLinkPath(number);
    char buf[4096];
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n < 0)
        return false;
    if (target)
        target->assign(buf, static_cast<std::size_t>(n));
    return access(link.c_str(), F_OK) == 0;
}

} // namespace qav::sim
