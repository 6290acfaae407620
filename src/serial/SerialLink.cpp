#include "serial/SerialLink.h"

#include "platform/PortMap.h"

#include <cerrno>

namespace qav {
namespace {

constexpr std::uint32_t kLinkBaud = 115200;
constexpr std::uint8_t kLinkDataBits = 8;

bool OpenAndStart(CSerialLink& link)
{
    if (!link.Open())
        return false;
    if (link.SetLine(kLinkBaud, CSerialLink::kNoParity, kLinkDataBits, CSerialLink::kOneStopBit) &&
        link.Setup() && link.StartMonitor(0))
        return true;
    link.Close(CSerialLink::kCloseWaitMs);
    return false;
}

} // namespace

std::string PortOpenFailure(std::string_view port, const Result& error)
{
    std::string text = "Cannot open " + std::string(port);
    if (!error.message.empty())
        text += ": " + error.message;
    return text + ".";
}

bool NameLinkDevice(CSerialLink& link, int portNumber)
{
    if (link.IsOpen())
        link.Close(CSerialLink::kCloseWaitMs);
    if (!IsValidPortNumber(portNumber)) {
        link.Fail(EINVAL, PortName(portNumber) + " is not a port: port numbers run from " +
                              std::to_string(kMinPortNumber) + " to " + std::to_string(kMaxPortNumber));
        return false;
    }
    link.SetPortNumber(portNumber);
    link.SetDeviceName(PortName(portNumber));
    return true;
}

bool OpenLinkSequence(CSerialLink& link, int portNumber)
{
    return NameLinkDevice(link, portNumber) && OpenAndStart(link);
}

bool NameLinkDevice(CSerialLink& link, std::string_view nameOrPath)
{
    if (link.IsOpen())
        link.Close(CSerialLink::kCloseWaitMs);
    if (nameOrPath.starts_with('/')) {
        link.SetPortNumber(PortNumberForDevice(nameOrPath));
        link.SetDeviceName(std::string(nameOrPath));
        return true;
    }
    const int number = PortNumberFromName(nameOrPath);
    if (number == 0) {
        link.Fail(EINVAL, "\"" + std::string(nameOrPath) + "\" is not a port: give COM1 to COM1024 or a device path");
        return false;
    }
    return NameLinkDevice(link, number);
}

bool OpenLinkSequence(CSerialLink& link, std::string_view nameOrPath)
{
    return NameLinkDevice(link, nameOrPath) && OpenAndStart(link);
}

} // namespace qav
