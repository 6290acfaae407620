#pragma once
// The words of qav-nuva-cli, in one table that every command reads: each
// message an id and a format, whose %1 to %9 take the facts in order. Help
// text is CliHelp.cpp's; what scripts parse (JSON, CSV, the columns of a
// many-port line) is the command's own.
#include "upgrade/UpgradeOutcome.h"

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qav::cli {

enum class Message {
    // Why an upgrade ended (UpgradeSentence); some serve other commands too.
    PortOpenFailed,
    PortOpenRefused,
    FileUnreadable,
    FileInvalid,
    Sentence,
    BoardAnswered,
    DeviceWentAway,
    StoppedAnswering,
    KeptRefusing,
    NoBootLoader,
    ChipMismatch,
    ChipUnknown,
    NoEraseCommand,
    CommandMissing,
    ReadProtected,
    FlashSizeUnread,
    ImageTooLarge,
    ImageOffPages,
    PageBeyondErase,
    EraseFailed,
    WriteRefused,
    VerifyFailed,
    VerifyDiffers,
    StartFailed,
    ImageEmpty,
    DroppedUnread,

    // Every command.
    NoCommand,
    UnknownCommand,
    UsageLine,
    FamilyUsage,
    OptionNeedsValue,
    OptionTakesNoValue,
    UnknownOption,
    EitherOr,
    BadBoardOption,
    BoardIs,
    PortGivenTwice,
    CannotWrite,
    CannotWriteOutput,
    Interrupted,
    Second,
    Seconds,
    NoAnswerOtherBoard,
    NoAnswer,

    // What a stop signal left undone.
    NothingRead,
    NothingCompared,
    CommandMaybeSent,
    NoParametersSent,
    UploadUnfinished,
    WriteUnfinished,
    UpgradeStopped,

    // write, and the keys diff ignores.
    IgnoredKey,
    IgnoredKeys,
    HasValuesBeyondFrames,
    AlsoValuesBeyondFrames,
    HasValuesOutsideRanges,
    AlsoValuesOutsideRanges,
    NothingSent,
    OutOfRangeHint,
    ChangesNothing,
    KeptValueCrossed,
    LimitsCrossed,
    KeysMissing,
    KeyMissing,
    BackupSaved,
    NoBackup,
    NotTaken,
    FlashRefused,
    ParametersUploaded,
    FlashWritten,

    // monitor.
    JsonOrCsv,
    CsvForController,
    BadCount,
    MotorMonitorLine,
    NoFirmwareYet,

    // firmware pack.
    BadVersion,
    BadAddress,
    ChipOptionsExclude,
    NameTheChip,
    UnknownChipId,
    ElfImage,
    AlreadyFirmware,
    BadIntelHex,
    HexStartsElsewhere,
    HexStartUnaligned,
    RawTooLarge,
    NotProgramImage,
    NoImage,
    Packed,
    AnyChip,

    // firmware info.
    NotFirmware,
    NotFirmwareElf,
    NotFirmwareHex,
    LargerThanFirmware,
    ShorterThanHeader,
    InfoMagic,
    InfoFormat,
    InfoBoard,
    InfoVersion,
    InfoAddress,
    InfoLength,
    InfoChip,
    HeaderCrcMatches,
    HeaderCrcDiffers,
    ImageCrcMatches,
    ImageCrcDiffers,
    ImageTruncated,

    // upgrade.
    ForceWithoutIdentify,
    NoChipNoIdentify,
    UpgradeFailed,
    NoIdentifyHint,
    WaitingForBootLoader,
    ProgressLine,
    ProgressBar,

    Count
};

struct MessageRow
{
    Message id;
    std::string_view format;
};

// Every message, in the order of its id.
std::span<const MessageRow> Messages();

// Fills %1 to %9 of `format` with `facts` in one pass, so a fact that holds
// "%2" stays as it is. A number without a fact is left as written.
std::string FormatMessage(std::string_view format, const std::vector<std::string>& facts);
// Message `id` with its places filled by `facts`, as FormatMessage fills them.
std::string Say(Message id, std::initializer_list<std::string_view> facts = {});
// `text` with its first letter in upper case: for a sentence that starts
// with a fact written to go inside one.
std::string Capitalized(std::string text);

// "a or b", "a, b or c": a choice of words.
std::string EitherOf(std::span<const std::string_view> words);

// Why an upgrade ended, in one or two sentences (the flood's toll after
// it); empty when the outcome tells nothing.
std::string UpgradeSentence(const UpgradeOutcome& outcome);
// What went wrong: UpgradeSentence, or the meaning of the code where it
// tells nothing more. Empty for a code that is not an error.
std::string UpgradeErrorText(const UpgradeOutcome& outcome);

} // namespace qav::cli
