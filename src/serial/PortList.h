#pragma once
// Discovery of installed serial ports, as entries for a port list, and the
// rule that turns a chosen entry back into a port number.
//
// Entries read "COM<n> <device>" with an optional note in parentheses:
// aliases first (by number), then detected devices (by number) whose number
// no alias has taken. Notes: "(missing)" for an alias whose device is gone,
// "(no permission)" for a device the user may not open.
//
// Detected devices are the ttys under /sys/class/tty that belong to a device
// family of the device map and have a driver bound. Serial ports of the
// 8250 kind are listed only when the kernel found a UART behind them (their
// "type" attribute is not 0): the kernel lists dozens of ttyS that do not
// exist.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qav {

struct PortScanRoots
{
    std::string sysClassTty = "/sys/class/tty";
    std::string devDir = "/dev";
    // Whether the user may open a device for reading and writing; access()
    // when empty.
    std::function<bool(const std::string& path)> mayOpen;
};

std::vector<std::string> ListSerialPorts();
std::vector<std::string> ListSerialPorts(const PortScanRoots& roots);

// The text after the first three characters read by the atol rule:
// "COM12" gives 12, "COM3 /dev/ttyS2" gives 3, fewer than four characters
// give 0. Values beyond the int range saturate.
int PortNumberFromEntry(std::string_view entry);

} // namespace qav
