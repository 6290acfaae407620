#pragma once
// The Linux port scan with its roots, so tests can scan a made-up sysfs.
#include "serial/PortList.h"

#include <functional>
#include <string>
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

std::vector<SerialPortInfo> ScanSerialPorts(const PortScanRoots& roots);
std::vector<std::string> ListSerialPorts(const PortScanRoots& roots);

// The USB device of tty `ttyName` (for example "ttyUSB0") under the
// /sys/class/tty folder `sysClassTty`: the nearest folder above the tty's
// device that has an "idVendor".
UsbPortInfo ReadUsbPortInfo(const std::string& sysClassTty, const std::string& ttyName);

} // namespace qav
