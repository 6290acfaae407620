#pragma once
// A client of the STM32 USART boot loader (ST application note AN3155) and
// the whole upgrade procedure on top of it. Every exchange waits for each
// answer byte with a time-out of its own; nothing here opens a port.
//
// One thread at a time; the line's Stop is the only way in from outside.
#include "upgrade/BootPort.h"
#include "upgrade/FirmwareFile.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace qav {

namespace boot {
inline constexpr std::uint8_t kSync = 0x7F;
inline constexpr std::uint8_t kAck = 0x79;
inline constexpr std::uint8_t kNack = 0x1F;
inline constexpr std::uint8_t kGet = 0x00;
inline constexpr std::uint8_t kGetVersion = 0x01;
inline constexpr std::uint8_t kGetId = 0x02;
inline constexpr std::uint8_t kReadMemory = 0x11;
inline constexpr std::uint8_t kGo = 0x21;
inline constexpr std::uint8_t kWriteMemory = 0x31;
inline constexpr std::uint8_t kErase = 0x43;
inline constexpr std::uint8_t kExtendedErase = 0x44;
inline constexpr std::size_t kMaxBlock = 256; // bytes per READ or WRITE MEMORY

// Where the F1 parts keep their flash size in KiB (16 bits).
inline constexpr std::uint32_t kFlashSizeRegister = 0x1FFFF7E0;
} // namespace boot

enum class BootStatus {
    Ok,
    Refused,  // a NACK
    TimedOut, // no answer in time
    Gone,     // the device went away
    Stopped,  // the client was stopped
    Garbled,  // an answer that is neither ACK nor NACK, or a bad length
};

// Which byte of a command the boot loader refused or left unanswered: the
// command itself, its address, or what followed.
enum class BootStage { Command, Address, Payload };

struct BootResult
{
    BootStatus status = BootStatus::Ok;
    BootStage stage = BootStage::Command;
    bool ok() const { return status == BootStatus::Ok; }
};

struct ChipInfo
{
    std::uint16_t pid;
    std::uint32_t flashBase;
    std::uint32_t pageSize;
};
// The parts we know by their product id; null for any other.
const ChipInfo* FindChip(std::uint16_t pid);

struct BootLoaderTiming
{
    std::chrono::milliseconds syncInterval{100}; // one sync byte this often
    std::chrono::milliseconds syncWindow{10000}; // for this long after the start
    std::chrono::milliseconds answer{1000};      // any ACK or reply byte
    std::chrono::milliseconds send{1000};        // handing a request to the driver
    std::chrono::milliseconds erasePerPage{50};  // on top of `answer`
};

class BootLoaderClient
{
public:
    explicit BootLoaderClient(IBootLine& line, BootLoaderTiming timing = {}) : line_(line), timing_(timing) {}

    // One sync byte and its answer within `wait`. A NACK also counts: a boot
    // loader already synchronised refuses the stray 0x7F as a command. Either
    // answer may also be left over from an earlier exchange: only a GET that
    // follows shows the boot loader in step.
    BootResult Sync(std::chrono::milliseconds wait);
    BootResult Get(std::uint8_t& version, std::vector<std::uint8_t>& commands);
    BootResult GetId(std::uint16_t& pid);
    // 1 to 256 bytes.
    BootResult ReadMemory(std::uint32_t address, std::span<std::uint8_t> dest);
    // 1 to 256 bytes, address and length multiples of 4.
    BootResult WriteMemory(std::uint32_t address, std::span<const std::uint8_t> data);
    // ERASE (0x43, up to 255 pages) or EXTENDED ERASE (0x44).
    BootResult ErasePages(std::span<const std::uint16_t> pages, bool extended);
    BootResult Go(std::uint32_t address);

private:
    BootResult Command(std::uint8_t command);
    BootResult SendAddress(std::uint32_t address);
    BootResult Expect(BootStage stage, std::chrono::milliseconds wait);
    BootResult Send(std::span<const std::uint8_t> bytes, BootStage stage);
    BootResult Receive(std::span<std::uint8_t> dest, BootStage stage);
    BootResult CountedReply(std::uint8_t command, std::vector<std::uint8_t>& bytes);

    IBootLine& line_;
    BootLoaderTiming timing_;
};

// The whole procedure for one checked image: wait for the boot loader, learn
// the chip, erase the pages the image covers, write, verify, start. Reports
// each step through `report` (code, progress; codes as in UpgradeCodes.h)
// and returns the last code: 22 on success, an error code, or 0 when the
// line was stopped (nothing is reported then).
using UpgradeReport = std::function<void(int code, int progress)>;
int RunBootProcedure(IBootLine& line, const FirmwareImage& firmware, const UpgradeReport& report,
                     BootLoaderTiming timing = {});

} // namespace qav
