#include "serial/PortList.h"

#include "platform/Atol.h"
#include "platform/PortMap.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <limits>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qav {
namespace {

constexpr std::string_view kSerial8250Prefix = "ttyS";

bool MayOpenByAccess(const std::string& path)
{
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

bool Exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

// A ttyS whose "type" reads 0 (or cannot be read) has no UART behind it.
bool HasUart(const std::string& sysDir)
{
    std::ifstream in(sysDir + "/type");
    long type = 0;
    return static_cast<bool>(in >> type) && type != 0;
}

std::string Entry(int number, const std::string& device, std::string_view note)
{
    std::string e = PortName(number) + " " + device;
    if (!note.empty())
        e += " (" + std::string(note) + ")";
    return e;
}

} // namespace

std::vector<std::string> ListSerialPorts()
{
    return ListSerialPorts(PortScanRoots{});
}

std::vector<std::string> ListSerialPorts(const PortScanRoots& roots)
{
    const auto mayOpen = roots.mayOpen ? roots.mayOpen : MayOpenByAccess;
    std::vector<std::string> entries;
    std::set<int> taken;

    for (const PortAlias& alias : ListPortAliases()) {
        taken.insert(alias.number);
        std::string_view note;
        if (!alias.live)
            note = "missing";
        else if (!mayOpen(AliasPath(alias.number)))
            note = "no permission";
        entries.push_back(Entry(alias.number, alias.target, note));
    }

    std::vector<std::pair<int, std::string>> detected;
    if (DIR* d = ::opendir(roots.sysClassTty.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            const int number = PortNumberForDevice(name);
            if (number == 0 || taken.contains(number))
                continue;
            const std::string sysDir = roots.sysClassTty + "/" + name;
            if (!Exists(sysDir + "/device/driver"))
                continue;
            if (name.starts_with(kSerial8250Prefix) && !HasUart(sysDir))
                continue;
            const std::string device = roots.devDir + "/" + name;
            if (!Exists(device))
                continue;
            detected.emplace_back(number, Entry(number, device, mayOpen(device) ? "" : "no permission"));
        }
        ::closedir(d);
    }
    std::sort(detected.begin(), detected.end());
    for (auto& [number, entry] : detected)
        entries.push_back(std::move(entry));
    return entries;
}

int PortNumberFromEntry(std::string_view entry)
{
    if (entry.size() < 4)
        return 0;
    const std::int64_t n = ReadAtol(entry.substr(3));
    return static_cast<int>(
        std::clamp<std::int64_t>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace qav
