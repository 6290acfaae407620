#pragma once
// The write of a checked file to a board, step by step, the same for both
// boards. The board's own set is read first, so that what the file has no
// key for keeps its value. Answers still in flight are let in before the
// file is applied (an answer that follows every earlier one settles it), and
// the set to write is kept apart: if the board reads back again during the
// write (its link was lost and found, or it reported its set unasked), the
// same set is put back and written again from the start.
//
// Each board's adapter drives its own engine (IWriteSteps) and turns the
// engine's events into the job's inputs below.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace qav::cli {

class IWriteSteps
{
public:
    virtual ~IWriteSteps() = default;
    // The board's set has been read: apply the file over it and keep the
    // result apart.
    virtual void ApplyFile() = 0;
    // Stop writing and ask for an answer that only follows every earlier one
    // (a flash write must only follow a complete write).
    virtual void BeginSettle() = 0;
    // Put the kept set back and start writing it (and storing it, when the
    // job stores).
    virtual void BeginWrite() = 0;
};

class WriteJob
{
public:
    using Clock = std::chrono::steady_clock;
    enum class Phase {
        ReadBack,     // reading the board's own set
        Settle,       // letting answers in flight arrive
        Write,        // writing the kept set (and storing it)
        Done,         // written (and stored)
        Stuck,        // the board answered but took nothing for kNoProgressTimeout
        NoBackup,     // the backup failed: nothing was sent
        Refused,      // the refusal said why: nothing was sent
        FlashRefused, // the board kept refusing to store for kRefusalPatience
    };

    // A board that answers but takes nothing. Longer than the answer time-out,
    // so that a silent one is reported as silent.
    static constexpr std::chrono::seconds kNoProgressTimeout{5};
    // How long a board may go on refusing the flash write.
    static constexpr std::chrono::seconds kRefusalPatience{3};

    // `store`: the set is to be stored in flash once written.
    WriteJob(IWriteSteps& steps, bool store);

    // Asked once the board's set is read, before anything is changed: a
    // refusal sentence ends the job with nothing sent...
    std::function<std::string()> refuse;
    // ...then: false ends the job with nothing sent.
    std::function<bool()> backup;

    // What the board's adapter reports.
    void Progress();         // an answer that moves the job on
    void ReadBackComplete(); // the board's whole set has been read
    void ReadAgain();        // the board's set came again, or its link was lost
    void Settled();          // an answer that follows every earlier one
    void Written();          // the board took the set
    void Stored(); // the flash write's result (the controller's, good or bad; the motor board's success)
    void FlashRefused(); // the board refused to store; it is asked again

    // Moves on when the step in progress is complete. True when the job is
    // over (done, stuck, refused or without backup).
    bool Step(Clock::time_point now = Clock::now());

    Phase phase() const { return phase_; }
    bool Writing() const { return phase_ == Phase::Write; }
    bool WriteTaken() const { return written_; }
    // How many times the set has been sent (0: nothing was).
    int Writes() const { return writes_; }
    const std::string& Refusal() const { return refusal_; }

private:
    void BeginSettle();
    void BeginWrite();

    IWriteSteps& steps_;
    const bool store_;
    Phase phase_ = Phase::ReadBack;
    bool readBack_ = false, settled_ = false, resync_ = false, written_ = false, stored_ = false,
         progress_ = false, refused_ = false;
    std::optional<Clock::time_point> firstRefusal_, lastProgress_;
    int writes_ = 0;
    std::string refusal_;
};

} // namespace qav::cli
