#pragma once
// The COM device map: which device a port name such as "COM3" stands for.
//
// A name is first looked up in the alias folder ($QAV_NUVA_PORTS_DIR, else
// ~/.config/qav-nuva/ports), which holds symbolic links named COM<n> pointing
// at device paths; the simulator registers its pseudo-terminals there and
// users can pin a name to a device. Failing an alias, detected devices are
// numbered by family:
//
//   ttyS0..ttyS31     COM1..COM32
//   ttyUSB0..ttyUSB31 COM33..COM64
//   ttyACM0..ttyACM31 COM65..COM96
//   ttyAMA0..ttyAMA31 COM97..COM128
//
// Numbers above 128 (up to 1024) are reachable only through aliases.
//
// On Windows a name is the system's own: "COM<n>" opens "\\.\COM<n>". There
// is no alias folder there (PortAliasDirectory is empty, so no alias is
// found or can be made).
//
// All functions are safe to call from any thread; the alias folder is read
// fresh on every call.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace qav {

inline constexpr int kMinPortNumber = 1;
inline constexpr int kMaxPortNumber = 1024;

inline constexpr bool IsValidPortNumber(int n)
{
    return n >= kMinPortNumber && n <= kMaxPortNumber;
}

// "COM<n>" for any n.
std::string PortName(int number);
// The number of a name "COM<n>" (letters in any case, n in 1..1024);
// 0 for anything else.
int PortNumberFromName(std::string_view name);

struct DeviceFamily
{
    std::string_view prefix; // device name without the number, e.g. "ttyUSB"
    int firstPort;           // COM number of unit 0
    int units;               // units numbered, from 0
};
std::span<const DeviceFamily> DeviceFamilies();

// COM number of a device name ("ttyUSB0" or "/dev/ttyUSB0"); 0 when the
// device belongs to no family or its unit is beyond the family's range.
int PortNumberForDevice(std::string_view device);
// "/dev/<family><unit>" for a number inside a family's range; empty otherwise.
std::string DeviceForPortNumber(int number);

// The alias folder; empty when neither the variable nor HOME is set.
std::string PortAliasDirectory();
// Path of the alias link for a number (it may not exist).
std::string AliasPath(int number);
// Where the alias points, as written in the link; nothing when there is no
// alias (or it is not a symbolic link).
std::optional<std::string> AliasTarget(int number);
// An alias is live when it exists and the device it points at exists.
bool IsAliasLive(int number);

// Points COM<number> at target, replacing an existing alias in one step
// (the link is made under a temporary name and renamed over). Creates the
// alias folder when missing.
bool RegisterPortAlias(int number, const std::string& target, std::error_code* error = nullptr);
// Removes the alias. With expectedTarget given, only an alias that still
// points there is removed, so an alias re-registered by someone else stays.
// True when no such alias remains afterwards for this caller's purpose.
bool UnregisterPortAlias(int number, std::string_view expectedTarget = {});

struct PortAlias
{
    int number = 0;
    std::string target;
    bool live = false;
};
// Every alias named COM1..COM1024 in the folder, by number.
std::vector<PortAlias> ListPortAliases();

// The path to open for a port name: an absolute path is taken as it is;
// "COM<n>" gives the alias link when one exists, else the family device
// (on Windows "\\.\COM<n>"). Empty when the name stands for nothing.
std::string ResolvePortDevice(std::string_view name);

} // namespace qav
