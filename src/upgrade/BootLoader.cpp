#include "upgrade/BootLoader.h"

#include "upgrade/UpgradeCodes.h"

#include <algorithm>
#include <array>

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr std::array kChips{
    ChipInfo{0x410, 0x08000000, 1024}, // F10x medium density
    ChipInfo{0x412, 0x08000000, 1024}, // F10x low density
    ChipInfo{0x420, 0x08000000, 1024}, // F100 value line, medium density
    ChipInfo{0x414, 0x08000000, 2048}, // F10x high density
};

// Progress notifications come at least this often.
constexpr std::size_t kProgressStep = 2048;
// Erase commands cover at most this many pages each, so each one's time-out
// stays short.
constexpr std::size_t kPagesPerErase = 64;
constexpr int kWriteRetries = 3;
// The line counts as quiet once no byte has come for this long.
constexpr milliseconds kQuietLine{20};

BootStatus FromIo(PortIo io)
{
    switch (io) {
    case PortIo::Ok:
        return BootStatus::Ok;
    case PortIo::TimedOut:
        return BootStatus::TimedOut;
    case PortIo::Stopped:
        return BootStatus::Stopped;
    case PortIo::Gone:
        break;
    }
    return BootStatus::Gone;
}

std::uint8_t Xor(std::span<const std::uint8_t> bytes, std::uint8_t seed = 0)
{
    for (std::uint8_t b : bytes)
        seed ^= b;
    return seed;
}

bool Lists(const std::vector<std::uint8_t>& commands, std::uint8_t c)
{
    return std::find(commands.begin(), commands.end(), c) != commands.end();
}

} // namespace

const ChipInfo* FindChip(std::uint16_t pid)
{
    for (const ChipInfo& c : kChips)
        if (c.pid == pid)
            return &c;
    return nullptr;
}

BootResult BootLoaderClient::Send(std::span<const std::uint8_t> bytes, BootStage stage)
{
    return {FromIo(line_.Send(bytes, timing_.send)), stage};
}

BootResult BootLoaderClient::Receive(std::span<std::uint8_t> dest, BootStage stage)
{
    return {FromIo(line_.Receive(dest, timing_.answer)), stage};
}

BootResult BootLoaderClient::Expect(BootStage stage, milliseconds wait)
{
    std::uint8_t b = 0;
    const PortIo io = line_.Receive({&b, 1}, wait);
    if (io != PortIo::Ok)
        return {FromIo(io), stage};
    if (b == boot::kAck)
        return {BootStatus::Ok, stage};
    return {b == boot::kNack ? BootStatus::Refused : BootStatus::Garbled, stage};
}

BootResult BootLoaderClient::Command(std::uint8_t command)
{
    const std::array<std::uint8_t, 2> bytes{command, static_cast<std::uint8_t>(~command)};
    if (BootResult r = Send(bytes, BootStage::Command); !r.ok())
        return r;
    return Expect(BootStage::Command, timing_.answer);
}

BootResult BootLoaderClient::SendAddress(std::uint32_t address)
{
    std::array<std::uint8_t, 5> bytes{
        static_cast<std::uint8_t>(address >> 24), static_cast<std::uint8_t>(address >> 16),
        static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 0};
    bytes[4] = Xor(std::span(bytes).first(4));
    if (BootResult r = Send(bytes, BootStage::Address); !r.ok())
        return r;
    return Expect(BootStage::Address, timing_.answer);
}

BootResult BootLoaderClient::Sync(milliseconds wait)
{
    const std::uint8_t sync = boot::kSync;
    if (BootResult r = Send({&sync, 1}, BootStage::Command); !r.ok())
        return r;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        std::uint8_t b = 0;
        const PortIo io = line_.Receive({&b, 1}, std::max(left, milliseconds(0)));
        if (io != PortIo::Ok)
            return {FromIo(io), BootStage::Command};
        // Anything else is what the running firmware still had on the line.
        if (b == boot::kAck || b == boot::kNack)
            return {};
    }
}

// GET and GET ID answer alike: a count N, N + 1 bytes, then ACK.
BootResult BootLoaderClient::CountedReply(std::uint8_t command, std::vector<std::uint8_t>& bytes)
{
    if (BootResult r = Command(command); !r.ok())
        return r;
    std::uint8_t n = 0;
    if (BootResult r = Receive({&n, 1}, BootStage::Payload); !r.ok())
        return r;
    bytes.assign(std::size_t(n) + 1, 0);
    if (BootResult r = Receive(bytes, BootStage::Payload); !r.ok())
        return r;
    return Expect(BootStage::Payload, timing_.answer);
}

BootResult BootLoaderClient::Get(std::uint8_t& version, std::vector<std::uint8_t>& commands)
{
    std::vector<std::uint8_t> bytes;
    if (BootResult r = CountedReply(boot::kGet, bytes); !r.ok())
        return r;
    version = bytes[0];
    commands.assign(bytes.begin() + 1, bytes.end());
    return {};
}

BootResult BootLoaderClient::GetId(std::uint16_t& pid)
{
    std::vector<std::uint8_t> bytes;
    if (BootResult r = CountedReply(boot::kGetId, bytes); !r.ok())
        return r;
    if (bytes.size() != 2)
        return {BootStatus::Garbled, BootStage::Payload};
    pid = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
    return {};
}

BootResult BootLoaderClient::ReadMemory(std::uint32_t address, std::span<std::uint8_t> dest)
{
    if (dest.empty() || dest.size() > boot::kMaxBlock)
        return {BootStatus::Garbled, BootStage::Payload};
    if (BootResult r = Command(boot::kReadMemory); !r.ok())
        return r;
    if (BootResult r = SendAddress(address); !r.ok())
        return r;
    const auto count = static_cast<std::uint8_t>(dest.size() - 1);
    const std::array<std::uint8_t, 2> length{count, static_cast<std::uint8_t>(~count)};
    if (BootResult r = Send(length, BootStage::Payload); !r.ok())
        return r;
    if (BootResult r = Expect(BootStage::Payload, timing_.answer); !r.ok())
        return r;
    return Receive(dest, BootStage::Payload);
}

BootResult BootLoaderClient::WriteMemory(std::uint32_t address, std::span<const std::uint8_t> data)
{
    if (data.empty() || data.size() > boot::kMaxBlock || data.size() % 4 != 0 || address % 4 != 0)
        return {BootStatus::Garbled, BootStage::Payload};
    if (BootResult r = Command(boot::kWriteMemory); !r.ok())
        return r;
    if (BootResult r = SendAddress(address); !r.ok())
        return r;
    std::array<std::uint8_t, boot::kMaxBlock + 2> frame{};
    const auto count = static_cast<std::uint8_t>(data.size() - 1);
    frame[0] = count;
    std::copy(data.begin(), data.end(), frame.begin() + 1);
    frame[data.size() + 1] = Xor(data, count);
    if (BootResult r = Send(std::span(frame).first(data.size() + 2), BootStage::Payload); !r.ok())
        return r;
    return Expect(BootStage::Payload, timing_.answer);
}

BootResult BootLoaderClient::ErasePages(std::span<const std::uint16_t> pages, bool extended)
{
    if (pages.empty() || (!extended && pages.size() > 255))
        return {BootStatus::Garbled, BootStage::Payload};
    if (BootResult r = Command(extended ? boot::kExtendedErase : boot::kErase); !r.ok())
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
    if (BootResult r = Send(bytes, BootStage::Payload); !r.ok())
        return r;
    return Expect(BootStage::Payload, timing_.answer + timing_.erasePerPage * pages.size());
}

BootResult BootLoaderClient::Go(std::uint32_t address)
{
    if (BootResult r = Command(boot::kGo); !r.ok())
        return r;
    return SendAddress(address);
}

namespace {

// The procedure, step by step; each step returns 0 to go on or the code to
// end with.
class Procedure
{
public:
    Procedure(IBootLine& line, const FirmwareImage& fw, const UpgradeReport& report, BootLoaderTiming timing)
        : line_(line), client_(line, timing), fw_(fw), report_(report), timing_(timing)
    {
    }

    int Run()
    {
        for (int (Procedure::*step)() :
             {&Procedure::WaitForBootLoader, &Procedure::LearnChip, &Procedure::Erase, &Procedure::Write,
              &Procedure::Verify, &Procedure::Start}) {
            if (const int code = (this->*step)(); code != 0)
                return stopped_ ? 0 : code;
        }
        return iap::kDone;
    }

private:
    // The code for a failed exchange: a stop ends quietly, a device that
    // stopped answering is code 23, a refusal the step's own code.
    int Failed(const BootResult& r, int refusedCode)
    {
        switch (r.status) {
        case BootStatus::Stopped:
            stopped_ = true;
            return -1;
        case BootStatus::TimedOut:
        case BootStatus::Gone:
            return iap::kDeviceGone;
        case BootStatus::Refused:
        case BootStatus::Garbled:
        case BootStatus::Ok:
            break;
        }
        return refusedCode;
    }

    void Report(int code, int progress = 0)
    {
        if (!stopped_)
            report_(code, progress);
    }

    void Progress(std::size_t done)
    {
        const std::size_t total = 2 * fw_.image.size();
        const int percent = static_cast<int>(done * 100 / total);
        if (done == total || done >= lastProgress_ + kProgressStep) {
            lastProgress_ = done;
            Report(iap::kProgress, percent);
        }
    }

    // An answer to a sync byte does not yet show a boot loader waiting for a
    // command: right after a cancelled run it may be the late answer of the
    // old command, or the NACK of a boot loader that took the sync byte as
    // part of that command. Only a GET answered in full shows both sides in
    // step; until then the sync bytes go on, and they also fill up an
    // unfinished command, which the boot loader refuses for its checksum
    // before it waits for a command again.
    int WaitForBootLoader()
    {
        Report(iap::kStarting);
        const auto end = Clock::now() + timing_.syncWindow;
        // A boot loader that refused our GET is there; stray bytes or no
        // answer to it are not.
        bool refused = false;
        for (;;) {
            const auto attemptEnd = Clock::now() + timing_.syncInterval;
            BootResult r = client_.Sync(timing_.syncInterval);
            if (r.ok()) {
                r = AskCommands();
                if (r.ok())
                    break;
                refused = r.status == BootStatus::Refused;
            }
            if (r.status == BootStatus::Stopped)
                return Failed(r, 0);
            if (r.status == BootStatus::Gone)
                return iap::kDeviceGone;
            if (Clock::now() >= end)
                return refused ? iap::kRefused : iap::kNoBootLoader;
            // A failed write returns early: keep the rhythm.
            if (const auto left = attemptEnd - Clock::now(); left > Clock::duration::zero()) {
                std::uint8_t b = 0;
                if (line_.Receive({&b, 1}, std::chrono::ceil<milliseconds>(left)) == PortIo::Stopped)
                    return Failed({BootStatus::Stopped}, 0);
            }
        }
        Report(iap::kBootLoaderAnswered);
        return 0;
    }

    // GET, once whatever is still on its way has arrived (for at most one
    // sync interval: a line that never falls quiet is tried as it is), and
    // with no more patience than a sync: an answer, if any, is due at once.
    BootResult AskCommands()
    {
        line_.DiscardInput();
        const auto end = Clock::now() + timing_.syncInterval;
        for (std::uint8_t b = 0; Clock::now() < end;) {
            const PortIo io = line_.Receive({&b, 1}, kQuietLine);
            if (io == PortIo::TimedOut)
                break;
            if (io != PortIo::Ok)
                return {FromIo(io), BootStage::Command};
        }
        BootLoaderTiming probe = timing_;
        probe.answer = timing_.syncInterval;
        std::uint8_t version = 0;
        return BootLoaderClient(line_, probe).Get(version, commands_);
    }

    int LearnChip()
    {
        extendedErase_ = Lists(commands_, boot::kExtendedErase);
        for (std::uint8_t needed : {boot::kGetId, boot::kReadMemory, boot::kWriteMemory, boot::kGo})
            if (!Lists(commands_, needed))
                return iap::kRefused;
        if (!extendedErase_ && !Lists(commands_, boot::kErase))
            return iap::kRefused;
        std::uint16_t pid = 0;
        if (BootResult r = client_.GetId(pid); !r.ok())
            return Failed(r, iap::kRefused);
        chip_ = FindChip(pid);
        if (!chip_)
            return iap::kRefused;
        std::array<std::uint8_t, 2> size{};
        if (BootResult r = client_.ReadMemory(boot::kFlashSizeRegister, size); !r.ok())
            return Failed(r, r.stage == BootStage::Command ? iap::kReadProtected : iap::kRefused);
        flashSize_ = (std::uint32_t(size[0]) | std::uint32_t(size[1]) << 8) * 1024u;
        const std::uint64_t end = std::uint64_t(fw_.header.address) + fw_.image.size();
        if (fw_.header.address < chip_->flashBase || end > std::uint64_t(chip_->flashBase) + flashSize_)
            return iap::kTooLarge;
        return 0;
    }

    int Erase()
    {
        Report(iap::kErasing);
        const std::uint32_t first = (fw_.header.address - chip_->flashBase) / chip_->pageSize;
        const std::uint32_t last =
            (fw_.header.address + static_cast<std::uint32_t>(fw_.image.size()) - 1 - chip_->flashBase) /
            chip_->pageSize;
        std::vector<std::uint16_t> pages;
        for (std::uint32_t p = first; p <= last; ++p)
            pages.push_back(static_cast<std::uint16_t>(p));
        for (std::size_t at = 0; at < pages.size(); at += kPagesPerErase) {
            const auto chunk = std::span(pages).subspan(at, std::min(kPagesPerErase, pages.size() - at));
            if (BootResult r = client_.ErasePages(chunk, extendedErase_); !r.ok())
                return Failed(r, iap::kEraseFailed);
        }
        Report(iap::kErased);
        return 0;
    }

    int Write()
    {
        Report(iap::kWriting);
        Report(iap::kProgress, 0);
        // Flash takes whole words: pad the last block with erased bytes.
        std::vector<std::uint8_t> padded = fw_.image;
        padded.resize((padded.size() + 3) / 4 * 4, 0xFF);
        for (std::size_t at = 0; at < padded.size(); at += boot::kMaxBlock) {
            const auto block = std::span(padded).subspan(at, std::min(boot::kMaxBlock, padded.size() - at));
            const auto address = fw_.header.address + static_cast<std::uint32_t>(at);
            BootResult r;
            for (int attempt = 0; attempt <= kWriteRetries; ++attempt) {
                r = client_.WriteMemory(address, block);
                if (r.status != BootStatus::Refused)
                    break;
            }
            if (!r.ok())
                return Failed(r, iap::kWriteFailed);
            Progress(std::min(at + block.size(), fw_.image.size()));
        }
        return 0;
    }

    int Verify()
    {
        std::array<std::uint8_t, boot::kMaxBlock> back{};
        const std::size_t size = fw_.image.size();
        for (std::size_t at = 0; at < size; at += boot::kMaxBlock) {
            const std::size_t n = std::min(boot::kMaxBlock, size - at);
            const auto address = fw_.header.address + static_cast<std::uint32_t>(at);
            if (BootResult r = client_.ReadMemory(address, std::span(back).first(n)); !r.ok())
                return Failed(r, r.stage == BootStage::Command ? iap::kReadProtected : iap::kVerifyFailed);
            if (!std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n),
                            fw_.image.begin() + at))
                return iap::kVerifyFailed;
            Progress(size + at + n);
        }
        return 0;
    }

    int Start()
    {
        if (BootResult r = client_.Go(fw_.header.address); !r.ok())
            return r.status == BootStatus::Gone || r.status == BootStatus::Stopped ? Failed(r, 0)
                                                                                   : iap::kGoFailed;
        return 0;
    }

    IBootLine& line_;
    BootLoaderClient client_;
    const FirmwareImage& fw_;
    const UpgradeReport& report_;
    BootLoaderTiming timing_;
    std::vector<std::uint8_t> commands_;
    bool extendedErase_ = false;
    const ChipInfo* chip_ = nullptr;
    std::uint32_t flashSize_ = 0;
    std::size_t lastProgress_ = 0;
    bool stopped_ = false;
};

} // namespace

int RunBootProcedure(IBootLine& line, const FirmwareImage& firmware, const UpgradeReport& report,
                     BootLoaderTiming timing)
{
    if (firmware.image.empty())
        return iap::kFileInvalid;
    return Procedure(line, firmware, report, timing).Run();
}

} // namespace qav
