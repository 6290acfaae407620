#include "CliMessages.h"

#include "upgrade/UpgradeCodes.h"

#include <array>
#include <cctype>

namespace qav::cli {
namespace {

using enum Message;

constexpr std::array kMessages{
    MessageRow{PortOpenFailed, "Cannot open %1: %2."},
    MessageRow{PortOpenRefused, "Cannot open %1."},
    MessageRow{FileUnreadable, "Cannot read %1: %2."},
    MessageRow{FileInvalid, "%1 is not a valid firmware file: %2."},
    MessageRow{Sentence, "%1."},
    MessageRow{BoardAnswered, "The %1 answered on %2; this firmware is for the %3."},
    MessageRow{DeviceWentAway, "The device on %1 went away."},
    MessageRow{StoppedAnswering, "The board stopped answering: %1."},
    MessageRow{KeptRefusing, "The boot loader kept refusing %1."},
    MessageRow{
        NoBootLoader,
        "No answer from the boot loader within %1 s: reset the board with its boot jumper set while the "
        "upgrade waits for it."},
    MessageRow{ChipMismatch, "The file is for chip %1; the board's chip is %2."},
    MessageRow{ChipUnknown, "The board's chip %1 is not one this tool knows."},
    MessageRow{NoEraseCommand, "The boot loader does not offer ERASE (0x43) or EXTENDED ERASE (0x44)."},
    MessageRow{CommandMissing, "The boot loader does not offer %1."},
    MessageRow{ReadProtected, "The chip is read-out protected: %1."},
    MessageRow{FlashSizeUnread, "Reading the flash size: %1."},
    MessageRow{ImageTooLarge, "The image (%1 bytes at %2) does not fit the chip's %3 KiB of flash at %4."},
    MessageRow{ImageOffPages, "The image does not fit the chip's pages."},
    MessageRow{
        PageBeyondErase,
        "The image reaches page %1, but the only erase command the boot loader of chip %2 offers, ERASE "
        "(0x43), reaches pages 0 to 255."},
    MessageRow{EraseFailed, "Erasing failed: %1."},
    MessageRow{WriteRefused, "%1, %2 times."},
    MessageRow{VerifyFailed, "Verifying failed: %1."},
    MessageRow{VerifyDiffers, "The flash at %1 reads back different."},
    MessageRow{StartFailed, "The new firmware could not be started: %1."},
    MessageRow{ImageEmpty, "The firmware image is empty."},
    MessageRow{DroppedUnread, " The line brought more than could be read: %1 bytes were dropped unread."},

    MessageRow{NoCommand, "No command given; try %1 --help."},
    MessageRow{UnknownCommand, "Unknown command %1; try %2 --help."},
    MessageRow{UsageLine, "Usage: %1 %2"},
    MessageRow{FamilyUsage, "Usage: %1 %2 %3 ..."},
    MessageRow{OptionNeedsValue, "Option %1 needs a value."},
    MessageRow{OptionTakesNoValue, "Option %1 takes no value."},
    MessageRow{UnknownOption, "Unknown option %1."},
    MessageRow{EitherOr, "%1 or %2"},
    MessageRow{BadBoardOption, "Option --board takes %1."},
    MessageRow{BoardIs, "The board is %1."},
    MessageRow{PortGivenTwice, "The port %1 is given twice."},
    MessageRow{CannotWrite, "Cannot write %1: %2."},
    MessageRow{CannotWriteOutput, "Cannot write the standard output."},
    MessageRow{Interrupted, "Interrupted; %1."},
    MessageRow{Second, "%1 second"},
    MessageRow{Seconds, "%1 seconds"},
    MessageRow{NoAnswerOtherBoard, "The %1 answered on %2, not the %3 (--board %4 talks to it)."},
    MessageRow{NoAnswer, "No answer from the %1 on %2 within %3."},

    MessageRow{NothingRead, "nothing was read"},
    MessageRow{NothingCompared, "nothing was compared"},
    MessageRow{CommandMaybeSent, "the command may have been sent"},
    MessageRow{NoParametersSent, "no parameters were sent"},
    MessageRow{UploadUnfinished, "the upload may not have finished"},
    MessageRow{WriteUnfinished, "the write may not have finished"},
    MessageRow{UpgradeStopped, "the upgrade was stopped and the board may need it again"},

    MessageRow{IgnoredKey, "%1 has no parameter named %2; it is ignored."},
    MessageRow{IgnoredKeys, "%1 has no parameters named %2; they are ignored."},
    MessageRow{HasValuesBeyondFrames, "%1 has values the %2's frames cannot carry: %3."},
    MessageRow{AlsoValuesBeyondFrames, " It also has values the %1's frames cannot carry: %2."},
    MessageRow{HasValuesOutsideRanges, "%1 has values outside the %2's ranges: %3."},
    MessageRow{AlsoValuesOutsideRanges, " It also has values outside the %1's ranges: %2."},
    MessageRow{NothingSent, " Nothing was sent."},
    MessageRow{OutOfRangeHint,
               " A file saved from a %1 that holds such values can be sent as its frames carry "
               "them with --allow-out-of-range."},
    MessageRow{ChangesNothing, "%1 changes nothing: %2."},
    MessageRow{KeptValueCrossed, "%1 (%2 is the %3's)"},
    MessageRow{LimitsCrossed, "%1 would leave the %2's limits crossed: %3."},
    MessageRow{KeysMissing, "%1 has no %2; the %3 values are kept."},
    MessageRow{KeyMissing, "%1 has no %2; the %3 value is kept."},
    MessageRow{BackupSaved, "The %1's set on %2 was saved to %3."},
    MessageRow{NoBackup, "%1 Nothing was sent (--no-backup skips the backup)."},
    MessageRow{NotTaken, "The %1 on %2 answered but did not take the parameters."},
    MessageRow{FlashRefused, "Write flash failed! The board refused for %1."},
    MessageRow{ParametersUploaded, "Parameters uploaded."},
    MessageRow{FlashWritten, "Write flash successfully!"},

    MessageRow{JsonOrCsv, "Choose one of --json and --csv."},
    MessageRow{CsvForController, "--csv is for the %1's telemetry."},
    MessageRow{BadCount, "The count must be a whole number of 1 or more."},
    MessageRow{MotorMonitorLine, "voltage %1 current %2 firmware %3"},
    MessageRow{NoFirmwareYet, "-"},

    MessageRow{BadVersion, "The version is a number of tenths from 0 to 255, or one such as 2.4."},
    MessageRow{BadAddress, "The address is a number (0x for hexadecimal) and a multiple of 4."},
    MessageRow{ChipOptionsExclude, "--chip and --any-chip exclude each other."},
    MessageRow{NameTheChip,
               "Name the chip the firmware is for with --chip ID (%1), or give --any-chip for a file "
               "any chip takes: the upgrade checks the chip before anything is erased."},
    MessageRow{UnknownChipId, "The chip is a product id the upgrade knows: %1."},
    MessageRow{ElfImage, "%1 is an ELF file, not a flash image: convert it first, e.g. objcopy -O binary %1 "
                         "image.bin (or -O ihex for Intel HEX), and pack that."},
    MessageRow{AlreadyFirmware, "%1 is a firmware file already (firmware info shows its header)."},
    MessageRow{BadIntelHex, "%1 is not a valid Intel HEX file: %2."},
    MessageRow{HexStartsElsewhere, "%1 starts at %2, not at the address given."},
    MessageRow{HexStartUnaligned, "%1 starts at an address that is not a multiple of 4."},
    MessageRow{RawTooLarge, "%1 is larger than any flash image (16 MiB)."},
    MessageRow{NotProgramImage,
               "%1 does not look like a program image for %2: %3. --force packs it all the same."},
    MessageRow{NoImage, "%1 holds no image."},
    MessageRow{Packed, "Wrote %1: %2 bytes for the %3 at %4, version %5, chip %6."},
    MessageRow{AnyChip, "any"},

    MessageRow{NotFirmware, "%1 is not a firmware file: it starts with %2."},
    MessageRow{NotFirmwareElf, "%1 is not a firmware file: it starts with %2, an ELF file (convert it with "
                               "objcopy -O binary, then use firmware pack)."},
    MessageRow{NotFirmwareHex,
               "%1 is not a firmware file: it starts with %2, Intel HEX text (firmware pack makes a firmware "
               "file of it)."},
    MessageRow{LargerThanFirmware, "larger than any firmware file"},
    MessageRow{ShorterThanHeader, "%1 is shorter than a firmware header."},
    MessageRow{InfoMagic, "magic: QNFW"},
    MessageRow{InfoFormat, "format: %1"},
    MessageRow{InfoBoard, "board: %1 (%2)"},
    MessageRow{InfoVersion, "version: %1 (V%2.%3)"},
    MessageRow{InfoAddress, "address: %1"},
    MessageRow{InfoLength, "length: %1 bytes"},
    MessageRow{InfoChip, "chip: %1"},
    MessageRow{HeaderCrcMatches, "header CRC-32: %1 (matches)"},
    MessageRow{HeaderCrcDiffers, "header CRC-32: %1 (does not match: %2)"},
    MessageRow{ImageCrcMatches, "image CRC-32: %1 (matches)"},
    MessageRow{ImageCrcDiffers, "image CRC-32: %1 (does not match: %2)"},
    MessageRow{ImageTruncated, "image CRC-32: %1 (the image is truncated)"},

    MessageRow{ForceWithoutIdentify, "--force goes with --no-identify only."},
    MessageRow{
        NoChipNoIdentify,
        "%1 names no chip, and --no-identify skips the board check: nothing would keep it from the other "
        "board. Pack it again with --chip ID, leave out --no-identify, or add --force if the board on the "
        "port is surely the %2."},
    MessageRow{UpgradeFailed, "Upgrade failed with code %1: %2"},
    MessageRow{
        NoIdentifyHint,
        " Only if you put the board in its boot loader by hand before starting: its boot loader may have "
        "taken the board check's polls for its baud rate, so reset it and start again with --no-identify."},
    MessageRow{WaitingForBootLoader,
               "Waiting for the boot loader: reset or power the board with its boot jumper set."},
    MessageRow{ProgressLine, "progress %1 %"},
    MessageRow{ProgressBar, "[%1] %2 %"},
};

// Messages(), Say and the ids rely on the rows standing in id order, one each.
constexpr bool InIdOrder()
{
    for (std::size_t i = 0; i < kMessages.size(); ++i)
        if (kMessages[i].id != static_cast<Message>(i))
            return false;
    return kMessages.size() == static_cast<std::size_t>(Count);
}
static_assert(InIdOrder(), "a message row is missing or out of place");

struct UpgradeWords
{
    UpgradeWhy why;
    Message message;
    bool capitalize; // the sentence starts with a fact that starts in lower case
};

constexpr std::array kUpgradeWords{
    UpgradeWords{UpgradeWhy::PortOpenFailed, PortOpenFailed, false},
    UpgradeWords{UpgradeWhy::PortOpenRefused, PortOpenRefused, false},
    UpgradeWords{UpgradeWhy::FileUnreadable, FileUnreadable, false},
    UpgradeWords{UpgradeWhy::FileInvalid, FileInvalid, false},
    UpgradeWords{UpgradeWhy::Reason, Sentence, true},
    UpgradeWords{UpgradeWhy::BoardAnswered, BoardAnswered, false},
    UpgradeWords{UpgradeWhy::DeviceWentAway, DeviceWentAway, false},
    UpgradeWords{UpgradeWhy::StoppedAnswering, StoppedAnswering, false},
    UpgradeWords{UpgradeWhy::KeptRefusing, KeptRefusing, false},
    UpgradeWords{UpgradeWhy::NoBootLoader, NoBootLoader, false},
    UpgradeWords{UpgradeWhy::ChipMismatch, ChipMismatch, false},
    UpgradeWords{UpgradeWhy::ChipUnknown, ChipUnknown, false},
    UpgradeWords{UpgradeWhy::NoEraseCommand, NoEraseCommand, false},
    UpgradeWords{UpgradeWhy::CommandMissing, CommandMissing, false},
    UpgradeWords{UpgradeWhy::ReadProtected, ReadProtected, false},
    UpgradeWords{UpgradeWhy::FlashSizeUnread, FlashSizeUnread, false},
    UpgradeWords{UpgradeWhy::ImageTooLarge, ImageTooLarge, false},
    UpgradeWords{UpgradeWhy::ImageOffPages, ImageOffPages, false},
    UpgradeWords{UpgradeWhy::PageBeyondErase, PageBeyondErase, false},
    UpgradeWords{UpgradeWhy::EraseFailed, EraseFailed, false},
    UpgradeWords{UpgradeWhy::WriteRefused, WriteRefused, true},
    UpgradeWords{UpgradeWhy::VerifyFailed, VerifyFailed, false},
    UpgradeWords{UpgradeWhy::VerifyDiffers, VerifyDiffers, false},
    UpgradeWords{UpgradeWhy::StartFailed, StartFailed, false},
    UpgradeWords{UpgradeWhy::ImageEmpty, ImageEmpty, false},
};

std::string Filled(std::string_view format, std::span<const std::string_view> facts)
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

} // namespace

std::span<const MessageRow> Messages()
{
    return kMessages;
}

std::string FormatMessage(std::string_view format, const std::vector<std::string>& facts)
{
    const std::vector<std::string_view> views(facts.begin(), facts.end());
    return Filled(format, views);
}

std::string Say(Message id, std::initializer_list<std::string_view> facts)
{
    return Filled(kMessages[static_cast<std::size_t>(id)].format, {facts.begin(), facts.size()});
}

std::string Capitalized(std::string text)
{
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

std::string EitherOf(std::span<const std::string_view> words)
{
    if (words.size() < 2)
        return words.empty() ? std::string() : std::string(words[0]);
    std::string head(words[0]);
    for (std::size_t i = 1; i + 1 < words.size(); ++i)
        head += ", " + std::string(words[i]);
    return Say(EitherOr, {head, words.back()});
}

std::string UpgradeSentence(const UpgradeOutcome& outcome)
{
    std::string text;
    for (const UpgradeWords& row : kUpgradeWords)
        if (row.why == outcome.why) {
            text = FormatMessage(kMessages[static_cast<std::size_t>(row.message)].format, outcome.facts);
            if (row.capitalize)
                text = Capitalized(std::move(text));
        }
    if (!text.empty() && outcome.dropped > 0)
        text += Say(DroppedUnread, {std::to_string(outcome.dropped)});
    return text;
}

std::string UpgradeErrorText(const UpgradeOutcome& outcome)
{
    return UpgradeErrorSentence(outcome.code, UpgradeSentence(outcome));
}

} // namespace qav::cli
