// The simulated boot loader byte by byte, playing rows of the chip table.
#include "BootLoaderModel.h"

#include "support/BootBytes.h"
#include "upgrade/BootChips.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

using sim::BootLoaderModel;
using test::Address;
using test::Bytes;
using test::Cat;

constexpr std::uint8_t A = 0x79, N = 0x1F;

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
        {"GET ID of the other chip", true, {0x02, 0xFD}, {A, 1, 0x04, 0x22, A}},
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
        {"flash size register of the other chip",
         true,
         Cat({{0x11, 0xEE}, Address(0x1FFFF7CC), {1, 0xFE}}),
         {A, A, A, 128, 0}},
        {"the other chip's register is not there", false, Cat({{0x11, 0xEE}, Address(0x1FFFF7CC)}), {A, N}},
        {"erase past the flash", false, {0x43, 0xBC, 0, 200, 200}, {A, N}},
        {"GO", false, Cat({{0x21, 0xDE}, Address(0x08000000)}), {A, A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderModel m(*FindChip(c.extended ? 0x422 : 0x410), 128, Bytes(1024, 9));
        EXPECT_EQ(m.Enter(), A);
        EXPECT_EQ(Feed(m, c.request), c.answer);
    }
}

// AN3155 sets no time-out within a command: the boot loader waits for every
// byte a command announces, however long, answers only when it has them all,
// and then waits for a command again.
TEST(SimBootLoader, WaitsForTheRestOfACommand)
{
    struct Case
    {
        const char* name;
        Bytes start;
        std::size_t owed; // bytes it still waits for
        Bytes answer;     // to the last of them, when they are sync bytes
    };
    const std::vector<Case> cases{
        {"a command byte", {0x31}, 1, {N}},
        {"an address", {0x31, 0xCE}, 5, {N}},
        {"a block of 256 bytes", Cat({{0x31, 0xCE}, Address(0x08000400), {0xFF}}), 257, {N}},
        {"a read length", Cat({{0x11, 0xEE}, Address(0x08000000)}), 2, {N}},
        {"an erase of 127 pages", {0x43, 0xBC, 126}, 128, {N}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BootLoaderModel m(*FindChip(0x410), 128, Bytes(1024, 9));
        m.Enter();
        Feed(m, c.start);
        for (std::size_t i = 0; i + 1 < c.owed; ++i) {
            EXPECT_FALSE(m.Idle());
            ASSERT_EQ(Feed(m, {0x7F}), Bytes{}) << i;
        }
        EXPECT_EQ(Feed(m, {0x7F}), c.answer);
        EXPECT_TRUE(m.Idle());
        EXPECT_EQ(m.Stats().writes + m.Stats().pagesErased, 0);
        // In step again: GET answers.
        EXPECT_EQ(Feed(m, {0x00, 0xFF}).front(), A);
    }
}

// Erase units by the chip's layout: sector 4 of an F4 is 64 KiB.
TEST(SimBootLoader, ErasesTheChipsOwnUnits)
{
    Bytes flash(256 * 1024, 0x00);
    BootLoaderModel m(*FindChip(0x413), 256, flash);
    m.Enter();
    EXPECT_EQ(Feed(m, {0x44, 0xBB, 0, 0, 0, 4, 4}), (Bytes{A, A}));
    EXPECT_EQ(m.Stats().pagesErased, 1);
    const auto& f = m.Flash();
    EXPECT_EQ(f[64 * 1024 - 1], 0x00);
    EXPECT_EQ(f[64 * 1024], 0xFF);
    EXPECT_EQ(f[128 * 1024 - 1], 0xFF);
    EXPECT_EQ(f[128 * 1024], 0x00);
    // Sector 6 would end past 256 KiB: refused, nothing erased.
    EXPECT_EQ(Feed(m, {0x44, 0xBB, 0, 0, 0, 6, 6}), (Bytes{A, N}));
    EXPECT_EQ(m.Stats().pagesErased, 1);
}

TEST(SimBootLoader, GoReportsTheStartAndTheImageVersion)
{
    BootLoaderModel m(*FindChip(0x422), 64, sim::SimFirmwareImage(42, 2048));
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

} // namespace
} // namespace qav
