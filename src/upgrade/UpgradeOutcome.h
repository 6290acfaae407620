#pragma once
// How an upgrade (or the check of its file) ended, as facts only: the
// notification code, which sentence tells why, and the numbers, names and
// lower layers' reasons that sentence takes, in order. The upgrade words
// nothing itself: each front end words an outcome from its own table
// (cli/CliMessages.cpp, view/UpgradeWords.cpp), so a translator finds every
// sentence there.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace qav {

// Which sentence tells why; the facts each takes are named after it, in order.
enum class UpgradeWhy {
    None,             // nothing to tell: done, stopped, or the code's meaning says it all
    PortOpenFailed,   // port, reason
    PortOpenRefused,  // port (no reason known)
    FileUnreadable,   // path, reason
    FileInvalid,      // path, reason
    Reason,           // a lower layer's reason, as the whole sentence
    BoardAnswered,    // board heard, port, board served
    DeviceWentAway,   // port
    StoppedAnswering, // reason
    KeptRefusing,     // command
    NoBootLoader,     // seconds waited
    ChipMismatch,     // file's chip, board's chip
    ChipUnknown,      // board's chip
    NoEraseCommand,   // -
    CommandMissing,   // command
    ReadProtected,    // reason
    FlashSizeUnread,  // reason
    ImageTooLarge,    // image bytes, image address, flash KiB, flash address
    ImageOffPages,    // -
    PageBeyondErase,  // last page, chip
    EraseFailed,      // reason
    WriteRefused,     // reason, attempts
    VerifyFailed,     // reason
    VerifyDiffers,    // address
    StartFailed,      // reason
    ImageEmpty,       // -
};

struct UpgradeOutcome
{
    UpgradeOutcome() = default;
    UpgradeOutcome(int code, UpgradeWhy why = UpgradeWhy::None, std::vector<std::string> facts = {},
                   std::uint64_t dropped = 0)
        : code(code), why(why), facts(std::move(facts)), dropped(dropped)
    {
    }

    int code = 0; // UpgradeCodes.h; 0 when nothing ended it (a stop)
    UpgradeWhy why = UpgradeWhy::None;
    std::vector<std::string> facts;
    // Bytes the line dropped unread during the run: a flood explains many a
    // failure, so the front ends add it to the sentence.
    std::uint64_t dropped = 0;
};

} // namespace qav
