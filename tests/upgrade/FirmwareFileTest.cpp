// The firmware container, what `firmware pack` takes in, and the
// notification code table.
#include "upgrade/FirmwareFile.h"
#include "platform/RegularFile.h"
#include "support/Platform.h"
#include "support/TempDir.h"
#include "upgrade/UpgradeCodes.h"

#include <filesystem>
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
    const auto f = PackFirmware(BoardId::Motor, 24, 0x08000400, image, 0x414);
    ASSERT_EQ(f.size(), 40u);
    const std::vector<std::uint8_t> head(f.begin(), f.begin() + 16);
    EXPECT_EQ(head, (std::vector<std::uint8_t>{'Q', 'N', 'F', 'W', 1, 2, 24, 0, 0x00, 0x04, 0x00, 0x08, 8, 0,
                                               0, 0}));
    // The chip the image is for, little-endian; the rest of the reserved
    // bytes stay 0.
    EXPECT_EQ(std::vector<std::uint8_t>(f.begin() + 20, f.begin() + 28),
              (std::vector<std::uint8_t>{0x14, 0x04, 0, 0, 0, 0, 0, 0}));
    // zlib's CRC-32 of "123456789" is the well-known check value.
    const std::string check = "123456789";
    EXPECT_EQ(FirmwareCrc32(std::span(reinterpret_cast<const std::uint8_t*>(check.data()), check.size())),
              0xCBF43926u);
    FirmwareImage out;
    ASSERT_TRUE(ParseFirmware(f, 2, out));
    EXPECT_EQ(out.header.version, 24);
    EXPECT_EQ(out.header.chip, 0x414);
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
        int expected; // 0: good
    };
    constexpr int kBad = kFirmwareInvalid;
    const std::vector<Case> cases{
        {"intact", [](auto&) {}, 1, 0},
        {"either board accepted", [](auto&) {}, 0, 0},
        {"other board", [](auto&) {}, 2, kFirmwareWrongBoard},
        {"a chip named", [](auto& v) { v[20] = 0x10, v[21] = 0x04, Reseal(v); }, 1, 0},
        {"empty", [](auto& v) { v.clear(); }, 1, kBad},
        {"header only part", [](auto& v) { v.resize(31); }, 1, kBad},
        {"truncated image", [](auto& v) { v.pop_back(); }, 1, kBad},
        {"trailing byte", [](auto& v) { v.push_back(0); }, 1, kBad},
        {"magic", [](auto& v) { v[3] = 'X'; }, 1, kBad},
        {"header crc", [](auto& v) { v[6] ^= 1; }, 1, kBad},
        {"chip under the header crc", [](auto& v) { v[20] = 1; }, 1, kBad},
        {"reserved byte under the header crc", [](auto& v) { v[22] = 1; }, 1, kBad},
        {"image crc", [](auto& v) { v[40] ^= 0x80; }, 1, kBad},
        {"format version 2", [](auto& v) { v[4] = 2, Reseal(v); }, 1, kBad},
        {"board 3", [](auto& v) { v[5] = 3, Reseal(v); }, 1, kBad},
        {"unaligned address", [](auto& v) { v[8] = 2, Reseal(v); }, 1, kBad},
        {"length zero", [](auto& v) { PutLe32(v, 12, 0), v.resize(32), Reseal(v); }, 1, kBad},
        {"length beyond the file", [](auto& v) { PutLe32(v, 12, 0x7FFFFFFF), Reseal(v); }, 1, kBad},
        {"past the address space", [](auto& v) { PutLe32(v, 8, 0xFFFFFF00), Reseal(v); }, 1, kBad},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto f = PackFirmware(BoardId::Controller, 30, kDefaultFlashAddress, Image(300));
        c.edit(f);
        FirmwareImage out;
        const Result r = ParseFirmware(f, c.board, out);
        EXPECT_EQ(r.code, c.expected) << r.message;
        EXPECT_EQ(r.message.empty(), c.expected == 0);
        EXPECT_EQ(out.image.empty(), c.expected != 0);
    }
    FirmwareImage out;
    EXPECT_EQ(ParseFirmware(PackFirmware(BoardId::Motor, 1, kDefaultFlashAddress, Image(8)), 1, out).message,
              "the file is for the motor board");
}

// Only regular files of bounded size are read, and a FIFO or a device is
// refused without a single read that could wait or never end.
TEST(FirmwareFile, ReadsOnlyRegularFilesOfBoundedSize)
{
    test::TempDir dir;
    const auto bytes = PackFirmware(BoardId::Controller, 12, kDefaultFlashAddress, Image(5000));
    std::ofstream(dir.File("a.bgsf"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    // Sparse where the system can: larger than any firmware file without
    // taking the space.
    std::ofstream(dir.File("huge.bgsf")).close();
    std::filesystem::resize_file(dir.File("huge.bgsf"), kMaxFirmwareFileSize + 1);
    struct Case
    {
        std::string path;
        int code;
    };
    const std::vector<Case> cases{
        {dir.File("a.bgsf"), 0},
        {dir.File("none.bgsf"), ENOENT},
        {dir.path().string(), EISDIR},
        {test::DevicePath(), kNotRegularFile},
        {dir.File("huge.bgsf"), kFirmwareInvalid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        FirmwareImage out;
        const Result r = ReadFirmwareFile(c.path, 1, out);
        EXPECT_EQ(r.code, c.code) << r.message;
        EXPECT_EQ(out.image.empty(), c.code != 0);
    }
}

TEST(FirmwareInputs, ToldByTheirContent)
{
    struct Case
    {
        std::string bytes;
        FirmwareInput kind;
    };
    const std::vector<Case> cases{
        {":00000001FF\n", FirmwareInput::IntelHex},
        {"\n\r\n  \t:00000001FF\n", FirmwareInput::IntelHex},
        {std::string("\x7F" "ELF\x01\x01", 6), FirmwareInput::Elf},
        {"QNFW\x01", FirmwareInput::Container},
        {std::string("\x00\x50\x00\x20", 4), FirmwareInput::Raw},
        {" x:", FirmwareInput::Raw},
        {"", FirmwareInput::Raw},
        {":00000001FF", FirmwareInput::IntelHex},
        // A colon is no proof: a whole valid record on the first line that
        // is not blank is.
        {std::string("\x20:\x00\x20\x31\x01\x00\x08", 8), FirmwareInput::Raw}, // stack pointer 0x20003A20
        {":00000001FE\n", FirmwareInput::Raw},                                 // wrong checksum
        {":0400000001020304F2\n", FirmwareInput::IntelHex},                    // a data record
        {":0400000001020304\n", FirmwareInput::Raw},                           // cut short
        {"\n:00000001FF junk\n", FirmwareInput::Raw},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(DetectFirmwareInput(std::span(reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size())),
                  c.kind);
    }
}

TEST(FirmwareInputs, ARawImageStartsWithAStackPointerInRamAndAResetAddressInside)
{
    struct Case
    {
        const char* name;
        std::uint32_t stack, reset;
        std::size_t size;
        bool plausible;
    };
    constexpr std::uint32_t kAt = 0x08000000;
    const std::vector<Case> cases{
        {"a usual program", 0x20005000, kAt + 0x131, 4096, true},
        {"stack at the top of the RAM region", 0x40000000, kAt + 0x101, 4096, true},
        {"reset address in the last byte", 0x20005000, kAt + 4095, 4096, true},
        {"stack in flash", 0x08005000, kAt + 0x131, 4096, false},
        {"stack at the very start of RAM", 0x20000000, kAt + 0x131, 4096, false},
        {"stack not word aligned", 0x20005002, kAt + 0x131, 4096, false},
        {"reset address without the Thumb bit", 0x20005000, kAt + 0x130, 4096, false},
        {"reset address past the image", 0x20005000, kAt + 4097, 4096, false},
        {"reset address before the image", 0x20005000, kAt - 0xFF, 4096, false},
        {"text, not a program", 0x6C6C6548, 0x6F77206F, 4096, false},
        {"shorter than the two words", 0x20005000, kAt + 1, 7, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto image = Image(std::max<std::size_t>(c.size, 8));
        PutLe32(image, 0, c.stack);
        PutLe32(image, 4, c.reset);
        image.resize(c.size);
        const Result r = CheckVectorTable(image, kAt);
        EXPECT_EQ(r.Ok(), c.plausible) << r.message;
        EXPECT_EQ(r.code, c.plausible ? 0 : kFirmwareInvalid);
    }
}

TEST(IntelHex, RecordsBecomeOneImage)
{
    const std::string hex = ":020000040800F2\r\n"
                            ":0400000001020304F2\n"
                            ":02000800AABB91\n"
                            ":00000001FF\n";
    std::uint32_t address = 0;
    std::vector<std::uint8_t> image;
    const Result r = ParseIntelHex(hex, address, image);
    ASSERT_TRUE(r) << r.message;
    EXPECT_EQ(address, 0x08000000u);
    EXPECT_EQ(image, (std::vector<std::uint8_t>{1, 2, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA, 0xBB}));

    struct Case
    {
        const char* name;
        const char* text;
        std::uint32_t address;
        std::vector<std::uint8_t> image;
    };
    const std::vector<Case> cases{
        {"a segment address record shifts by 4 bits", ":020000021000EC\n:0100000055AA\n:00000001FF\n", 0x10000,
         {0x55}},
        {"blank lines and blanks around records", "\n\r\n   :0100000055AA  \r\n\n\t:00000001FF\n", 0, {0x55}},
        {"records out of order", ":010001006698\n:0100000055AA\n:00000001FF\n", 0, {0x55, 0x66}},
        {"a later record wins where it overlaps", ":02000000556643\n:010001007787\n:00000001FF\n", 0,
         {0x55, 0x77}},
        {"nothing after the end record is read", ":0100000055AA\n:00000001FF\ngarbage\n", 0, {0x55}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Result parsed = ParseIntelHex(c.text, address, image);
        ASSERT_TRUE(parsed) << parsed.message;
        EXPECT_EQ(address, c.address);
        EXPECT_EQ(image, c.image);
    }
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
        {"\n\n:0400000001020304F3\n:00000001FF\n", "line 3: wrong checksum"},
        // Two bytes 16 MiB apart would need a 16 MiB image of gaps.
        {":020000040000FA\n:0100000055AA\n:020000040100F9\n:010000006699\n:00000001FF\n",
         "the data spans more than 16 MiB"},
        {":02000004FFFFFC\n:02FFFF00556645\n:00000001FF\n", "line 2: the data runs past the end of the address space"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t address = 0;
        std::vector<std::uint8_t> image;
        const Result r = ParseIntelHex(c.text, address, image);
        EXPECT_EQ(r.code, kFirmwareInvalid);
        EXPECT_EQ(r.message, c.error);
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
            // The codes the screens call errors, and the port that did not open.
            const bool error = code == 4 || code == 7 || code == 8 || code == 9 || code == 10 || code == 12 ||
                               code == 14 || (code >= 18 && code <= 20) || code == 23 || code == 24 || code == 27;
            EXPECT_EQ(row->error, error) << code;
            EXPECT_FALSE(row->meaning.empty());
            // A sentence of the run's own wins; else the meaning is one.
            EXPECT_EQ(UpgradeErrorSentence(code, "The motor board answered.").empty(), !error) << code;
            if (error) {
                EXPECT_EQ(UpgradeErrorSentence(code, "The motor board answered."), "The motor board answered.");
                const std::string sentence = UpgradeErrorSentence(code);
                EXPECT_TRUE(std::isupper(static_cast<unsigned char>(sentence[0]))) << sentence;
                EXPECT_EQ(sentence.back(), '.');
            }
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
