// The alias folder and the name-to-device rule of the Linux device map.
#include "platform/PortMap.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qav {
namespace {

bool MakeDirectories(const std::string& path, std::error_code& error)
{
    std::string partial;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty())
            continue;
        if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) {
            error.assign(errno, std::generic_category());
            return false;
        }
    }
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = std::make_error_code(std::errc::not_a_directory);
        return false;
    }
    return true;
}

std::optional<std::string> ReadLink(const std::string& path)
{
    std::array<char, PATH_MAX> buffer{};
    const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    // A target that fills the whole buffer may have been cut: treat it as
    // unreadable rather than hand out a wrong path.
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size())
        return std::nullopt;
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

} // namespace

std::string PortAliasDirectory()
{
    if (const char* dir = std::getenv("QAV_NUVA_PORTS_DIR"); dir && *dir)
        return dir;
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/qav-nuva/ports";
    return {};
}

std::string AliasPath(int number)
{
    const std::string dir = PortAliasDirectory();
    if (dir.empty())
        return {};
    return dir + "/" + PortName(number);
}

std::optional<std::string> AliasTarget(int number)
{
    const std::string path = AliasPath(number);
    if (path.empty())
        return std::nullopt;
    return ReadLink(path);
}

bool IsAliasLive(int number)
{
    const std::string path = AliasPath(number);
    struct stat st
    {
    };
    // lstat tells a link from nothing, stat follows it to the device.
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) &&
           ::stat(path.c_str(), &st) == 0;
}

bool RegisterPortAlias(int number, const std::string& target, std::error_code* error)
{
    std::error_code local;
    std::error_code& err = error ? *error : local;
    err.clear();
    if (!IsValidPortNumber(number) || target.empty()) {
        err = std::make_error_code(std::errc::invalid_argument);
        return false;
    }
    const std::string dir = PortAliasDirectory();
    if (dir.empty()) {
        err = std::make_error_code(std::errc::no_such_file_or_directory);
        return false;
    }
    if (!MakeDirectories(dir, err))
        return false;
    // A temporary name unique to this process and call, so that concurrent
    // registrations never trip over each other's half-made links.
    static std::atomic<unsigned> sequence{0};
    const std::string temp = dir + "/." + PortName(number) + ".tmp." + std::to_string(::getpid()) + "." +
                             std::to_string(sequence.fetch_add(1));
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        err.assign(errno, std::generic_category());
        return false;
    }
    if (::rename(temp.c_str(), (dir + "/" + PortName(number)).c_str()) != 0) {
        err.assign(errno, std::generic_category());
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool UnregisterPortAlias(int number, std::string_view expectedTarget)
{
    if (!IsValidPortNumber(number))
        return false;
    const std::string path = AliasPath(number);
    if (path.empty())
        return false;
    if (!expectedTarget.empty()) {
        const auto current = ReadLink(path);
        if (!current)
            return true; // already gone
        if (*current != expectedTarget)
            return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::vector<PortAlias> ListPortAliases()
{
    std::vector<PortAlias> aliases;
    const std::string dir = PortAliasDirectory();
    if (dir.empty())
        return aliases;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return aliases;
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        // Only canonical names: "COM7", not "com7" or "COM007", so that one
        // number has one alias.
        const int number = PortNumberFromName(name);
        if (number == 0 || name != PortName(number))
            continue;
        auto target = ReadLink(dir + "/" + std::string(name));
        if (!target)
            continue;
        aliases.push_back(PortAlias{number, std::move(*target), IsAliasLive(number)});
    }
    ::closedir(d);
    std::sort(aliases.begin(), aliases.end(),
              [](const PortAlias& a, const PortAlias& b) { return a.number < b.number; });
    return aliases;
}

std::string ResolvePortDevice(std::string_view name)
{
    if (name.starts_with('/'))
        return std::string(name);
    const int number = PortNumberFromName(name);
    if (number == 0)
        return {};
    const std::string alias = AliasPath(number);
    struct stat st
    {
    };
    if (!alias.empty() && ::lstat(alias.c_str(), &st) == 0)
        return alias;
    return DeviceForPortNumber(number);
}

} // namespace qav
