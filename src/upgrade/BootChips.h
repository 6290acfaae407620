#pragma once
// The STM32 parts the upgrade knows, one row each: the product id the boot
// loader's GET ID answers, a name for people, where the flash starts, where
// the part keeps its flash size (16 bits, in KiB), how its flash is cut into
// erase units (pages or sectors) and which erase command its boot loader
// lists in its GET answer as ST documents it (AN2606). The upgrade erases
// with what the boot loader's GET answer lists, not with that column: it
// says what the simulator's boot loader offers for the part. A new part is
// one row in BootChips.cpp.
//
// Pure data and functions, any thread.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qav {

// ERASE (0x43) takes page numbers of one byte, so it reaches pages 0 to 255
// only; EXTENDED ERASE (0x44) takes two bytes.
inline constexpr std::uint8_t kEraseCommand = 0x43;
inline constexpr std::uint8_t kExtendedEraseCommand = 0x44;
inline constexpr std::uint32_t kLastErasePage = 255;

// `count` erase units of `size` bytes in a row; a count of 0 repeats the size
// to the end of the flash.
struct PageRun
{
    std::uint16_t count;
    std::uint32_t size;
};

struct ChipInfo
{
    std::uint16_t id;
    std::string_view name;
    std::uint32_t flashBase;
    std::uint32_t flashSizeRegister;
    std::span<const PageRun> pages;
    std::uint8_t documentedErase; // kEraseCommand or kExtendedEraseCommand
};

std::span<const ChipInfo> KnownChips();
// The row of a product id; null for a part we do not know.
const ChipInfo* FindChip(std::uint16_t id);
// "0x410 (STM32F10x medium density)", or "0x123" for a part we do not know.
std::string ChipText(std::uint16_t id);
// A product id written in hex, with or without "0x" (1 to 0xFFFF); nothing
// for anything else. Whether the table knows it is FindChip's question.
std::optional<std::uint16_t> ParseChipId(std::string_view text);
// The ids of the table, for a message: "0x412, 0x410, ...".
std::string KnownChipIds();

// One erase unit: its number, where it starts (from the flash base) and its
// size.
struct FlashPage
{
    std::uint32_t index;
    std::uint32_t offset;
    std::uint32_t size;
};
// The erase unit holding byte `offset` of a flash of `flashBytes`; nothing
// past the end.
std::optional<FlashPage> PageAt(const ChipInfo& chip, std::uint32_t flashBytes, std::uint32_t offset);
// The erase unit numbered `index`; nothing past the end of the flash.
std::optional<FlashPage> PageNumbered(const ChipInfo& chip, std::uint32_t flashBytes, std::uint32_t index);

} // namespace qav
