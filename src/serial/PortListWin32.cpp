// The port list on Windows: the system's serial-device map.
#include "platform/TextWin32.h"
#include "serial/PortList.h"

#include <array>

namespace qav {
namespace {

// Every value of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM in the registry's order;
// none when the key is missing (no serial port was ever installed).
std::vector<DeviceMapValue> ReadDeviceMap()
{
    std::vector<DeviceMapValue> values;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        std::array<wchar_t, 256> name{};
        std::array<wchar_t, 256> data{};
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LONG r = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        // A value too long to be a port name, or not text, names no port.
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        std::wstring port(data.data(), dataBytes / sizeof(wchar_t));
        while (!port.empty() && port.back() == L'\0')
            port.pop_back();
        values.push_back({win32::Narrow(std::wstring_view(name.data(), nameLength)), win32::Narrow(port)});
    }
    ::RegCloseKey(key);
    return values;
}

} // namespace

std::vector<SerialPortInfo> ScanSerialPorts()
{
    return PortsFromDeviceMap(ReadDeviceMap());
}

} // namespace qav
