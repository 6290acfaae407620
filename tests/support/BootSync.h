#pragma once
// A board's boot loader in step with a first sync byte, as a failed or
// cancelled upgrade leaves it.
#include "support/Patience.h"
#include "upgrade/BootLoader.h"
#include "upgrade/BootPort.h"

#include <gtest/gtest.h>

namespace qav::test {

// Opens `port` on `com` with the boot loader's line and sends one sync
// byte; succeeds once the boot loader has acknowledged it.
inline ::testing::AssertionResult SyncBootLoader(BootPort& port, int com)
{
    if (const Result opened = port.Open(com); !opened)
        return ::testing::AssertionFailure() << opened.message;
    if (const Result line = port.UseBootLoaderLine(); !line)
        return ::testing::AssertionFailure()
               << "COM" << com << " refused the boot loader's line: " << line.message;
    const std::uint8_t sync = boot::kSync;
    if (port.Send({&sync, 1}, kPatience) != PortIo::Ok)
        return ::testing::AssertionFailure() << "the sync byte was not sent";
    std::uint8_t ack = 0;
    if (port.Receive({&ack, 1}, kPatience) != PortIo::Ok)
        return ::testing::AssertionFailure() << "no answer to the sync byte";
    if (ack != boot::kAck)
        return ::testing::AssertionFailure() << "the sync byte was answered with " << int(ack);
    return ::testing::AssertionSuccess();
}

} // namespace qav::test
