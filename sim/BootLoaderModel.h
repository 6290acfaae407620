#pragma once
// A board's built-in USART boot loader as the PC sees it (the commands of
// ST's AN3155 that the upgrade uses), playing one row of the chip table
// (src/upgrade/BootChips.h): its product id, flash-size register, erase
// units and documented erase command. Pure logic: bytes in, answer bytes out; no time,
// no threads. Like the real one it has no time-out within a command: it
// waits for every byte a command announces.
//
// What "the firmware" is for the simulation: the byte at offset 0x1C of the
// image GO starts (the first reserved word of a Cortex-M vector table) is
// its version in tenths, reported in the board's answers afterwards.
#include "upgrade/BootChips.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace qav::sim {

struct BootFaults
{
    int refuseWrite = 0;        // the n-th WRITE MEMORY (from 1) is refused...
    int refuseWriteCount = 1;   // ...and so are this many in all, from there on
    int corruptRead = 0;        // the n-th READ MEMORY of flash comes back with one byte changed
    long silentAfter = -1;      // the boot loader falls silent after this many bytes, once, until reset
    bool deaf = false;          // the board never enters its boot loader
    bool readProtected = false; // READ and WRITE MEMORY refused, as on a read-out protected chip
    // The erase command the boot loader lists and takes (0x43 or 0x44), as a
    // newer boot loader version may offer another than the part's row
    // documents; 0: the row's.
    std::uint8_t erase = 0;
};

struct BootStats
{
    int entries = 0;     // times the boot loader was entered
    int pagesErased = 0; // page erases done
    int writes = 0;      // WRITE MEMORY commands carried out
    int refusedWrites = 0;
    int reads = 0;       // READ MEMORY commands answered
    int starts = 0;      // GO commands carried out
    long bytesHeard = 0; // bytes in and out of the boot loader, sync bytes included
    long bytesSent = 0;
};

inline constexpr std::uint32_t kSimFlashBase = 0x08000000;
// The chip the simulated boards play unless told otherwise.
inline constexpr std::uint16_t kSimChipId = 0x410;
inline constexpr std::uint32_t kSimVersionOffset = 0x1C;

// A made-up firmware image of `size` bytes (a pattern that differs with
// `seed`) that starts like a program for the flash's base and whose version
// byte is `version`: what the boards hold at start, and what tests flash.
std::vector<std::uint8_t> SimFirmwareImage(std::uint8_t version, std::size_t size, std::uint32_t seed = 1);

class BootLoaderModel
{
public:
    // `chip` is a row of the chip table (it must outlive the model), with
    // flashKiB whole KiB of flash, starting with `contents`, the rest erased.
    BootLoaderModel(const ChipInfo& chip, std::uint32_t flashKiB, const std::vector<std::uint8_t>& contents,
                    BootFaults faults = {});

    // Reset into the boot loader after the sync byte: returns the ACK to send.
    std::uint8_t Enter();
    // One byte heard in the boot loader; answers go to `out`. Returns the
    // start address once a GO has been carried out (the boot loader has
    // left then).
    std::optional<std::uint32_t> Feed(std::uint8_t b, std::vector<std::uint8_t>& out);

    // New faults; their counts start from now.
    void SetFaults(const BootFaults& faults);
    const std::vector<std::uint8_t>& Flash() const { return flash_; }
    // The version byte of the image at `address`; nothing outside flash.
    std::optional<std::uint8_t> VersionAt(std::uint32_t address) const;
    const BootStats& Stats() const { return stats_; }
    const ChipInfo& Chip() const { return chip_; }
    // Waiting for a command, not inside one.
    bool Idle() const { return state_ == State::Command; }

private:
    enum class State { Command, Complement, Address, ReadLength, WriteData, EraseCount, ErasePages, Silent };

    std::optional<std::uint32_t> Step(std::uint8_t b, std::vector<std::uint8_t>& out);
    void Reply(std::vector<std::uint8_t>& out, bool ack);
    void OnCommand(std::vector<std::uint8_t>& out);
    std::optional<std::uint32_t> OnAddress(std::vector<std::uint8_t>& out);
    void OnReadLength(std::vector<std::uint8_t>& out);
    void OnWriteData(std::vector<std::uint8_t>& out);
    void OnErase(std::vector<std::uint8_t>& out);
    std::uint8_t EraseCommand() const;
    bool InFlash(std::uint32_t address, std::size_t n) const;
    bool ReadableAt(std::uint32_t address, std::size_t n) const;
    std::uint8_t ByteAt(std::uint32_t address) const;

    const ChipInfo& chip_;
    std::vector<std::uint8_t> flash_;
    BootFaults faults_;
    BootStats stats_;
    bool silenceSpent_ = false;
    int writesBefore_ = 0; // writes and reads before the faults were set
    int readsBefore_ = 0;
    long heard_ = 0; // bytes heard since the last entry or the faults were set

    State state_ = State::Command;
    std::uint8_t command_ = 0;
    std::vector<std::uint8_t> buffer_;
    std::size_t want_ = 0;
    std::uint32_t address_ = 0;
};

} // namespace qav::sim
