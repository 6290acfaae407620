#include "CliMessages.h"

#include "upgrade/UpgradeCodes.h"

#include <array>
#include <cctype>

namespace qav::cli {
namespace {

struct UpgradeWords
{
    UpgradeWhy why;
    const char* format;
    bool capitalize; // the sentence starts with a fact that starts in lower case
};

constexpr std::array kUpgradeWords{
    UpgradeWords{UpgradeWhy::PortOpenFailed, "Cannot open %1: %2.", false},
    UpgradeWords{UpgradeWhy::PortOpenRefused, "Cannot open %1.", false},
    UpgradeWords{UpgradeWhy::FileUnreadable, "Cannot read %1: %2.", false},
    UpgradeWords{UpgradeWhy::FileInvalid, "%1 is not a valid firmware file: %2.", false},
    UpgradeWords{UpgradeWhy::Reason, "%1.", true},
    UpgradeWords{UpgradeWhy::BoardAnswered, "The %1 answered on %2; this firmware is for the %3.", false},
    UpgradeWords{UpgradeWhy::DeviceWentAway, "The device on %1 went away.", false},
    UpgradeWords{UpgradeWhy::StoppedAnswering, "The board stopped answering: %1.", false},
    UpgradeWords{UpgradeWhy::KeptRefusing, "The boot loader kept refusing %1.", false},
    UpgradeWords{
        UpgradeWhy::NoBootLoader,
        "No answer from the boot loader within %1 s: reset the board with its boot jumper set while the "
        "upgrade waits for it.",
        false},
    UpgradeWords{UpgradeWhy::ChipMismatch, "The file is for chip %1; the board's chip is %2.", false},
    UpgradeWords{UpgradeWhy::ChipUnknown, "The board's chip %1 is not one this tool knows.", false},
    UpgradeWords{UpgradeWhy::NoEraseCommand,
                 "The boot loader does not offer ERASE (0x43) or EXTENDED ERASE (0x44).", false},
    UpgradeWords{UpgradeWhy::CommandMissing, "The boot loader does not offer %1.", false},
    UpgradeWords{UpgradeWhy::ReadProtected, "The chip is read-out protected: %1.", false},
    UpgradeWords{UpgradeWhy::FlashSizeUnread, "Reading the flash size: %1.", false},
    UpgradeWords{UpgradeWhy::ImageTooLarge,
                 "The image (%1 bytes at %2) does not fit the chip's %3 KiB of flash at %4.", false},
    UpgradeWords{UpgradeWhy::ImageOffPages, "The image does not fit the chip's pages.", false},
    UpgradeWords{
        UpgradeWhy::PageBeyondErase,
        "The image reaches page %1, but the only erase command the boot loader of chip %2 offers, ERASE "
        "(0x43), reaches pages 0 to 255.",
        false},
    UpgradeWords{UpgradeWhy::EraseFailed, "Erasing failed: %1.", false},
    UpgradeWords{UpgradeWhy::WriteRefused, "%1, %2 times.", true},
    UpgradeWords{UpgradeWhy::VerifyFailed, "Verifying failed: %1.", false},
    UpgradeWords{UpgradeWhy::VerifyDiffers, "The flash at %1 reads back different.", false},
    UpgradeWords{UpgradeWhy::StartFailed, "The new firmware could not be started: %1.", false},
    UpgradeWords{UpgradeWhy::ImageEmpty, "The firmware image is empty.", false},
};

constexpr const char* kDroppedUnread =
    " The line brought more than could be read: %1 bytes were dropped unread.";

} // namespace

std::string FormatMessage(std::string_view format, const std::vector<std::string>& facts)
{
    std::string text;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9') {
            const std::size_t n = static_cast<std::size_t>(format[i + 1] - '1');
            if (n < facts.size()) {
                text += facts[n];
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

std::string UpgradeSentence(const UpgradeOutcome& outcome)
{
    std::string text;
    for (const UpgradeWords& row : kUpgradeWords)
        if (row.why == outcome.why) {
            text = FormatMessage(row.format, outcome.facts);
            if (row.capitalize && !text.empty())
                text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        }
    if (!text.empty() && outcome.dropped > 0)
        text += FormatMessage(kDroppedUnread, {std::to_string(outcome.dropped)});
    return text;
}

std::string UpgradeErrorText(const UpgradeOutcome& outcome)
{
    return UpgradeErrorSentence(outcome.code, UpgradeSentence(outcome));
}

} // namespace qav::cli
