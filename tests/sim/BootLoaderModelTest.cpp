// The simulated boot loader byte by byte, and the upgrade procedure run
// against it in-process (no time passes: a missing answer times out at once).
#include "BootLoaderModel.h"

#include "upgrade/BootLoader.h"
#include "upgrade/UpgradeCodes.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace qav {
namespace {

using Bytes = std::vector<std::uint8_t>;
using sim::BootLoaderModel;

constexpr std::uint8_t A = 0x79, N = 0x1F;

Bytes Address(std::uint32_t a)
{
    Bytes b{std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8), std::uint8_t(a)};
    b.push_back(b[0] ^ b[1] ^ b[2] ^ b[3]);
    return b;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Feed(BootLoaderModel& m, const Bytes& in)
{
    Bytes out;
    for (std::uint8_t b : in)
        m.Feed(b, out);
    return out;
}

TEST(SimBootLoader, AnswersByteByByte)
{
    struct Case
    {
        const char* name;
        bool extended;
        Bytes request;
        Bytes answer;
    };
    const Bytes word{1, 2, 3, 4};
    const std::vector<Case> cases{
        {"GET lists ERASE", false, {0x00, 0xFF}, {A, 7, 0x22, 0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43, A}},
        {"GET lists EXTENDED ERASE",
         true,
         {0x00, 0xFF},
         {A, 7, 0x22, 0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x44, A}},
        {"GET ID", false, {0x02, 0xFD}, {A, 1, 0x04, 0x10, A}},
        {"bad complement", false, {0x00, 0x00}, {N}},
        {"unknown command", false, {0x63, 0x9C}, {N}},
        {"the erase command it does not list", true, {0x43, 0xBC}, {N}},
        {"flash size register",
         false,
         Cat({{0x11, 0xEE}, Address(0x1FFFF7E0), {1, 0xFE}}),
         {A, A, A, 128, 0}},
        {"read outside memory", false, Cat({{0x11, 0xEE}, Address(0x20000000)}), {A, N}},
        {"address checksum", false, {0x11, 0xEE, 0x08, 0, 0, 0, 0}, {A, N}},
        {"read flash", false, Cat({{0x11, 0xEE}, Address(0x08000000), {3, 0xFC}}), {A, A, A, 9, 9, 9, 9}},
        {"write over programmed bytes",
         false,
         Cat({{0x31, 0xCE}, Address(0x08000000), {3, 1, 2, 3, 4, 7}}),
         {A, A, N}},
        {"write to erased flash",
         false,
         Cat({{0x31, 0xCE}, Address(0x08000400), {3, 1, 2, 3, 4, 7}}),
         {A, A, A}},
        {"write, bad checksum",
         false,
         Cat({{0x31, 0xCE}, Address(0x08000400), {3, 1, 2, 3, 4, 6}}),
         {A, A, N}},
        {"write, length not whole words",
         false,
         Cat({{0x31, 0xCE}, Address(0x08000400), {1, 1, 2, 2}}),
         {A, A, N}},
        {"erase page 0 then write",
         false,
         Cat({{0x43, 0xBC, 0, 0, 0}, {0x31, 0xCE}, Address(0x08000000), {3, 1, 2, 3, 4, 7}}),
         {A, A, A, A, A}},
        {"extended erase of pages 0 and 1", true, {0x44, 0xBB, 0, 1, 0, 0, 0, 1, 0}, {A, A}},
        {"erase past the flash", false, {0x43, 0xBC, 0, 200, 200}, {A, N}},
        {"GO", false, Cat({{0x21, 0xDE}, Address(0x08000000)}), {A, A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderModel m(128, c.extended, Bytes(1024, 9));
        EXPECT_EQ(m.Enter(), A);
        EXPECT_EQ(Feed(m, c.request), c.answer);
    }
}

TEST(SimBootLoader, GoReportsTheStartAndTheImageVersion)
{
    BootLoaderModel m(64, true, sim::SimFirmwareImage(42, 2048));
    m.Enter();
    Bytes out;
    std::optional<std::uint32_t> go;
    for (std::uint8_t b : Cat({{0x21, 0xDE}, Address(0x08000000)}))
        if (auto started = m.Feed(b, out))
            go = started;
    EXPECT_EQ(go, 0x08000000u);
    EXPECT_EQ(m.VersionAt(*go), 42);
    EXPECT_EQ(m.Stats().starts, 1);
}

// A line whose far end's answers wait in a queue until the PC reads them.
class QueuedAnswersLine : public IBootLine
{
public:
    PortIo Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds) override
    {
        if (answers_.size() < dest.size())
            return PortIo::TimedOut;
        for (auto& b : dest) {
            b = answers_.front();
            answers_.pop_front();
        }
        return PortIo::Ok;
    }
    void DiscardInput() override { answers_.clear(); }

protected:
    std::deque<std::uint8_t> answers_;
};

// The PC's line wired straight to the model: what is sent is answered at once.
class ModelLine final : public QueuedAnswersLine
{
public:
    explicit ModelLine(BootLoaderModel& m) : m_(m) {}
    // A boot loader already running, as a cancelled run left it: `heard` fed
    // to it, its answers still on their way (they arrive after the next
    // request is sent).
    void LeftBehind(const Bytes& heard)
    {
        inBoot_ = true;
        for (std::uint8_t b : heard)
            m_.Feed(b, late_);
    }
    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        answers_.insert(answers_.end(), late_.begin(), late_.end());
        late_.clear();
        for (std::uint8_t b : bytes) {
            Bytes out;
            if (!inBoot_ && b == 0x7F) {
                inBoot_ = true;
                out.push_back(m_.Enter());
            } else if (inBoot_) {
                m_.Feed(b, out);
            }
            answers_.insert(answers_.end(), out.begin(), out.end());
        }
        return PortIo::Ok;
    }

private:
    BootLoaderModel& m_;
    Bytes late_;
    bool inBoot_ = false;
};

TEST(BootProcedure, EndsWithTheCodeOfWhatWentWrong)
{
    struct Case
    {
        const char* name;
        sim::BootFaults faults;
        std::uint32_t address;
        std::size_t size;
        int code;
    };
    sim::BootFaults protectedChip, silentEarly;
    protectedChip.readProtected = true;
    silentEarly.silentAfter = 20;
    const std::vector<Case> cases{
        {"success", {}, 0x08000000, 5000, iap::kDone},
        {"success at an offset, unaligned length", {}, 0x08004000, 1001, iap::kDone},
        {"read-out protected", protectedChip, 0x08000000, 1024, iap::kReadProtected},
        {"beyond the flash", {}, 0x08000000 + 63 * 1024, 2048, iap::kTooLarge},
        {"below the flash", {}, 0x07FFFC00, 1024, iap::kTooLarge},
        {"silent after the chip was learnt", silentEarly, 0x08000000, 1024, iap::kDeviceGone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderModel m(64, true, Bytes(64 * 1024, 0x00), c.faults);
        ModelLine line(m);
        FirmwareImage fw;
        fw.header.address = c.address;
        fw.image = sim::SimFirmwareImage(3, c.size);
        std::vector<int> codes;
        const int end = RunBootProcedure(line, fw, [&](int code, int) { codes.push_back(code); });
        EXPECT_EQ(end, c.code);
        if (end == iap::kDone) {
            const std::size_t at = c.address - 0x08000000;
            EXPECT_TRUE(std::equal(fw.image.begin(), fw.image.end(), m.Flash().begin() + at));
            // Only the pages the image covers are erased.
            const std::size_t firstPage = at / 1024, lastPage = (at + c.size - 1) / 1024;
            EXPECT_EQ(m.Stats().pagesErased, static_cast<int>(lastPage - firstPage + 1));
            EXPECT_EQ(m.Flash()[at + c.size], 0xFF); // padding of the last word, or erased rest of a page
            if (firstPage > 0) {
                EXPECT_EQ(m.Flash()[firstPage * 1024 - 1], 0x00);
            }
        } else {
            EXPECT_EQ(m.Stats().writes, 0);
        }
    }
}

// A new run started right after a cancelled one finds the boot loader still
// in the middle of the old command, or its answer still on the line: it must
// get back in step with the boot loader and finish the job.
TEST(BootProcedure, StartsCleanWhereACancelledRunLeftTheBootLoader)
{
    Bytes flash(64 * 1024);
    for (std::size_t i = 0; i < flash.size(); ++i)
        flash[i] = i % 2 ? 0x79 : 0x1F; // read back, looks like ACKs and NACKs
    Bytes block(100, 0x55);
    const std::vector<std::pair<const char*, Bytes>> cases{
        {"awaits the complement", {0x31}},
        {"awaits the address, its ACK on the line", {0x31, 0xCE}},
        {"half an address", Cat({{0x31, 0xCE}, Bytes{0x08, 0x00}})},
        {"awaits the block, the address's ACK on the line", Cat({{0x31, 0xCE}, Address(0x08000000)})},
        {"half a block", Cat({{0x31, 0xCE}, Address(0x08000000), {0xFF}, block})},
        {"awaits the read length", Cat({{0x11, 0xEE}, Address(0x08000000)})},
        {"read data on the line", Cat({{0x11, 0xEE}, Address(0x08000000), {0xFF, 0x00}})},
        {"an erase's ACK on the line", {0x44, 0xBB, 0x00, 0x01, 0x00, 0x05, 0x00, 0x06, 0x02}},
        {"a GET's answer on the line", {0x00, 0xFF}},
        {"a GET ID's answer on the line", {0x02, 0xFD}},
    };
    for (const auto& [name, heard] : cases) {
        SCOPED_TRACE(name);
        BootLoaderModel m(64, true, flash);
        ModelLine line(m);
        line.LeftBehind(heard);
        FirmwareImage fw;
        fw.header.address = 0x08000000;
        fw.image = sim::SimFirmwareImage(4, 3000);
        BootLoaderTiming quick;
        quick.syncWindow = std::chrono::milliseconds(2000);
        std::vector<int> codes;
        EXPECT_EQ(RunBootProcedure(
                      line, fw, [&](int code, int) { codes.push_back(code); }, quick),
                  iap::kDone);
        ASSERT_GE(codes.size(), 2u);
        EXPECT_EQ(codes[1], iap::kBootLoaderAnswered);
        EXPECT_TRUE(std::equal(fw.image.begin(), fw.image.end(), m.Flash().begin()));
    }
}

// A line whose far end answers each byte by a fixed rule.
class ScriptedLine final : public QueuedAnswersLine
{
public:
    explicit ScriptedLine(std::function<Bytes(std::uint8_t)> rule) : rule_(std::move(rule)) {}
    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        for (std::uint8_t b : bytes)
            for (std::uint8_t a : rule_(b))
                answers_.push_back(a);
        return PortIo::Ok;
    }

private:
    std::function<Bytes(std::uint8_t)> rule_;
};

TEST(BootProcedure, ASyncAnswerAloneIsNotABootLoader)
{
    struct Case
    {
        const char* name;
        std::function<Bytes(std::uint8_t)> rule;
        int code;
    };
    const std::vector<Case> cases{
        {"silence", [](std::uint8_t) { return Bytes{}; }, iap::kNoBootLoader},
        {"a NACK for everything", [](std::uint8_t) { return Bytes{N}; }, iap::kRefused},
        {"an ACK for every sync, nothing else", [](std::uint8_t b) { return b == 0x7F ? Bytes{A} : Bytes{}; },
         iap::kNoBootLoader},
        {"an ACK for every byte", [](std::uint8_t) { return Bytes{A}; }, iap::kNoBootLoader},
        {"a NACK for a GET", [](std::uint8_t b) { return b == 0x7F ? Bytes{A} : Bytes{N}; }, iap::kRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine line(c.rule);
        FirmwareImage fw;
        fw.header.address = 0x08000000;
        fw.image = Bytes(1024, 1);
        BootLoaderTiming quick;
        quick.syncWindow = std::chrono::milliseconds(300);
        std::vector<int> codes;
        EXPECT_EQ(RunBootProcedure(
                      line, fw, [&](int code, int) { codes.push_back(code); }, quick),
                  c.code);
        EXPECT_EQ(codes, std::vector<int>{iap::kStarting});
    }
}

} // namespace
} // namespace qav
