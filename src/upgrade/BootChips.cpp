#include "upgrade/BootChips.h"

#include <array>
#include <cstdio>

namespace qav {
namespace {

constexpr std::uint32_t kKiB = 1024;
constexpr std::uint32_t kFlash = 0x08000000;
// Where each family keeps its flash size.
constexpr std::uint32_t kF1Size = 0x1FFFF7E0;
constexpr std::uint32_t kF3Size = 0x1FFFF7CC;
constexpr std::uint32_t kF4Size = 0x1FFF7A22;

constexpr PageRun k1KiBPages[] = {{0, 1 * kKiB}};
constexpr PageRun k2KiBPages[] = {{0, 2 * kKiB}};
// Sectors 0-3 of 16 KiB, 4 of 64 KiB, then 128 KiB each.
constexpr PageRun kF4Sectors[] = {{4, 16 * kKiB}, {1, 64 * kKiB}, {0, 128 * kKiB}};

constexpr std::array kChips{
    ChipInfo{0x412, "STM32F10x low density", kFlash, kF1Size, k1KiBPages, kEraseCommand},
    ChipInfo{0x410, "STM32F10x medium density", kFlash, kF1Size, k1KiBPages, kEraseCommand},
    ChipInfo{0x420, "STM32F100 medium density value line", kFlash, kF1Size, k1KiBPages,
             kEraseCommand},
    ChipInfo{0x414, "STM32F10x high density", kFlash, kF1Size, k2KiBPages, kEraseCommand},
    ChipInfo{0x428, "STM32F100 high density value line", kFlash, kF1Size, k2KiBPages,
             kEraseCommand},
    ChipInfo{0x418, "STM32F105/F107 connectivity line", kFlash, kF1Size, k2KiBPages,
             kEraseCommand},
    // Up to 512 pages, but ERASE numbers them in one byte.
    ChipInfo{0x430, "STM32F10x XL density", kFlash, kF1Size, k2KiBPages, kEraseCommand},
    ChipInfo{0x422, "STM32F302/F303 xB/xC", kFlash, kF3Size, k2KiBPages, kExtendedEraseCommand},
    ChipInfo{0x413, "STM32F405/F407/F415/F417", kFlash, kF4Size, kF4Sectors, kExtendedEraseCommand},
};

// Walks the erase units until `stop(page)` holds.
template <class Stop>
std::optional<FlashPage> Walk(const ChipInfo& chip, std::uint32_t flashBytes, Stop&& stop)
{
    FlashPage page{0, 0, 0};
    for (const PageRun& run : chip.pages) {
        for (std::uint32_t n = 0; run.count == 0 || n < run.count; ++n) {
            page.size = run.size;
            if (std::uint64_t(page.offset) + page.size > flashBytes)
                return std::nullopt;
            if (stop(page))
                return page;
            page.offset += page.size;
            ++page.index;
        }
    }
    return std::nullopt;
}

} // namespace

std::span<const ChipInfo> KnownChips()
{
    return kChips;
}

const ChipInfo* FindChip(std::uint16_t id)
{
    for (const ChipInfo& c : kChips)
        if (c.id == id)
            return &c;
    return nullptr;
}

std::string ChipText(std::uint16_t id)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%03X", id);
    const ChipInfo* chip = FindChip(id);
    return chip ? std::string(text) + " (" + std::string(chip->name) + ")" : std::string(text);
}

std::optional<std::uint16_t> ParseChipId(std::string_view text)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    unsigned id = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0)
            return std::nullopt;
        id = id * 16 + static_cast<unsigned>(digit);
    }
    if (id == 0)
        return std::nullopt;
    return static_cast<std::uint16_t>(id);
}

std::string KnownChipIds()
{
    std::string text;
    for (const ChipInfo& c : kChips) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%03X", c.id);
        text += (text.empty() ? "" : ", ") + std::string(id);
    }
    return text;
}

std::optional<FlashPage> PageAt(const ChipInfo& chip, std::uint32_t flashBytes, std::uint32_t offset)
{
    return Walk(chip, flashBytes, [offset](const FlashPage& p) { return offset - p.offset < p.size; });
}

std::optional<FlashPage> PageNumbered(const ChipInfo& chip, std::uint32_t flashBytes, std::uint32_t index)
{
    return Walk(chip, flashBytes, [index](const FlashPage& p) { return p.index == index; });
}

} // namespace qav
