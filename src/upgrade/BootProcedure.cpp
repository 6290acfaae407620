// The upgrade procedure on a boot loader: wait for it, learn the chip, erase,
// write, verify and start, each step ending the procedure with its code.
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

// Progress notifications come at least this often.
constexpr std::size_t kProgressStep = 2048;
// Erase commands cover at most this many pages each, so each one's time-out
// stays short.
constexpr std::size_t kPagesPerErase = 64;
constexpr int kWriteRetries = 3;
// Sync bytes owed after a late wake-up go out together, at most this many.
constexpr int kMaxSyncBurst = 4;

bool Lists(const std::vector<std::uint8_t>& commands, std::uint8_t c)
{
    return std::find(commands.begin(), commands.end(), c) != commands.end();
}

} // namespace

namespace {

// The procedure, step by step; each step returns 0 to go on or the code to
// end with, after leaving why in `outcome_`.
class Procedure
{
public:
    Procedure(IBootLine& line, const FirmwareImage& fw, const UpgradeReport& report, BootLoaderTiming timing)
        : line_(line), client_(line, timing), fw_(fw), report_(report), timing_(timing)
    {
    }

    UpgradeOutcome Run()
    {
        const std::uint64_t droppedBefore = line_.DroppedInput();
        for (int (Procedure::*step)() :
             {&Procedure::WaitForBootLoader, &Procedure::LearnChip, &Procedure::Erase, &Procedure::Write,
              &Procedure::Verify, &Procedure::Start}) {
            if (const int code = (this->*step)(); code != 0) {
                if (stopped_)
                    return {};
                outcome_.code = code;
                outcome_.dropped = line_.DroppedInput() - droppedBefore;
                return outcome_;
            }
        }
        return {iap::kDone};
    }

private:
    int Fail(int code, UpgradeWhy why, std::vector<std::string> facts = {})
    {
        outcome_.why = why;
        outcome_.facts = std::move(facts);
        return code;
    }

    // The code for a failed exchange: a stop ends quietly, a device that
    // went away or stopped answering is code 23, a refusal the step's own
    // code, told as `why` with the reason.
    int Failed(const Result& r, int refusedCode, UpgradeWhy why)
    {
        switch (r.code) {
        case boot::kStopped:
            stopped_ = true;
            return -1;
        case boot::kNoAnswer:
        case boot::kGone:
            return Fail(iap::kDeviceGone, UpgradeWhy::StoppedAnswering, {r.message});
        default:
            return Fail(refusedCode, why, {r.message});
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

    // The sync bytes start on a quiet line: right after a cancelled run the
    // old command's answers may still be on their way, and would be taken
    // for answers to them. They stop at the first ACK or NACK, which may
    // come late on a slow line (a Bluetooth module, some USB adapters): the
    // time from the first sync byte to it measures the round trip. An answer
    // to a sync byte does not yet show a boot loader waiting for a command:
    // it may be the NACK of a boot loader that took sync bytes for a command,
    // with more of them to come. So the line must fall quiet for a few round
    // trips, and only a GET and a GET ID answered in full show both sides in
    // step; a first command refused or garbled means syncing again. The sync
    // bytes also fill up an unfinished command, which the boot loader
    // refuses for its checksum before it waits for a command again.
    int WaitForBootLoader()
    {
        Report(iap::kStarting);
        auto end = Clock::now() + timing_.syncWindow;
        bool answered = false;
        if (const PortIo io = AwaitQuiet(timing_.quietBeforeSync, std::min<Clock::time_point>(end, Clock::now() + timing_.quietLimit));
            io != PortIo::Ok)
            return Failed(FromIo(io, {}), 0, UpgradeWhy::Reason);
        // A boot loader that refused our GET or GET ID is there; stray bytes
        // or no answer to them are not.
        std::string refused;
        // Unknown until the first answer; then the sync bytes go one at a
        // time, each given the round trip to be answered: in step, the
        // boot loader takes a sync byte for a command and refuses it with
        // the next, and sync bytes still on their way would leave one of
        // them waiting for its complement, to spoil the next GET.
        milliseconds roundTrip{0};
        for (bool first = true;; first = false) {
            const milliseconds interval =
                first ? timing_.syncInterval : timing_.syncInterval + timing_.answerRoundTrips * roundTrip;
            Result r = SyncBurst(end, interval, !first, roundTrip);
            if (r.code == boot::kNoAnswer)
                break;
            if (r && !answered) {
                answered = true;
                end = std::max(end, Clock::now() + timing_.inStepWindow);
            }
            if (r) {
                // Whatever is still on its way arrives first (for a few round
                // trips more at most: a line that never falls quiet is tried
                // as it is).
                const milliseconds quiet = std::max(timing_.syncInterval, timing_.quietRoundTrips * roundTrip);
                if (const PortIo io = AwaitQuiet(quiet, std::min<Clock::time_point>(end, Clock::now() + 2 * quiet)); io != PortIo::Ok)
                    r = FromIo(io, {});
                else
                    r = AskBootLoader(roundTrip);
                if (r)
                    break;
                if (boot::IsRefusal(r))
                    refused = boot::CommandName(asking_);
            }
            if (r.code == boot::kStopped || r.code == boot::kGone)
                return Failed(r, 0, UpgradeWhy::Reason);
            // The bytes of the failed exchange may still come.
            const milliseconds quiet = std::max(timing_.syncInterval, timing_.quietRoundTrips * roundTrip);
            if (const PortIo io = AwaitQuiet(quiet, std::min<Clock::time_point>(end, Clock::now() + 2 * quiet)); io != PortIo::Ok)
                return Failed(FromIo(io, {}), 0, UpgradeWhy::Reason);
        }
        if (!inStep_ && !refused.empty())
            return Fail(iap::kRefused, UpgradeWhy::KeptRefusing, {refused});
        if (!inStep_)
            return Fail(
                iap::kNoBootLoader, UpgradeWhy::NoBootLoader,
                {std::to_string(std::chrono::ceil<std::chrono::seconds>(timing_.syncWindow).count())});
        Report(iap::kBootLoaderAnswered);
        return 0;
    }

    // Reads and drops what the line brings until it has been quiet for
    // `quiet`, or until `giveUp`; Ok either way unless the line was stopped
    // or went away.
    PortIo AwaitQuiet(milliseconds quiet, Clock::time_point giveUp)
    {
        for (;;) {
            const auto now = Clock::now();
            if (now >= giveUp)
                return PortIo::Ok;
            std::uint8_t b = 0;
            const PortIo io =
                line_.Receive({&b, 1}, std::min(quiet, std::chrono::ceil<milliseconds>(giveUp - now)));
            if (io == PortIo::TimedOut)
                return PortIo::Ok;
            if (io != PortIo::Ok)
                return io;
        }
    }

    // Sync bytes every `interval` until the first ACK or NACK (Ok, with the
    // round trip measured from the first sync byte, or from the last one
    // when each has its own round trip), or until `end` (no answer). A busy
    // machine's late wake-up sends the bytes it owes together, a few at
    // most. What waits unread when a sync byte goes out is dropped: a
    // flooding line must not bury the answer.
    Result SyncBurst(Clock::time_point end, milliseconds interval, bool fromLast, milliseconds& roundTrip)
    {
        const auto start = Clock::now();
        auto lastSent = start;
        long long sent = 0;
        for (;;) {
            const auto now = Clock::now();
            if (now >= end)
                return FromIo(PortIo::TimedOut, "the sync bytes");
            const long long due = (now - start) / interval + 1;
            if (due > sent) {
                line_.DiscardInput();
                lastSent = now;
                const auto owed = static_cast<std::size_t>(std::clamp<long long>(due - sent, 1, kMaxSyncBurst));
                const std::array<std::uint8_t, kMaxSyncBurst> syncs{boot::kSync, boot::kSync, boot::kSync,
                                                                    boot::kSync};
                if (Result r = FromIo(line_.Send(std::span(syncs).first(owed), timing_.send), "the sync bytes");
                    !r && r.code != boot::kNoAnswer)
                    return r;
                sent = due;
            }
            const Clock::time_point next = std::min<Clock::time_point>(end, start + interval * sent);
            // Anything but an answer is what the running firmware still had
            // on the line.
            for (std::uint8_t b = 0; Clock::now() < next;) {
                const PortIo io = line_.Receive({&b, 1}, std::chrono::ceil<milliseconds>(next - Clock::now()));
                if (io == PortIo::TimedOut)
                    break;
                if (io != PortIo::Ok)
                    return FromIo(io, "the sync bytes");
                if (b == boot::kAck || b == boot::kNack) {
                    roundTrip = std::min(timing_.maxRoundTrip,
                                         std::chrono::ceil<milliseconds>(Clock::now() - (fromLast ? lastSent : start)));
                    return {};
                }
            }
        }
    }

    // GET, whose answer also measures the round trip again (the burst's
    // measure may include a late reset), then GET ID.
    Result AskBootLoader(milliseconds& roundTrip)
    {
        BootLoaderTiming probe = timing_;
        probe.answer = timing_.getAnswer;
        BootLoaderClient asking(line_, probe);
        asking.AllowForRoundTrip(roundTrip);
        std::uint8_t version = 0;
        const auto sent = Clock::now();
        asking_ = boot::kGet;
        if (Result r = asking.Get(version, commands_); !r) {
            // A refusal of the command byte came back one round trip after
            // it went: a truer measure than a burst's, for the retry.
            if (r.code == boot::kCommandRefused)
                roundTrip =
                    std::min(timing_.maxRoundTrip, std::chrono::ceil<milliseconds>(Clock::now() - sent));
            return r;
        }
        // Every boot loader lists these three first; a line that merely
        // repeats bytes does not.
        for (std::uint8_t always : {boot::kGet, boot::kGetVersion, boot::kGetId})
            if (!Lists(commands_, always))
                return Result::Failed(boot::kGarbled, "a GET answer that lists no " + boot::CommandName(always));
        roundTrip = std::chrono::ceil<milliseconds>(Clock::now() - sent);
        client_.AllowForRoundTrip(roundTrip);
        std::uint16_t pid = 0;
        asking_ = boot::kGetId;
        if (Result r = client_.GetId(pid); !r)
            return r;
        pid_ = pid;
        inStep_ = true;
        return {};
    }

    int LearnChip()
    {
        const std::uint16_t pid = pid_;
        chip_ = FindChip(pid);
        if (fw_.header.chip != 0 && fw_.header.chip != pid)
            return Fail(iap::kWrongBoard, UpgradeWhy::ChipMismatch,
                        {ChipText(fw_.header.chip), ChipText(pid)});
        if (!chip_)
            return Fail(iap::kRefused, UpgradeWhy::ChipUnknown, {ChipText(pid)});
        // The erase command is the one the boot loader lists, as AN3155 hosts
        // do: EXTENDED ERASE where it is offered, else ERASE.
        erase_ = Lists(commands_, boot::kExtendedErase) ? boot::kExtendedErase : boot::kErase;
        for (std::uint8_t needed : {boot::kGetId, boot::kReadMemory, boot::kWriteMemory, boot::kGo, erase_})
            if (!Lists(commands_, needed))
                return needed == boot::kErase
                           ? Fail(iap::kRefused, UpgradeWhy::NoEraseCommand)
                           : Fail(iap::kRefused, UpgradeWhy::CommandMissing, {boot::CommandName(needed)});
        std::array<std::uint8_t, 2> size{};
        if (Result r = client_.ReadMemory(chip_->flashSizeRegister, size); !r)
            return r.code == boot::kCommandRefused
                       ? Fail(iap::kReadProtected, UpgradeWhy::ReadProtected, {r.message})
                       : Failed(r, iap::kRefused, UpgradeWhy::FlashSizeUnread);
        flashSize_ = (std::uint32_t(size[0]) | std::uint32_t(size[1]) << 8) * 1024u;
        const std::uint64_t end = std::uint64_t(fw_.header.address) + fw_.image.size();
        if (fw_.header.address < chip_->flashBase || end > std::uint64_t(chip_->flashBase) + flashSize_)
            return Fail(iap::kTooLarge, UpgradeWhy::ImageTooLarge,
                        {std::to_string(fw_.image.size()), Hex32(fw_.header.address),
                         std::to_string(flashSize_ / 1024), Hex32(chip_->flashBase)});
        return PlanErase();
    }

    // The erase units the image covers, checked before anything is erased.
    int PlanErase()
    {
        const std::uint32_t from = fw_.header.address - chip_->flashBase;
        const auto first = PageAt(*chip_, flashSize_, from);
        const auto last = PageAt(*chip_, flashSize_, from + static_cast<std::uint32_t>(fw_.image.size()) - 1);
        if (!first || !last)
            return Fail(iap::kTooLarge, UpgradeWhy::ImageOffPages);
        if (erase_ == boot::kErase && last->index > kLastErasePage)
            return Fail(iap::kRefused, UpgradeWhy::PageBeyondErase,
                        {std::to_string(last->index), ChipText(chip_->id)});
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
            if (Result r = client_.ErasePages(numbers, erase_, kib); !r)
                return Failed(r, iap::kEraseFailed, UpgradeWhy::EraseFailed);
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
                return Fail(iap::kWriteFailed, UpgradeWhy::WriteRefused,
                            {r.message, std::to_string(kWriteRetries + 1)});
            if (!r)
                return Failed(r, iap::kWriteFailed, UpgradeWhy::Reason);
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
                           ? Fail(iap::kReadProtected, UpgradeWhy::ReadProtected, {r.message})
                           : Failed(r, iap::kVerifyFailed, UpgradeWhy::VerifyFailed);
            if (!std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n),
                            fw_.image.begin() + static_cast<std::ptrdiff_t>(at)))
                return Fail(iap::kVerifyFailed, UpgradeWhy::VerifyDiffers, {Hex32(address)});
            Progress(size + at + n);
        }
        return 0;
    }

    int Start()
    {
        if (Result r = client_.Go(fw_.header.address); !r)
            return r.code == boot::kGone || r.code == boot::kStopped
                       ? Failed(r, 0, UpgradeWhy::Reason)
                       : Fail(iap::kGoFailed, UpgradeWhy::StartFailed, {r.message});
        return 0;
    }

    IBootLine& line_;
    BootLoaderClient client_;
    const FirmwareImage& fw_;
    const UpgradeReport& report_;
    BootLoaderTiming timing_;
    std::vector<std::uint8_t> commands_; // as the GET answer lists them
    bool inStep_ = false;                // GET and GET ID answered in full
    std::uint8_t asking_ = boot::kGet;   // the command of the last exchange while getting in step
    std::uint16_t pid_ = 0;
    std::uint8_t erase_ = boot::kErase;
    const ChipInfo* chip_ = nullptr;
    std::uint32_t flashSize_ = 0;
    std::vector<FlashPage> pages_;
    std::size_t lastProgress_ = 0;
    bool stopped_ = false;
    UpgradeOutcome outcome_;
};

} // namespace

UpgradeOutcome RunBootProcedure(IBootLine& line, const FirmwareImage& firmware, const UpgradeReport& report,
                                BootLoaderTiming timing)
{
    if (firmware.image.empty())
        return {iap::kFileInvalid, UpgradeWhy::ImageEmpty};
    return Procedure(line, firmware, report, timing).Run();
}

} // namespace qav
