// ports: the serial ports as the screens list them, or as JSON lines.
#include "Cli.h"
#include "CommandHandlers.h"
#include "platform/JsonText.h"
#include "serial/PortList.h"

#include <ostream>

namespace qav::cli {

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
