#include "upgrade/BootLoader.h"

#include "upgrade/BootLoaderText.h"
#include "upgrade/UpgradeCodes.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using boot::FromIo;
using boot::Hex32;


namespace {

struct CommandRow
{
    std::uint8_t code;
    const char* name;
};
constexpr CommandRow kCommandNames[] = {
    {boot::kGet, "GET"},
    {boot::kGetVersion, "GET VERSION"},
    {boot::kGetId, "GET ID"},
    {boot::kReadMemory, "READ MEMORY"},
    {boot::kGo, "GO"},
    {boot::kWriteMemory, "WRITE MEMORY"},
    {boot::kErase, "ERASE"},
    {boot::kExtendedErase, "EXTENDED ERASE"},
};

std::uint8_t Xor(std::span<const std::uint8_t> bytes, std::uint8_t seed = 0)
{
    for (std::uint8_t b : bytes)
        seed ^= b;
    return seed;
}

} // namespace

std::string boot::Hex32(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

Result boot::FromIo(PortIo io, const std::string& what)
{
    switch (io) {
    case PortIo::Ok:
        return {};
    case PortIo::TimedOut:
        return Result::Failed(boot::kNoAnswer, "no answer to " + what);
    case PortIo::Stopped:
        return Result::Failed(boot::kStopped, "stopped");
    case PortIo::Gone:
        break;
    }
    return Result::Failed(boot::kGone, "the device went away");
}


std::string boot::CommandName(std::uint8_t command)
{
    for (const CommandRow& row : kCommandNames)
        if (row.code == command)
            return row.name;
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", command);
    return text;
}

Result BootLoaderClient::Send(std::span<const std::uint8_t> bytes, std::uint8_t command)
{
    return FromIo(line_.Send(bytes, timing_.send), boot::CommandName(command));
}

Result BootLoaderClient::Receive(std::span<std::uint8_t> dest, std::uint8_t command)
{
    return FromIo(line_.Receive(dest, Patience(timing_.answer)), boot::CommandName(command));
}

Result BootLoaderClient::Expect(std::uint8_t command, std::string_view what, milliseconds wait)
{
    const std::string name = what.empty() ? boot::CommandName(command)
                                          : std::string(what) + " of " + boot::CommandName(command);
    std::uint8_t b = 0;
    if (const PortIo io = line_.Receive({&b, 1}, Patience(wait)); io != PortIo::Ok)
        return FromIo(io, name);
    if (b == boot::kAck)
        return {};
    if (b == boot::kNack)
        return Result::Failed(what.empty() ? boot::kCommandRefused : boot::kRefused,
                              "the boot loader refused " + name);
    return Result::Failed(boot::kGarbled, "an answer to " + name + " that is neither ACK nor NACK");
}

Result BootLoaderClient::Command(std::uint8_t command)
{
    const std::array<std::uint8_t, 2> bytes{command, static_cast<std::uint8_t>(~command)};
    if (Result r = Send(bytes, command); !r)
        return r;
    return Expect(command, {}, timing_.answer);
}

Result BootLoaderClient::SendAddress(std::uint8_t command, std::uint32_t address)
{
    std::array<std::uint8_t, 5> bytes{
        static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
        static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 0};
    bytes[4] = Xor(std::span(bytes).first(4));
    if (Result r = Send(bytes, command); !r)
        return r;
    return Expect(command, "the address " + Hex32(address), timing_.answer);
}

// GET and GET ID answer alike: a count N, N + 1 bytes, then ACK.
Result BootLoaderClient::CountedReply(std::uint8_t command, std::vector<std::uint8_t>& bytes)
{
    if (Result r = Command(command); !r)
        return r;
    std::uint8_t n = 0;
    if (Result r = Receive({&n, 1}, command); !r)
        return r;
    bytes.assign(std::size_t(n) + 1, 0);
    if (Result r = Receive(bytes, command); !r)
        return r;
    return Expect(command, "the end", timing_.answer);
}

Result BootLoaderClient::Get(std::uint8_t& version, std::vector<std::uint8_t>& commands)
{
    std::vector<std::uint8_t> bytes;
    if (Result r = CountedReply(boot::kGet, bytes); !r)
        return r;
    version = bytes[0];
    commands.assign(bytes.begin() + 1, bytes.end());
    return {};
}

Result BootLoaderClient::GetId(std::uint16_t& pid)
{
    std::vector<std::uint8_t> bytes;
    if (Result r = CountedReply(boot::kGetId, bytes); !r)
        return r;
    if (bytes.size() != 2)
        return Result::Failed(boot::kGarbled, "a product id of " + std::to_string(bytes.size()) + " bytes");
    pid = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    return {};
}

Result BootLoaderClient::ReadMemory(std::uint32_t address, std::span<std::uint8_t> dest)
{
    if (dest.empty() || dest.size() > boot::kMaxBlock)
        return Result::Failed(EINVAL, "READ MEMORY takes 1 to 256 bytes");
    if (Result r = Command(boot::kReadMemory); !r)
        return r;
    if (Result r = SendAddress(boot::kReadMemory, address); !r)
        return r;
    const auto count = static_cast<std::uint8_t>(dest.size() - 1);
    const std::array<std::uint8_t, 2> length{count, static_cast<std::uint8_t>(~count)};
    if (Result r = Send(length, boot::kReadMemory); !r)
        return r;
    if (Result r = Expect(boot::kReadMemory, "the length", timing_.answer); !r)
        return r;
    return Receive(dest, boot::kReadMemory);
}

Result BootLoaderClient::WriteMemory(std::uint32_t address, std::span<const std::uint8_t> data)
{
    if (data.empty() || data.size() > boot::kMaxBlock || data.size() % 4 != 0 || address % 4 != 0)
        return Result::Failed(EINVAL, "WRITE MEMORY takes whole words, 4 to 256 bytes");
    if (Result r = Command(boot::kWriteMemory); !r)
        return r;
    if (Result r = SendAddress(boot::kWriteMemory, address); !r)
        return r;
    std::array<std::uint8_t, boot::kMaxBlock + 2> frame{};
    const auto count = static_cast<std::uint8_t>(data.size() - 1);
    frame[0] = count;
    std::copy(data.begin(), data.end(), frame.begin() + 1);
    frame[data.size() + 1] = Xor(data, count);
    if (Result r = Send(std::span(frame).first(data.size() + 2), boot::kWriteMemory); !r)
        return r;
    return Expect(boot::kWriteMemory, "the block at " + Hex32(address), timing_.answer);
}

Result BootLoaderClient::ErasePages(std::span<const std::uint16_t> pages, std::uint8_t code,
                                    std::uint32_t timeKiB)
{
    if (code != boot::kErase && code != boot::kExtendedErase)
        return Result::Failed(EINVAL, boot::CommandName(code) + " is no erase command");
    const bool extended = code == boot::kExtendedErase;
    if (pages.empty() || (!extended && pages.size() > kLastErasePage))
        return Result::Failed(EINVAL, boot::CommandName(code) + " takes 1 to 255 pages");
    if (!extended && std::any_of(pages.begin(), pages.end(), [](std::uint16_t p) { return p > kLastErasePage; }))
        return Result::Failed(EINVAL, "ERASE numbers pages 0 to 255 only");
    if (Result r = Command(code); !r)
        return r;
    std::vector<std::uint8_t> bytes;
    const std::size_t count = pages.size() - 1;
    if (extended) {
        bytes.push_back(static_cast<std::uint8_t>(count >> 8));
        bytes.push_back(static_cast<std::uint8_t>(count));
        for (std::uint16_t p : pages) {
            bytes.push_back(static_cast<std::uint8_t>(p >> 8));
            bytes.push_back(static_cast<std::uint8_t>(p));
        }
    } else {
        bytes.push_back(static_cast<std::uint8_t>(count));
        for (std::uint16_t p : pages)
            bytes.push_back(static_cast<std::uint8_t>(p));
    }
    bytes.push_back(Xor(bytes));
    if (Result r = Send(bytes, code); !r)
        return r;
    return Expect(code, "the pages", timing_.answer + timing_.erasePerKiB * timeKiB);
}

Result BootLoaderClient::Go(std::uint32_t address)
{
    if (Result r = Command(boot::kGo); !r)
        return r;
    return SendAddress(boot::kGo, address);
}

} // namespace qav
