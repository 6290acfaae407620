// The boot loader client and the whole procedure, run in-process against the
// simulator's boot loader model and against scripted lines (no time passes:
// a missing answer times out at once): every chip of the table, the checks
// made before anything is erased, and a procedure that always ends.
#include "support/BootBytes.h"
#include "support/FakeBootLines.h"
#include "support/Patience.h"

#include "BootLoaderModel.h"
#include "CliMessages.h"
#include "ControllerModel.h"
#include "MotorBoardModel.h"
#include "motor/MotorProtocol.h"
#include "protocol/ControllerProtocol.h"
#include "upgrade/BoardIdentity.h"
#include "upgrade/BootLoader.h"
#include "upgrade/UpgradeCodes.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace qav {
namespace {

using sim::BootLoaderModel;
using test::Address;
using test::Bytes;
using test::Cat;
using test::FloodLine;
using test::ModelLine;
using test::ScriptedLine;
using test::ScriptLine;

constexpr std::uint8_t A = 0x79, N = 0x1F;
constexpr std::uint32_t kBase = 0x08000000;

FirmwareImage Firmware(std::uint32_t address, std::size_t size, std::uint16_t chip = 0)
{
    FirmwareImage fw;
    fw.header.address = address;
    fw.header.chip = chip;
    fw.image = sim::SimFirmwareImage(3, size);
    return fw;
}

struct ProcedureRun
{
    UpgradeOutcome outcome;
    std::string sentence; // as the command-line tool words the outcome
    std::vector<int> codes;
};

ProcedureRun RunOn(IBootLine& line, const FirmwareImage& fw, BootLoaderTiming timing = {})
{
    ProcedureRun run;
    run.outcome = RunBootProcedure(
        line, fw, [&](int code, int) { run.codes.push_back(code); }, timing);
    run.sentence = cli::UpgradeSentence(run.outcome);
    return run;
}

BootLoaderTiming Quick()
{
    BootLoaderTiming t;
    t.syncWindow = std::chrono::milliseconds(300);
    return t;
}

// Each row of the chip table against ST's documents, written out here: the
// flash at 0x08000000, the flash-size register of the family (RM0008 F1,
// RM0316 F3, RM0090 F4) and the first erase units (RM0008: 1 KiB pages in
// low and medium density, 2 KiB in high density, XL and connectivity line;
// RM0316: 2 KiB pages in the F303xB/C; RM0090: sectors of 16, 16, 16, 16,
// 64, then 128 KiB).
TEST(BootChips, EveryRowHoldsTheFactsOfItsPart)
{
    constexpr std::uint32_t K = 1024;
    struct Case
    {
        std::uint16_t id;
        std::uint32_t flashSizeRegister;
        std::vector<std::uint32_t> firstUnits; // bytes, from the flash's base
    };
    const std::vector<Case> cases{
        {0x412, 0x1FFFF7E0, {K, K, K}},
        {0x410, 0x1FFFF7E0, {K, K, K}},
        {0x420, 0x1FFFF7E0, {K, K, K}},
        {0x414, 0x1FFFF7E0, {2 * K, 2 * K, 2 * K}},
        {0x428, 0x1FFFF7E0, {2 * K, 2 * K, 2 * K}},
        {0x418, 0x1FFFF7E0, {2 * K, 2 * K, 2 * K}},
        {0x430, 0x1FFFF7E0, {2 * K, 2 * K, 2 * K}},
        {0x422, 0x1FFFF7CC, {2 * K, 2 * K, 2 * K}},
        {0x413, 0x1FFF7A22, {16 * K, 16 * K, 16 * K, 16 * K, 64 * K, 128 * K, 128 * K}},
    };
    // A new row of the table needs its case here.
    ASSERT_EQ(cases.size(), KnownChips().size());
    for (const Case& c : cases) {
        SCOPED_TRACE(ChipText(c.id));
        const ChipInfo* chip = FindChip(c.id);
        ASSERT_NE(chip, nullptr);
        EXPECT_EQ(chip->flashBase, 0x08000000u);
        EXPECT_EQ(chip->flashSizeRegister, c.flashSizeRegister);
        std::uint32_t offset = 0;
        for (std::uint32_t i = 0; i < c.firstUnits.size(); ++i) {
            const auto unit = PageNumbered(*chip, 1024 * K, i);
            ASSERT_TRUE(unit);
            EXPECT_EQ(unit->size, c.firstUnits[i]) << "unit " << i;
            EXPECT_EQ(unit->offset, offset) << "unit " << i;
            EXPECT_EQ(PageAt(*chip, 1024 * K, offset + c.firstUnits[i] - 1)->index, i);
            offset += c.firstUnits[i];
        }
    }
}

// Every part flashes through the simulator's boot loader by its own units:
// an image that straddles the first unit's end erases exactly the units it
// covers; an image one word larger than the flash erases nothing.
TEST(BootChips, EveryChipOfTheTableIsFlashedByItsOwnUnits)
{
    for (const ChipInfo& chip : KnownChips()) {
        SCOPED_TRACE(ChipText(chip.id));
        const std::uint32_t firstUnit = PageAt(chip, 64 * 1024, 0)->size;
        BootLoaderModel m(chip, 64, Bytes(64 * 1024, 0x00));
        ModelLine line(m);
        const FirmwareImage fw = Firmware(kBase + firstUnit - 512, 5000, chip.id);
        const ProcedureRun run = RunOn(line, fw);
        EXPECT_EQ(run.outcome.code, iap::kDone) << run.sentence;
        const std::uint32_t lastUnit = PageAt(chip, 64 * 1024, firstUnit - 512 + 5000 - 1)->index;
        EXPECT_EQ(m.Stats().pagesErased, static_cast<int>(lastUnit) + 1);
        const auto at = m.Flash().begin() + firstUnit - 512;
        EXPECT_TRUE(std::equal(fw.image.begin(), fw.image.end(), at));
        EXPECT_EQ(m.Flash()[firstUnit - 513], 0xFF); // erased with its unit

        BootLoaderModel small(chip, 64, Bytes(64 * 1024, 0x00));
        ModelLine smallLine(small);
        const ProcedureRun tooLarge = RunOn(smallLine, Firmware(kBase, 64 * 1024 + 4));
        EXPECT_EQ(tooLarge.outcome.code, iap::kTooLarge);
        EXPECT_EQ(small.Stats().pagesErased, 0);
    }
}

// A boot loader written out byte by byte: an F1 medium-density part (flash
// size at 0x1FFFF7E0, 64 KiB) taking an image of eight bytes at the flash's
// base. `commands` is what its GET answer lists.
const Bytes kImage{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

Bytes GetAnswer(const Bytes& commands)
{
    return Cat({{A, static_cast<std::uint8_t>(commands.size()), 0x22}, commands, {A}});
}
const Bytes kGetIdAnswer{A, 0x01, 0x04, 0x10, A};

std::vector<ScriptLine::Exchange> Flashing(const Bytes& eraseCommand, const Bytes& erasePages)
{
    std::uint8_t sum = 0x07;
    for (std::uint8_t b : kImage)
        sum ^= b;
    return {
        {{0x11, 0xEE}, {A}}, {Address(0x1FFFF7E0), {A}}, {{0x01, 0xFE}, {A, 0x40, 0x00}},
        {eraseCommand, {A}}, {erasePages, {A}},
        {{0x31, 0xCE}, {A}}, {Address(kBase), {A}}, {Cat({{0x07}, kImage, {sum}}), {A}},
        {{0x11, 0xEE}, {A}}, {Address(kBase), {A}}, {{0x07, 0xF8}, Cat({{A}, kImage})},
        {{0x21, 0xDE}, {A}}, {Address(kBase), {A}},
    };
}

std::vector<ScriptLine::Exchange> Join(std::initializer_list<std::vector<ScriptLine::Exchange>> parts)
{
    std::vector<ScriptLine::Exchange> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// The erase command is the one the GET answer lists, whatever the chip
// table documents for the part (0x410: ERASE); and a first command refused,
// garbled or answered by a late NACK means syncing again, not giving up.
TEST(BootProcedure, FollowsWhatTheBootLoaderAnswers)
{
    const Bytes withExtended{0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x44};
    const Bytes withErase{0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43};
    const Bytes withBoth{0x00, 0x01, 0x02, 0x11, 0x21, 0x31, 0x43, 0x44};
    const Bytes withNone{0x00, 0x01, 0x02, 0x11, 0x21, 0x31};
    const auto extendedErase = Flashing({0x44, 0xBB}, {0x00, 0x00, 0x00, 0x00, 0x00});
    const auto erase = Flashing({0x43, 0xBC}, {0x00, 0x00, 0x00});
    // A boot loader in step takes a lone sync byte for a command and
    // refuses it with the next one.
    const ScriptLine::Exchange inStepAgain{{0x7F, 0x7F}, {N}};
    struct Case
    {
        const char* name;
        std::vector<ScriptLine::Exchange> script;
        int code;
        const char* sentence;
    };
    const std::vector<Case> cases{
        {"only EXTENDED ERASE listed",
         Join({{{{0x7F}, {A}}, {{0x00, 0xFF}, GetAnswer(withExtended)}, {{0x02, 0xFD}, kGetIdAnswer}},
               extendedErase}),
         iap::kDone, ""},
        {"only ERASE listed",
         Join({{{{0x7F}, {A}}, {{0x00, 0xFF}, GetAnswer(withErase)}, {{0x02, 0xFD}, kGetIdAnswer}}, erase}),
         iap::kDone, ""},
        {"both listed",
         Join({{{{0x7F}, {A}}, {{0x00, 0xFF}, GetAnswer(withBoth)}, {{0x02, 0xFD}, kGetIdAnswer}},
               extendedErase}),
         iap::kDone, ""},
        {"no erase listed",
         {{{0x7F}, {A}}, {{0x00, 0xFF}, GetAnswer(withNone)}, {{0x02, 0xFD}, kGetIdAnswer}},
         iap::kRefused, "The boot loader does not offer ERASE (0x43) or EXTENDED ERASE (0x44)."},
        {"a late NACK after the GET answer",
         Join({{{{0x7F}, {A}},
                {{0x00, 0xFF}, Cat({GetAnswer(withErase), {N}})},
                {{0x02, 0xFD}, kGetIdAnswer},
                inStepAgain,
                {{0x00, 0xFF}, GetAnswer(withErase)},
                {{0x02, 0xFD}, kGetIdAnswer}},
               erase}),
         iap::kDone, ""},
        {"GET refused first",
         Join({{{{0x7F}, {A}}, {{0x00, 0xFF}, {N}}, inStepAgain, {{0x00, 0xFF}, GetAnswer(withErase)},
                {{0x02, 0xFD}, kGetIdAnswer}},
               erase}),
         iap::kDone, ""},
        {"GET garbled first",
         Join({{{{0x7F}, {A}}, {{0x00, 0xFF}, {0x55, 0x55}}, inStepAgain,
                {{0x00, 0xFF}, GetAnswer(withErase)}, {{0x02, 0xFD}, kGetIdAnswer}},
               erase}),
         iap::kDone, ""},
        {"GET ID refused first",
         Join({{{{0x7F}, {A}}, {{0x00, 0xFF}, GetAnswer(withErase)}, {{0x02, 0xFD}, {N}}, inStepAgain,
                {{0x00, 0xFF}, GetAnswer(withErase)}, {{0x02, 0xFD}, kGetIdAnswer}},
               erase}),
         iap::kDone, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptLine line(c.script);
        FirmwareImage fw;
        fw.header.address = kBase;
        fw.image = kImage;
        BootLoaderTiming patient;
        patient.syncWindow = test::kPatience;
        const ProcedureRun run = RunOn(line, fw, patient);
        EXPECT_EQ(run.outcome.code, c.code) << run.sentence;
        EXPECT_EQ(run.sentence, c.sentence);
        EXPECT_TRUE(line.Done()) << "unexpected: " << ::testing::PrintToString(line.Unexpected());
    }
}

// The chip is checked against the file, and the pages against the erase
// command, before anything is erased.
TEST(BootChips, WhatCannotBeDoneErasesNothing)
{
    struct Case
    {
        const char* name;
        std::uint16_t boardChip;
        std::uint32_t flashKiB;
        FirmwareImage fw;
        int code;
        const char* sentence;
    };
    const std::vector<Case> cases{
        {"the file names another chip", 0x410, 64, Firmware(kBase, 4096, 0x414), iap::kWrongBoard,
         "The file is for chip 0x414 (STM32F10x high density); the board's chip is 0x410 (STM32F10x medium "
         "density)."},
        {"the file names this chip", 0x410, 64, Firmware(kBase, 4096, 0x410), iap::kDone, ""},
        {"any chip", 0x413, 64, Firmware(kBase, 4096), iap::kDone, ""},
        // 1 MiB of 2 KiB pages: page 300 is beyond what ERASE can number.
        {"a page above 255 for ERASE", 0x430, 1024, Firmware(kBase + 300 * 2048, 4096), iap::kRefused,
         "The image reaches page 301, but the only erase command the boot loader of chip 0x430 (STM32F10x XL "
         "density) offers, ERASE (0x43), reaches pages 0 to 255."},
        {"pages up to 255 for ERASE", 0x430, 1024, Firmware(kBase + 254 * 2048, 4096), iap::kDone, ""},
        {"below the flash", 0x410, 64, Firmware(0x07FFFC00, 1024), iap::kTooLarge,
         "The image (1024 bytes at 0x07FFFC00) does not fit the chip's 64 KiB of flash at 0x08000000."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderModel m(*FindChip(c.boardChip), c.flashKiB, {});
        ModelLine line(m);
        const ProcedureRun run = RunOn(line, c.fw);
        EXPECT_EQ(run.outcome.code, c.code);
        EXPECT_EQ(run.sentence, c.sentence);
        if (c.code != iap::kDone) {
            EXPECT_EQ(m.Stats().pagesErased, 0);
            EXPECT_EQ(m.Stats().writes, 0);
        }
    }
}

// ERASE never carries a page number above 255, and the client refuses to
// send one rather than cut it to a byte.
TEST(BootLoaderClient, EraseNeverSendsAPageItCannotNumber)
{
    struct Case
    {
        std::vector<std::uint16_t> pages;
        std::uint8_t command;
        bool sent;
    };
    const std::vector<Case> cases{
        {{255}, boot::kErase, true},
        {{256}, boot::kErase, false},
        {{10, 300}, boot::kErase, false},
        {std::vector<std::uint16_t>(256, 1), boot::kErase, false},
        {{300}, boot::kExtendedErase, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pages.back());
        ScriptedLine line([](std::uint8_t) { return Bytes{A}; });
        BootLoaderClient client(line);
        const Result r = client.ErasePages(c.pages, c.command, 1);
        EXPECT_EQ(r.Ok(), c.sent) << r.message;
        EXPECT_EQ(line.Sent().empty(), !c.sent);
    }
}

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
    sim::BootFaults protectedChip, silentEarly, refusedForGood;
    protectedChip.readProtected = true;
    silentEarly.silentAfter = 20;
    refusedForGood.refuseWrite = 2;
    refusedForGood.refuseWriteCount = 4;
    const std::vector<Case> cases{
        {"success", {}, kBase, 5000, iap::kDone},
        {"success at an offset, unaligned length", {}, kBase + 0x4000, 1001, iap::kDone},
        {"read-out protected", protectedChip, kBase, 1024, iap::kReadProtected},
        {"beyond the flash", {}, kBase + 63 * 1024, 4096, iap::kTooLarge},
        {"silent after the chip was learnt", silentEarly, kBase, 1024, iap::kDeviceGone},
        {"a block refused four times", refusedForGood, kBase, 2048, iap::kWriteFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderModel m(*FindChip(0x422), 64, Bytes(64 * 1024, 0x00), c.faults);
        ModelLine line(m);
        const FirmwareImage fw = Firmware(c.address, c.size);
        const ProcedureRun run = RunOn(line, fw);
        EXPECT_EQ(run.outcome.code, c.code) << run.sentence;
        EXPECT_EQ(run.sentence.empty(), c.code == iap::kDone);
        if (run.outcome.code == iap::kDone) {
            const std::size_t at = c.address - kBase;
            EXPECT_TRUE(std::equal(fw.image.begin(), fw.image.end(), m.Flash().begin() + at));
            // Only the pages the image covers are erased.
            const std::size_t firstPage = at / 2048, lastPage = (at + c.size - 1) / 2048;
            EXPECT_EQ(m.Stats().pagesErased, static_cast<int>(lastPage - firstPage + 1));
            EXPECT_EQ(m.Flash()[at + c.size], 0xFF); // padding of the last word, or erased rest of a page
            if (firstPage > 0) {
                EXPECT_EQ(m.Flash()[firstPage * 2048 - 1], 0x00);
            }
        } else if (c.code != iap::kWriteFailed) {
            EXPECT_EQ(m.Stats().writes, 0);
        }
    }
}

// A new run started right after a cancelled one finds the boot loader still
// in the middle of the old command, or its answer still on the line: it must
// get back in step with the boot loader and finish the job. Sync bytes fill
// an unfinished command (AN3155 has no time-out within one).
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
        {"awaits the block, the address's ACK on the line", Cat({{0x31, 0xCE}, Address(kBase)})},
        {"half a block", Cat({{0x31, 0xCE}, Address(kBase), {0xFF}, block})},
        {"a whole block still to come", Cat({{0x31, 0xCE}, Address(kBase), {0xFF}})},
        {"awaits the read length", Cat({{0x11, 0xEE}, Address(kBase)})},
        {"read data on the line", Cat({{0x11, 0xEE}, Address(kBase), {0xFF, 0x00}})},
        {"an erase's ACK on the line", {0x44, 0xBB, 0x00, 0x01, 0x00, 0x05, 0x00, 0x06, 0x02}},
        {"a GET's answer on the line", {0x00, 0xFF}},
        {"a GET ID's answer on the line", {0x02, 0xFD}},
    };
    for (const auto& [name, heard] : cases) {
        SCOPED_TRACE(name);
        BootLoaderModel m(*FindChip(0x422), 64, flash);
        ModelLine line(m);
        line.LeftBehind(heard);
        const FirmwareImage fw = Firmware(kBase, 3000);
        // The window only ends a run that never finds the boot loader.
        BootLoaderTiming patient;
        patient.syncWindow = test::kPatience;
        const ProcedureRun run = RunOn(line, fw, patient);
        EXPECT_EQ(run.outcome.code, iap::kDone) << run.sentence;
        ASSERT_GE(run.codes.size(), 2u);
        EXPECT_EQ(run.codes[1], iap::kBootLoaderAnswered);
        EXPECT_TRUE(std::equal(fw.image.begin(), fw.image.end(), m.Flash().begin()));
    }
}

TEST(BootProcedure, ASyncAnswerAloneIsNotABootLoaderAndTheWaitAlwaysEnds)
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
        {"a running firmware's chatter", [](std::uint8_t) { return Bytes(40, 0x55); }, iap::kNoBootLoader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedLine line(c.rule);
        const ProcedureRun run = RunOn(line, Firmware(kBase, 1024), Quick());
        EXPECT_EQ(run.outcome.code, c.code);
        EXPECT_EQ(run.codes, std::vector<int>{iap::kStarting});
    }
    // A line that never stops bringing bytes is given up when the window
    // ends, whatever the byte.
    for (std::uint8_t flood : {std::uint8_t(0x55), A}) {
        SCOPED_TRACE(int(flood));
        FloodLine line(flood);
        EXPECT_EQ(RunOn(line, Firmware(kBase, 1024), Quick()).outcome.code, iap::kNoBootLoader);
    }
}

// The board check's polls go to a board of unknown state. Should it be a
// boot loader in step, its pairs of poll bytes must never make up a command
// it would carry out on the flash, at either alignment and repeated.
TEST(BoardIdentity, ThePollsCarryNoCommandABootLoaderWouldRun)
{
    for (BoardId board : {BoardId::Controller, BoardId::Motor}) {
        for (std::uint16_t chip : {std::uint16_t(0x410), std::uint16_t(0x422)}) {
            for (std::size_t skew : {0u, 1u}) {
                SCOPED_TRACE(std::to_string(int(board)) + " " + ChipText(chip) + " " + std::to_string(skew));
                BootLoaderModel m(*FindChip(chip), 64, {});
                m.Enter();
                Bytes out;
                if (skew)
                    m.Feed(0x00, out);
                const Frame poll = BoardPoll(board);
                for (int i = 0; i < 10; ++i)
                    for (std::uint8_t b : poll)
                        m.Feed(b, out);
                EXPECT_EQ(m.Stats().pagesErased, 0);
                EXPECT_EQ(m.Stats().writes + m.Stats().refusedWrites, 0);
                EXPECT_EQ(m.Stats().starts, 0);
                // It answered with NACKs, the sign a probe looks for.
                EXPECT_GE(std::count(out.begin(), out.end(), N), 10);
            }
        }
    }
}

// The board check polls a board of unknown state: each poll, read the way
// its board's firmware reads it, asks and changes nothing: the controller's
// a plain poll without a command, the motor board's no write and no flash
// flag; and either board's model, polled again and again, keeps its working
// values and its flash.
TEST(BoardIdentity, ThePollsNeitherStoreNorWrite)
{
    const Frame controllerPoll = BoardPoll(BoardId::Controller);
    EXPECT_EQ(controllerPoll[ctl::kCommand], kCmdNone);
    EXPECT_EQ(controllerPoll[ctl::kType], kTypePoll);
    const MotorRequest motorPoll = ParseMotorRequest(BoardPoll(BoardId::Motor));
    EXPECT_NE(motorPoll.command, kMotorCmdWrite);
    EXPECT_EQ(motorPoll.flashFlag, 0);

    const auto t0 = std::chrono::steady_clock::time_point{};
    sim::ControllerModel controller(sim::ControllerModelConfig{}, t0);
    const ControllerParams params = controller.Params(), flash = controller.Flash();
    sim::MotorBoardModel motor(sim::MotorBoardConfig{});
    const MotorParams motorParams = motor.Params(), motorFlash = motor.Flash();
    Frame answer{};
    for (int i = 1; i <= 5; ++i) {
        controller.Answer(controllerPoll, t0 + std::chrono::milliseconds(10 * i), answer);
        motor.Answer(BoardPoll(BoardId::Motor), t0 + std::chrono::milliseconds(10 * i), answer);
    }
    EXPECT_TRUE(controller.Params() == params);
    EXPECT_TRUE(controller.Flash() == flash);
    EXPECT_FALSE(controller.MotorsOn());
    EXPECT_TRUE(motor.Params() == motorParams);
    EXPECT_TRUE(motor.Flash() == motorFlash);
}

} // namespace
} // namespace qav
