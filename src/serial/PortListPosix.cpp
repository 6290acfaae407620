// The port list on Linux: in-memory ports, aliases and the serial devices
// sysfs knows.
#include "serial/PortListPosix.h"

#include "platform/PortMap.h"
#include "serial/MemoryPort.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
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

// A sysfs attribute's first line, blanks trimmed; a USB string descriptor
// is the device's to choose, so control characters become spaces and the
// length is bounded.
std::string ReadAttribute(const std::string& path)
{
    constexpr std::size_t kMaxLength = 128;
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    if (line.size() > kMaxLength)
        line.resize(kMaxLength);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    const auto first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

std::string RealPath(const std::string& path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Dirname(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

} // namespace

UsbPortInfo ReadUsbPortInfo(const std::string& sysClassTty, const std::string& ttyName)
{
    // A ttyACM's device is the USB interface, a ttyUSB's the serial port
    // below it; the USB device is one or two folders up.
    constexpr int kLevels = 4;
    std::string dir = RealPath(sysClassTty + "/" + ttyName + "/device");
    for (int level = 0; level < kLevels && !dir.empty() && dir != "/"; ++level, dir = Dirname(dir)) {
        if (!Exists(dir + "/idVendor"))
            continue;
        return {ReadAttribute(dir + "/idVendor"), ReadAttribute(dir + "/idProduct"),
                ReadAttribute(dir + "/manufacturer"), ReadAttribute(dir + "/product"),
                ReadAttribute(dir + "/serial")};
    }
    return {};
}



std::vector<SerialPortInfo> ScanSerialPorts()
{
    return ScanSerialPorts(PortScanRoots{});
}

std::vector<SerialPortInfo> ScanSerialPorts(const PortScanRoots& roots)
{
    const auto mayOpen = roots.mayOpen ? roots.mayOpen : MayOpenByAccess;
    std::vector<SerialPortInfo> ports;
    std::set<int> taken;

    // In-memory ports (tests) come first: they are what the name opens.
    for (const int number : MemoryPortNumbers()) {
        taken.insert(number);
        ports.push_back({number, "(in memory)", {}, {}});
    }
    for (const PortAlias& alias : ListPortAliases()) {
        if (!taken.insert(alias.number).second)
            continue;
        SerialPortInfo port{alias.number, alias.target, {}, {}};
        if (!alias.live) {
            port.note = "missing";
        } else {
            if (!mayOpen(AliasPath(alias.number)))
                port.note = "no permission";
            const std::string name = BaseName(RealPath(alias.target));
            if (!name.empty() && Exists(roots.sysClassTty + "/" + name))
                port.usb = ReadUsbPortInfo(roots.sysClassTty, name);
        }
        ports.push_back(std::move(port));
    }

    std::vector<SerialPortInfo> detected;
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
            detected.push_back({number, device, mayOpen(device) ? "" : "no permission",
                                ReadUsbPortInfo(roots.sysClassTty, name)});
        }
        ::closedir(d);
    }
    std::sort(detected.begin(), detected.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.number < b.number; });
    for (SerialPortInfo& port : detected)
        ports.push_back(std::move(port));
    return ports;
}


std::vector<std::string> ListSerialPorts(const PortScanRoots& roots)
{
    return PortEntries(ScanSerialPorts(roots));
}


} // namespace qav
