#pragma once
// Wording shared by the boot loader client and the procedure built on it.
#include "platform/Result.h"
#include "upgrade/BootPort.h"

#include <cstdint>
#include <string>

namespace qav::boot {

// "0x08000000".
std::string Hex32(std::uint32_t v);
// A failed exchange with the boot loader as a Result; `what` names the
// exchange ("GET") in the time-out's reason.
Result FromIo(PortIo io, const std::string& what);

} // namespace qav::boot
