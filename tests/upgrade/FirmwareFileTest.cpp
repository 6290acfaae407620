// The firmware container, Intel HEX input and the notification code table.
#include "upgrade/FirmwareFile.h"
#include "support/TempDir.h"
#include "upgrade/UpgradeCodes.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace qav {
namespace {

std::vector<std::uint8_t> Image(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return v;
}

void PutLe32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

// Recomputes the header CRC, so a test can change a field and still pass the
// header check.
void Reseal(std::vector<std::uint8_t>& v)
{
    PutLe32(v, 28, FirmwareCrc32(std::span(v).first(28)));
}

TEST(FirmwareFile, HeaderBytesAreAsDocumented)
{
    const auto image = Image(8);
    const auto f = PackFirmware(FirmwareBoard::Motor, 24, 0x08000400, image);
    ASSERT_EQ(f.size(), 40u);
    const std::vector<std::uint8_t> head(f.begin(), f.begin() + 16);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{'Q', 'N', 'F', 'W', 1, 2, 24, 0, 0x00, 0x04, 0x00, 0x08, 8, 0,
                                               0, 0}));
    // zlib's CRC-32 of "123456789" is the well-known check value.
    const std::string check = "123456789";
    EXPECT_EQ(FirmwareCrc32(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())),
              0xCBF43926u);
    FirmwareImage out;
    ASSERT_EQ(ParseFirmware(f, 2, out).check, FirmwareCheck::Ok);
    EXPECT_EQ(out.header.version, 24);
    EXPECT_EQ(out.header.address, 0x08000400u);
    EXPECT_EQ(out.header.imageCrc, FirmwareCrc32(image));
    EXPECT_EQ(out.image, image);
}

TEST(FirmwareFile, EveryFlawIsFound)
{
    using Edit = std::function<void(std::vector<std::uint8_t>&)>;
    struct Case
    {
        const char* name;
        Edit edit;
        std::uint8_t board;
        FirmwareCheck expected;
    };
    const std::vector<Case> cases{
        {"intact", [](auto&) {}, 1, FirmwareCheck::Ok},
        {"either board accepted", [](auto&) {}, 0, FirmwareCheck::Ok},
        {"other board", [](auto&) {}, 2, FirmwareCheck::WrongBoard},
        {"empty", [](auto& v) { v.clear(); }, 1, FirmwareCheck::Invalid},
        {"header only part", [](auto& v) { v.resize(31); }, 1, FirmwareCheck::Invalid},
        {"truncated image", [](auto& v) { v.pop_back(); }, 1, FirmwareCheck::Invalid},
        {"trailing byte", [](auto& v) { v.push_back(0); }, 1, FirmwareCheck::Invalid},
        {"magic", [](auto& v) { v[3] = 'X'; }, 1, FirmwareCheck::Invalid},
        {"header crc", [](auto& v) { v[6] ^= 1; }, 1, FirmwareCheck::Invalid},
        {"reserved byte under the header crc", [](auto& v) { v[22] = 1; }, 1, FirmwareCheck::Invalid},
        {"image crc", [](auto& v) { v[40] ^= 0x80; }, 1, FirmwareCheck::Invalid},
        {"format version 2", [](auto& v) { v[4] = 2, Reseal(v); }, 1, FirmwareCheck::Invalid},
        {"board 3", [](auto& v) { v[5] = 3, Reseal(v); }, 1, FirmwareCheck::Invalid},
        {"unaligned address", [](auto& v) { v[8] = 2, Reseal(v); }, 1, FirmwareCheck::Invalid},
        {"length zero", [](auto& v) { PutLe32(v, 12, 0), v.resize(32), Reseal(v); }, 1,
         FirmwareCheck::Invalid},
        {"length beyond the file", [](auto& v) { PutLe32(v, 12, 0x7FFFFFFF), Reseal(v); }, 1,
         FirmwareCheck::Invalid},
        {"past the address space", [](auto& v) { PutLe32(v, 8, 0xFFFFFF00), Reseal(v); }, 1,
         FirmwareCheck::Invalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto f = PackFirmware(FirmwareBoard::Controller, 30, kDefaultFlashAddress, Image(300));
        c.edit(f);
        FirmwareImage out;
        const FirmwareCheckResult r = ParseFirmware(f, c.board, out);
        EXPECT_EQ(r.check, c.expected) << r.reason;
        EXPECT_EQ(r.reason.empty(), c.expected == FirmwareCheck::Ok);
        EXPECT_EQ(out.image.empty(), c.expected != FirmwareCheck::Ok);
    }
}

TEST(FirmwareFile, ReadsRealFiles)
{
    test::TempDir dir;
    const auto bytes = PackFirmware(FirmwareBoard::Controller, 12, kDefaultFlashAddress, Image(5000));
    std::ofstream(dir.File("a.bgsf"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    FirmwareImage out;
    EXPECT_EQ(ReadFirmwareFile(dir.File("a.bgsf"), 1, out).check, FirmwareCheck::Ok);
    EXPECT_EQ(out.image, Image(5000));
    EXPECT_EQ(ReadFirmwareFile(dir.File("none.bgsf"), 1, out).check, FirmwareCheck::Unreadable);
    EXPECT_EQ(ReadFirmwareFile(dir.path().string(), 1, out).check, FirmwareCheck::Unreadable);
}

TEST(IntelHex, RecordsBecomeOneImage)
{
    const std::string hex = ":020000040800F2\r\n"
                            ":0400000001020304F2\n"
                            ":02000800AABB91\n"
                            ":00000001FF\n";
    std::uint32_t address = 0;
    std::vector<std::uint8_t> image;
    std::string error;
    ASSERT_TRUE(ParseIntelHex(hex, address, image, error)) << error;
    EXPECT_EQ(address, 0x08000000u);
    EXPECT_EQ(image, (std::vector<std::uint8_t>{1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0xBB}));

    // A segment address record shifts by 4 bits.
    ASSERT_TRUE(ParseIntelHex(":020000021000EC\n:0100000055AA\n:00000001FF\n", address, image, error))
        << error;
    EXPECT_EQ(address, 0x10000u);
    EXPECT_EQ(image, (std::vector<std::uint8_t>{0x55}));
}

TEST(IntelHex, FlawsNameTheirLine)
{
    struct Case
    {
        const char* text;
        const char* error;
    };
    const std::vector<Case> cases{
        {":0400000001020304F3\n:00000001FF\n", "line 1: wrong checksum"},
        {":0400000001020304F2\n", "no end-of-file record"},
        {"0400000001020304F2\n:00000001FF\n", "line 1: not an Intel HEX record"},
        {":00000001FF\n", "no data records"},
        {":04000000010203F2\n:00000001FF\n", "line 1: the byte count does not match the record"},
        {":0100000601F8\n:00000001FF\n", "line 1: unknown record type 6"},
        {":0400000001020G04F2\n:00000001FF\n", "line 1: not a hexadecimal digit"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t address = 0;
        std::vector<std::uint8_t> image;
        std::string error;
        EXPECT_FALSE(ParseIntelHex(c.text, address, image, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(UpgradeCodes, EveryCodeHasOneRowAndTheRecordLayoutHolds)
{
    for (int code = -1; code <= 30; ++code) {
        const auto row = FindUpgradeCode(code);
        const bool sent =
            code == 1 || (code >= 3 && code <= 12) || code == 14 || (code >= 16 && code <= 24) || code == 27;
        EXPECT_EQ(row.has_value(), sent) << code;
        if (row) {
            EXPECT_EQ(row->error,
                      row->outcome != UpgradeOutcome::Step && row->outcome != UpgradeOutcome::Success)
                << code;
            EXPECT_FALSE(row->meaning.empty());
        }
    }
    IapNotifyRecord r;
    r.code = 11;
    r.progress = 37;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&r);
    EXPECT_EQ(bytes[0], 11);
    EXPECT_EQ(bytes[28], 37);
    EXPECT_EQ(IapRecordCode(reinterpret_cast<std::intptr_t>(&r)), 11);
    EXPECT_EQ(IapRecordProgress(reinterpret_cast<std::intptr_t>(&r)), 37);
}

} // namespace
} // namespace qav
