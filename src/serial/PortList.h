#pragma once
// Discovery of installed serial ports, as entries for a port list, and the
// rule that turns a chosen entry back into a port number. The scan is the
// platform's: on Linux the device map's aliases and the devices sysfs knows
// (PortListPosix.h, below), on Windows the system's serial-device map in the
// registry (HARDWARE\DEVICEMAP\SERIALCOMM), whose entries read
// "COM3 \Device\Serial0" (the port, then the driver's device name), in the
// registry's order after the in-memory ports.
//
// On Linux, entries read "COM<n> <device>", then for a USB adapter its product name
// and, in parentheses, its serial number as sysfs reports them
// ("COM33 /dev/ttyUSB0 CP2102 USB to UART Bridge Controller (0001)"), then
// an optional note in parentheses: in-memory ports registered by tests
// first ("COM201 (in memory)", see MemoryPort.h), then aliases (by number),
// then detected devices (by number) whose number neither has taken. Notes: "(missing)"
// for an alias whose device is gone, "(no permission)" for a device the
// user may not open. An alias to a device with a tty under /sys/class/tty
// gets that device's product name too.
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

// What sysfs tells of the USB device behind a tty; all empty for a port
// that is not on USB. Texts are trimmed, control characters become spaces.
struct UsbPortInfo
{
    std::string vendorId, productId; // four hex digits, as sysfs gives them
    std::string manufacturer, product, serial;
};

struct SerialPortInfo
{
    int number = 0;     // COM number
    std::string device; // the path to open (an alias: its target)
    std::string note;   // "missing", "no permission" or empty
    UsbPortInfo usb;

    std::string Name() const; // "COM<n>"
    // The port list entry, as described above.
    std::string Entry() const;
};

// The system's ports, as the platform finds them.
std::vector<SerialPortInfo> ScanSerialPorts();
std::vector<std::string> ListSerialPorts();
std::vector<std::string> PortEntries(const std::vector<SerialPortInfo>& ports);

// One value of the Windows serial-device map: its name (the driver's device,
// "\Device\Serial0") and its data (the port, "COM3").
struct DeviceMapValue
{
    std::string device;
    std::string port;
};
// The port list from the device map's values in the registry's order: the
// in-memory ports first, then each value whose data names a port COM1 to
// COM1024 that is not listed yet.
std::vector<SerialPortInfo> PortsFromDeviceMap(const std::vector<DeviceMapValue>& values);

// The text after the first three characters read by the atol rule:
// "COM12" gives 12, "COM3 /dev/ttyS2" gives 3, fewer than four characters
// give 0. Values beyond the int range saturate.
int PortNumberFromEntry(std::string_view entry);

} // namespace qav
