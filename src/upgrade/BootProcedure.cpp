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
// The line counts as quiet once no byte has come for this long.
constexpr milliseconds kQuietLine{20};
// Sync bytes owed after a late wake-up go out together, at most this many.
constexpr int kMaxSyncBurst = 4;

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
