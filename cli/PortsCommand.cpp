// ports: the serial ports as the screens list them, or as JSON lines.
#include "Cli.h"
#include "CommandHandlers.h"
#include "serial/PortList.h"

#include <cstdio>
#include <ostream>

namespace qav::cli {
namespace {

// A JSON string, or null for an empty one.
std::string JsonText(const std::string& text)
{
    if (text.empty())
        return "null";
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + '"';
}

} // namespace

int RunPorts(const CommandCall& call)
{
    const bool json = call.options.Flag("--json");
    for (const SerialPortInfo& port : ScanSerialPorts()) {
        if (!json) {
            call.out << port.Entry() << '\n';
            continue;
        }
        call.out << "{\"name\":" << JsonText(port.Name()) << ",\"device\":" << JsonText(port.device)
                 << ",\"vendor_id\":" << JsonText(port.usb.vendorId)
                 << ",\"product_id\":" << JsonText(port.usb.productId)
                 << ",\"manufacturer\":" << JsonText(port.usb.manufacturer)
                 << ",\"product\":" << JsonText(port.usb.product)
                 << ",\"serial\":" << JsonText(port.usb.serial) << ",\"note\":" << JsonText(port.note)
                 << "}\n";
    }
    return kExitOk;
}

} // namespace qav::cli
