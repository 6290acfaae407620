#include "upgrade/BootLoader.h"

#include "upgrade/UpgradeCodes.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

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

// Progress notifications come at least this often.
constexpr std::size_t kProgressStep = 2048;
// Erase commands cover at most this many pages each, so each one's time-out
// stays short.
constexpr std::size_t kPagesPerErase = 64;
constexpr int kWriteRetries = 3;
// The line counts as quiet once no byte has come for this long.
constexpr milliseconds kQuietLine{20};
// Sync bytes owed after a late wake-up go out together, at most this many.
constexpr int kMaxSyncBurst = 4;

std::string Hex32(std::uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", v);
    return text;
}

Result FromIo(PortIo io, const std::string& what)
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

// A reason ("the boot loader refused GET") as a sentence.
std::string Sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

} // namespace

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
    return FromIo(line_.Receive(dest, timing_.answer), boot::CommandName(command));
}

Result BootLoaderClient::Expect(std::uint8_t command, std::string_view what, milliseconds wait)
{
    const std::string name = what.empty() ? boot::CommandName(command)
                                          : std::string(what) + " of " + boot::CommandName(command);
    std::uint8_t b = 0;
    if (const PortIo io = line_.Receive({&b, 1}, wait); io != PortIo::Ok)
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

Result BootLoaderClient::Sync(milliseconds wait)
{
    const std::uint8_t sync = boot::kSync;
    if (Result r = FromIo(line_.Send({&sync, 1}, timing_.send), "the sync byte"); !r)
        return r;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        // Checked before every byte: a line that keeps sending must not keep
        // this wait alive.
        const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds(0))
            return FromIo(PortIo::TimedOut, "the sync byte");
        std::uint8_t b = 0;
        if (const PortIo io = line_.Receive({&b, 1}, left); io != PortIo::Ok)
            return FromIo(io, "the sync byte");
        // Anything else is what the running firmware still had on the line.
        if (b == boot::kAck || b == boot::kNack)
            return {};
    }
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

Result BootLoaderClient::ErasePages(std::span<const std::uint16_t> pages, EraseCommand command,
                                    std::uint32_t timeKiB)
{
    const bool extended = command == EraseCommand::ExtendedErase;
    const auto code = static_cast<std::uint8_t>(command);
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

namespace {

// The procedure, step by step; each step returns 0 to go on or the code to
// end with, after leaving its sentence in `sentence_`.
class Procedure
{
public:
    Procedure(IBootLine& line, const FirmwareImage& fw, const UpgradeReport& report, BootLoaderTiming timing)
        : line_(line), client_(line, timing), fw_(fw), report_(report), timing_(timing)
    {
    }

    BootOutcome Run()
    {
        for (int (Procedure::*step)() :
             {&Procedure::WaitForBootLoader, &Procedure::LearnChip, &Procedure::Erase, &Procedure::Write,
              &Procedure::Verify, &Procedure::Start}) {
            if (const int code = (this->*step)(); code != 0)
                return stopped_ ? BootOutcome{} : BootOutcome{code, sentence_};
        }
        return {iap::kDone, {}};
    }

private:
    int Fail(int code, std::string sentence)
    {
        sentence_ = std::move(sentence);
        return code;
    }

    // The code for a failed exchange: a stop ends quietly, a device that
    // went away or stopped answering is code 23, a refusal the step's own
    // code, with `what` before the reason.
    int Failed(const Result& r, int refusedCode, const std::string& what)
    {
        switch (r.code) {
        case boot::kStopped:
            stopped_ = true;
            return -1;
        case boot::kNoAnswer:
        case boot::kGone:
            return Fail(iap::kDeviceGone, Sentence("the board stopped answering: " + r.message));
        default:
            return Fail(refusedCode, Sentence(what + r.message));
        }
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
    // before it waits for a command again. The sync bytes keep their rhythm
    // from the start, so a busy machine's late wake-ups cost no bytes.
    int WaitForBootLoader()
    {
        Report(iap::kStarting);
        const auto start = Clock::now();
        const auto end = start + timing_.syncWindow;
        long long sent = 0;
        // A boot loader that refused our GET is there; stray bytes or no
        // answer to it are not.
        bool refused = false;
        for (;;) {
            const auto now = Clock::now();
            if (now >= end)
                return refused ? Fail(iap::kRefused, "The boot loader kept refusing GET.")
                               : Fail(iap::kNoBootLoader,
                                      "No answer from the boot loader within " +
                                          std::to_string(std::chrono::ceil<std::chrono::seconds>(
                                                             timing_.syncWindow)
                                                             .count()) +
                                          " s: reset the board with its boot jumper set while the upgrade "
                                          "waits for it.");
            const long long due = (now - start) / timing_.syncInterval + 1;
            const auto owed = static_cast<std::size_t>(std::clamp<long long>(due - sent - 1, 0, kMaxSyncBurst - 1));
            if (owed > 0) {
                const std::array<std::uint8_t, kMaxSyncBurst> extra{boot::kSync, boot::kSync, boot::kSync,
                                                                     boot::kSync};
                if (Result r = FromIo(line_.Send(std::span(extra).first(owed), timing_.send), "sync");
                    r.code == boot::kStopped || r.code == boot::kGone)
                    return Failed(r, 0, {});
            }
            sent = std::max(sent + 1 + static_cast<long long>(owed), due);
            const auto next = start + timing_.syncInterval * sent;
            Result r = client_.Sync(std::chrono::ceil<milliseconds>(next - Clock::now()));
            if (r) {
                r = AskCommands();
                if (r)
                    break;
                refused = boot::IsRefusal(r);
            }
            if (r.code == boot::kStopped || r.code == boot::kGone)
                return Failed(r, 0, {});
            // An attempt that ended early waits for its turn, taking what the
            // line still brings.
            while (Clock::now() < next) {
                std::uint8_t b = 0;
                const PortIo io = line_.Receive({&b, 1}, std::chrono::ceil<milliseconds>(next - Clock::now()));
                if (io == PortIo::TimedOut)
                    break;
                if (io != PortIo::Ok)
                    return Failed(FromIo(io, {}), 0, {});
            }
        }
        Report(iap::kBootLoaderAnswered);
        return 0;
    }

    // GET, once whatever is still on its way has arrived (for at most the
    // GET's own patience: a line that never falls quiet is tried as it is).
    Result AskCommands()
    {
        line_.DiscardInput();
        const auto end = Clock::now() + timing_.getAnswer;
        for (std::uint8_t b = 0; Clock::now() < end;) {
            const PortIo io = line_.Receive({&b, 1}, kQuietLine);
            if (io == PortIo::TimedOut)
                break;
            if (io != PortIo::Ok)
                return FromIo(io, "GET");
        }
        BootLoaderTiming probe = timing_;
        probe.answer = timing_.getAnswer;
        std::uint8_t version = 0;
        if (Result r = BootLoaderClient(line_, probe).Get(version, commands_); !r)
            return r;
        // Every boot loader lists these three first; a line that merely
        // repeats bytes does not.
        for (std::uint8_t always : {boot::kGet, boot::kGetVersion, boot::kGetId})
            if (!Lists(commands_, always))
                return Result::Failed(boot::kGarbled, "a GET answer that lists no " + boot::CommandName(always));
        return {};
    }

    int LearnChip()
    {
        std::uint16_t pid = 0;
        if (Result r = client_.GetId(pid); !r)
            return Failed(r, iap::kRefused, {});
        chip_ = FindChip(pid);
        if (fw_.header.chip != 0 && fw_.header.chip != pid)
            return Fail(iap::kWrongBoard, "The file is for chip " + ChipText(fw_.header.chip) +
                                              "; the board's chip is " + ChipText(pid) + ".");
        if (!chip_)
            return Fail(iap::kRefused, "The board's chip " + ChipText(pid) + " is not one this tool knows.");
        for (std::uint8_t needed : {boot::kGetId, boot::kReadMemory, boot::kWriteMemory, boot::kGo,
                                    static_cast<std::uint8_t>(chip_->erase)})
            if (!Lists(commands_, needed))
                return Fail(iap::kRefused, "The boot loader does not offer " + boot::CommandName(needed) + ".");
        std::array<std::uint8_t, 2> size{};
        if (Result r = client_.ReadMemory(chip_->flashSizeRegister, size); !r)
            return r.code == boot::kCommandRefused
                       ? Fail(iap::kReadProtected, "The chip is read-out protected: " + r.message + ".")
                       : Failed(r, iap::kRefused, "reading the flash size: ");
        flashSize_ = (std::uint32_t(size[0]) | std::uint32_t(size[1]) << 8) * 1024u;
        const std::uint64_t end = std::uint64_t(fw_.header.address) + fw_.image.size();
        if (fw_.header.address < chip_->flashBase || end > std::uint64_t(chip_->flashBase) + flashSize_)
            return Fail(iap::kTooLarge, "The image (" + std::to_string(fw_.image.size()) + " bytes at " +
                                            Hex32(fw_.header.address) + ") does not fit the chip's " +
                                            std::to_string(flashSize_ / 1024) + " KiB of flash at " +
                                            Hex32(chip_->flashBase) + ".");
        return PlanErase();
    }

    // The erase units the image covers, checked before anything is erased.
    int PlanErase()
    {
        const std::uint32_t from = fw_.header.address - chip_->flashBase;
        const auto first = PageAt(*chip_, flashSize_, from);
        const auto last = PageAt(*chip_, flashSize_, from + static_cast<std::uint32_t>(fw_.image.size()) - 1);
        if (!first || !last)
            return Fail(iap::kTooLarge, "The image does not fit the chip's pages.");
        if (chip_->erase == EraseCommand::Erase && last->index > kLastErasePage)
            return Fail(iap::kRefused, "The image reaches page " + std::to_string(last->index) +
                                           ", but the only erase command of chip " + ChipText(chip_->id) +
                                           ", ERASE (0x43), reaches pages 0 to 255.");
        pages_.clear();
        for (std::uint32_t p = first->index; p <= last->index; ++p)
            pages_.push_back(*PageNumbered(*chip_, flashSize_, p));
        return 0;
    }

    int Erase()
    {
        Report(iap::kErasing);
        for (std::size_t at = 0; at < pages_.size(); at += kPagesPerErase) {
            const std::size_t n = std::min(kPagesPerErase, pages_.size() - at);
            std::vector<std::uint16_t> numbers;
            std::uint32_t kib = 0;
            for (std::size_t i = at; i < at + n; ++i) {
                numbers.push_back(static_cast<std::uint16_t>(pages_[i].index));
                kib += (pages_[i].size + 1023) / 1024;
            }
            if (Result r = client_.ErasePages(numbers, chip_->erase, kib); !r)
                return Failed(r, iap::kEraseFailed, "erasing failed: ");
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
            Result r;
            for (int attempt = 0; attempt <= kWriteRetries; ++attempt) {
                r = client_.WriteMemory(address, block);
                if (!boot::IsRefusal(r))
                    break;
            }
            if (boot::IsRefusal(r))
                return Fail(iap::kWriteFailed,
                            Sentence(r.message + ", " + std::to_string(kWriteRetries + 1) + " times"));
            if (!r)
                return Failed(r, iap::kWriteFailed, {});
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
            if (Result r = client_.ReadMemory(address, std::span(back).first(n)); !r)
                return r.code == boot::kCommandRefused
                           ? Fail(iap::kReadProtected, "The chip is read-out protected: " + r.message + ".")
                           : Failed(r, iap::kVerifyFailed, "verifying failed: ");
            if (!std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n),
                            fw_.image.begin() + static_cast<std::ptrdiff_t>(at)))
                return Fail(iap::kVerifyFailed, "The flash at " + Hex32(address) + " reads back different.");
            Progress(size + at + n);
        }
        return 0;
    }

    int Start()
    {
        if (Result r = client_.Go(fw_.header.address); !r)
            return r.code == boot::kGone || r.code == boot::kStopped
                       ? Failed(r, 0, {})
                       : Fail(iap::kGoFailed, Sentence("the new firmware could not be started: " + r.message));
        return 0;
    }

    IBootLine& line_;
    BootLoaderClient client_;
    const FirmwareImage& fw_;
    const UpgradeReport& report_;
    BootLoaderTiming timing_;
    std::vector<std::uint8_t> commands_;
    const ChipInfo* chip_ = nullptr;
    std::uint32_t flashSize_ = 0;
    std::vector<FlashPage> pages_;
    std::size_t lastProgress_ = 0;
    bool stopped_ = false;
    std::string sentence_;
};

} // namespace

BootOutcome RunBootProcedure(IBootLine& line, const FirmwareImage& firmware, const UpgradeReport& report,
                             BootLoaderTiming timing)
{
    if (firmware.image.empty())
        return {iap::kFileInvalid, "The firmware image is empty."};
    return Procedure(line, firmware, report, timing).Run();
}

} // namespace qav
