// What the port list does the same on every platform; the scan itself is
// the platform's (PortListPosix.cpp, PortListWin32.cpp).
#include "serial/PortList.h"

#include "platform/Atol.h"
#include "platform/PortMap.h"
#include "serial/MemoryPort.h"

#include <algorithm>
#include <limits>
#include <set>

namespace qav {

std::string SerialPortInfo::Name() const
{
    return PortName(number);
}

std::string SerialPortInfo::Entry() const
{
    std::string e = Name() + " " + device;
    std::string what = !usb.product.empty() ? usb.product : usb.manufacturer;
    if (what.empty() && !usb.vendorId.empty())
        what = "USB " + usb.vendorId + ":" + usb.productId;
    if (!what.empty())
        e += " " + what;
    if (!what.empty() && !usb.serial.empty())
        e += " (" + usb.serial + ")";
    if (!note.empty())
        e += " (" + note + ")";
    return e;
}

std::vector<std::string> PortEntries(const std::vector<SerialPortInfo>& ports)
{
    std::vector<std::string> entries;
    for (const SerialPortInfo& port : ports)
        entries.push_back(port.Entry());
    return entries;
}

std::vector<std::string> ListSerialPorts()
{
    return PortEntries(ScanSerialPorts());
}

std::vector<SerialPortInfo> PortsFromDeviceMap(const std::vector<DeviceMapValue>& values)
{
    std::vector<SerialPortInfo> ports;
    std::set<int> taken;
    // In-memory ports (tests) come first: they are what the name opens.
    for (const int number : MemoryPortNumbers()) {
        taken.insert(number);
        ports.push_back({number, "(in memory)", {}, {}});
    }
    for (const DeviceMapValue& value : values) {
        const int number = PortNumberFromName(value.port);
        if (number == 0 || !taken.insert(number).second)
            continue;
        ports.push_back({number, value.device, {}, {}});
    }
    return ports;
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
