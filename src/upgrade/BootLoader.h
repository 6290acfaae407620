#pragma once
// A client of the STM32 USART boot loader (ST application note AN3155) and
// the whole upgrade procedure on top of it. Every exchange waits for each
// answer byte with a time-out of its own; nothing here opens a port.
//
// One thread at a time; the line's Stop is the only way in from outside.
#include "platform/Result.h"
#include "upgrade/BootChips.h"
#include "upgrade/BootPort.h"
#include "upgrade/FirmwareFile.h"
#include "upgrade/UpgradeOutcome.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
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
inline constexpr std::uint8_t kErase = kEraseCommand;
inline constexpr std::uint8_t kExtendedErase = kExtendedEraseCommand;
inline constexpr std::size_t kMaxBlock = 256; // bytes per READ or WRITE MEMORY

// The name AN3155 gives a command ("WRITE MEMORY"), or its number in hex.
std::string CommandName(std::uint8_t command);

// Result codes of a failed exchange.
inline constexpr int kCommandRefused = EPERM; // a NACK to the command byte itself
inline constexpr int kRefused = EACCES;       // a NACK to what followed it
inline constexpr int kNoAnswer = ETIMEDOUT;
inline constexpr int kGone = ENODEV;      // the device went away
inline constexpr int kStopped = ECANCELED; // the line was stopped
inline constexpr int kGarbled = EPROTO;   // neither ACK nor NACK, or a bad length
inline bool IsRefusal(const Result& r)
{
    return r.code == kCommandRefused || r.code == kRefused;
}
} // namespace boot

struct BootLoaderTiming
{
    // While nothing answers, one sync byte this often: a boot loader left
    // inside a command waits for up to 258 more bytes without a time-out,
    // and sync bytes are what fills it. They stop at the first answer.
    std::chrono::milliseconds syncInterval{20};
    std::chrono::milliseconds syncWindow{10000}; // for this long after the start
    // Once a boot loader has answered, getting in step with it (the answers
    // to sync bytes still on their way, a refused first command) may take
    // this long from its first answer, even past the sync window: filling a
    // command left unfinished takes half the window on its own, and a slow
    // line a few round trips of up to a second each after it.
    std::chrono::milliseconds inStepWindow{10000};
    // Before the first sync byte the line must have been quiet this long, so
    // that the late answers of a cancelled run are not taken for answers to
    // it; a line that does not fall quiet within quietLimit is synced as it
    // is.
    std::chrono::milliseconds quietBeforeSync{250};
    std::chrono::milliseconds quietLimit{1000};
    // The round trip is measured from the first sync byte of a burst to the
    // first answer, so it may include a board reset late in the burst: it
    // counts for at most this much. The GET that follows measures it again.
    std::chrono::milliseconds maxRoundTrip{1000};
    // Before GET the line must be quiet for this many round trips: the
    // answers to the sync bytes still on their way have come by then.
    int quietRoundTrips = 2;
    // Every answer wait below is lengthened by this many round trips.
    int answerRoundTrips = 2;
    std::chrono::milliseconds getAnswer{100}; // each byte of the GET after an answered sync
    std::chrono::milliseconds answer{1000};   // any other ACK or reply byte
    std::chrono::milliseconds send{1000};     // handing a request to the driver
    std::chrono::milliseconds erasePerKiB{50}; // on top of `answer`
};

class BootLoaderClient
{
public:
    explicit BootLoaderClient(IBootLine& line, BootLoaderTiming timing = {}) : line_(line), timing_(timing) {}

    // The measured round trip of the line: every later answer wait is
    // lengthened by timing.answerRoundTrips of it.
    void AllowForRoundTrip(std::chrono::milliseconds roundTrip) { roundTrip_ = roundTrip; }
    Result Get(std::uint8_t& version, std::vector<std::uint8_t>& commands);
    Result GetId(std::uint16_t& pid);
    // 1 to 256 bytes.
    Result ReadMemory(std::uint32_t address, std::span<std::uint8_t> dest);
    // 1 to 256 bytes, address and length multiples of 4.
    Result WriteMemory(std::uint32_t address, std::span<const std::uint8_t> data);
    // ERASE takes at most 255 pages numbered 0 to 255; anything else is
    // refused here and never sent. `command` is ERASE or EXTENDED ERASE. `timeKiB`: the size of the pages, for the
    // time the erase may take.
    Result ErasePages(std::span<const std::uint16_t> pages, std::uint8_t command, std::uint32_t timeKiB);
    Result Go(std::uint32_t address);

private:
    Result Command(std::uint8_t command);
    Result SendAddress(std::uint8_t command, std::uint32_t address);
    Result Expect(std::uint8_t command, std::string_view what, std::chrono::milliseconds wait);
    Result Send(std::span<const std::uint8_t> bytes, std::uint8_t command);
    Result Receive(std::span<std::uint8_t> dest, std::uint8_t command);
    Result CountedReply(std::uint8_t command, std::vector<std::uint8_t>& bytes);

    // An answer wait of `base` on this line.
    std::chrono::milliseconds Patience(std::chrono::milliseconds base) const
    {
        return base + timing_.answerRoundTrips * roundTrip_;
    }

    IBootLine& line_;
    BootLoaderTiming timing_;
    std::chrono::milliseconds roundTrip_{0};
};

// The whole procedure for one checked image: wait for the boot loader,
// learn the chip and check it against the image's, erase the pages the
// image covers, write, verify, start. Reports each step through `report`
// (code, progress; codes as in UpgradeCodes.h).
using UpgradeReport = std::function<void(int code, int progress)>;
// Ends with 22 on success, an error code and why, or 0 when the line was
// stopped (nothing is reported then).
UpgradeOutcome RunBootProcedure(IBootLine& line, const FirmwareImage& firmware, const UpgradeReport& report,
                                BootLoaderTiming timing = {});

} // namespace qav
