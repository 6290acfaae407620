// Port names and device families: the same on every platform.
#include "platform/PortMap.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace qav {
namespace {

constexpr std::array kFamilies{
    DeviceFamily{"ttyS", 1, 32},
    DeviceFamily{"ttyUSB", 33, 32},
    DeviceFamily{"ttyACM", 65, 32},
    DeviceFamily{"ttyAMA", 97, 32},
};

constexpr std::string_view kDevDir = "/dev/";

bool AllDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Decimal digits only, bounded so the conversion cannot overflow.
std::optional<int> SmallNumber(std::string_view digits)
{
    if (!AllDigits(digits) || digits.size() > 6)
        return std::nullopt;
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

} // namespace

std::string PortName(int number)
{
    return "COM" + std::to_string(number);
}

int PortNumberFromName(std::string_view name)
{
    if (name.size() < 4)
        return 0;
    for (std::size_t i = 0; i < 3; ++i) {
        const char c = static_cast<char>(name[i] & ~0x20);
        if (c != "COM"[i])
            return 0;
    }
    const auto n = SmallNumber(name.substr(3));
    return n && IsValidPortNumber(*n) ? *n : 0;
}

std::span<const DeviceFamily> DeviceFamilies()
{
    return kFamilies;
}

int PortNumberForDevice(std::string_view device)
{
    if (device.starts_with(kDevDir))
        device.remove_prefix(kDevDir.size());
    for (const DeviceFamily& f : kFamilies) {
        if (!device.starts_with(f.prefix))
            continue;
        const auto unit = SmallNumber(device.substr(f.prefix.size()));
        if (unit && *unit < f.units)
            return f.firstPort + *unit;
    }
    return 0;
}

std::string DeviceForPortNumber(int number)
{
    for (const DeviceFamily& f : kFamilies) {
        if (number >= f.firstPort && number < f.firstPort + f.units)
            return std::string(kDevDir) + std::string(f.prefix) + std::to_string(number - f.firstPort);
    }
    return {};
}

} // namespace qav
