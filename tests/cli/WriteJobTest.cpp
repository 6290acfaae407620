// The write's phase machine that both boards share, driven by scripted
// events and a clock the test moves.
#include "WriteJob.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qav::cli {
namespace {

using Phase = WriteJob::Phase;
using namespace std::chrono_literals;

// Records what the job asks of the board's engine.
struct Steps final : IWriteSteps
{
    std::string said;
    void ApplyFile() override { said += "apply "; }
    void BeginSettle() override { said += "settle "; }
    void BeginWrite() override { said += "write "; }
};

// One scripted event: a letter for what the board's adapter reports, or a
// step of the job at a time in milliseconds.
struct Act
{
    char event; // R read back, A read again, S settled, W written, F flash stored, X flash refused,
                // P progress, '.' a step
    int ms = 0;
};

struct Script
{
    const char* name;
    bool store;
    std::vector<Act> acts;
    Phase phase;
    const char* said;
    int writes;
    const char* refusal = ""; // what `refuse` answers
    bool backupFails = false;
};

void Play(WriteJob& job, const Act& act, WriteJob::Clock::time_point start)
{
    switch (act.event) {
    case 'R':
        job.ReadBackComplete();
        break;
    case 'A':
        job.ReadAgain();
        break;
    case 'S':
        job.Settled();
        break;
    case 'W':
        job.Written();
        break;
    case 'F':
        job.Stored();
        break;
    case 'X':
        job.FlashRefused();
        break;
    case 'P':
        job.Progress();
        break;
    default:
        job.Step(start + std::chrono::milliseconds(act.ms));
        break;
    }
}

TEST(WriteJob, PhasesFollowTheBoardsAnswers)
{
    const Script scripts[] = {
        {"written",
         false,
         {{'.'}, {'R'}, {'.'}, {'S'}, {'.'}, {'W'}, {'.'}},
         Phase::Done,
         "apply settle write ",
         1},
        {"a write waits for the flash result",
         true,
         {{'R'}, {'.'}, {'S'}, {'.'}, {'W'}, {'.'}},
         Phase::Write,
         "apply settle write ",
         1},
        {"stored",
         true,
         {{'R'}, {'.'}, {'S'}, {'.'}, {'W'}, {'F'}, {'.'}},
         Phase::Done,
         "apply settle write ",
         1},
        // The board read its set back mid-write: the kept set goes again,
        // the file is not applied twice.
        {"written again",
         false,
         {{'R'}, {'.'}, {'S'}, {'.'}, {'A'}, {'.'}, {'S'}, {'.'}, {'W'}, {'.'}},
         Phase::Done,
         "apply settle write settle write ",
         2},
        // What comes outside its phase counts for nothing.
        {"early answers",
         false,
         {{'S'}, {'W'}, {'F'}, {'A'}, {'.'}, {'R'}, {'.'}, {'W'}, {'.'}},
         Phase::Settle,
         "apply settle ",
         0},
        {"refused", false, {{'R'}, {'.'}}, Phase::Refused, "", 0, "the limits would cross."},
        {"no backup", false, {{'R'}, {'.'}}, Phase::NoBackup, "", 0, "", true},
        // Answers without progress for 5 s.
        {"stuck reading", false, {{'.', 0}, {'.', 5001}}, Phase::Stuck, "", 0},
        {"progress keeps it going",
         false,
         {{'.', 0}, {'P'}, {'.', 4000}, {'.', 8999}},
         Phase::ReadBack,
         "",
         0},
        {"stuck writing",
         false,
         {{'R'}, {'.', 0}, {'S'}, {'.', 10}, {'.', 5011}},
         Phase::Stuck,
         "apply settle write ",
         1},
        // A board that refuses to store is asked again for 3 s.
        {"refusals for 3 s",
         true,
         {{'R'}, {'.', 0}, {'S'}, {'.', 0}, {'W'}, {'X'}, {'.', 100}, {'P'}, {'.', 3099}, {'P'}, {'.', 3100}},
         Phase::FlashRefused,
         "apply settle write ",
         1},
        // A refusal of the write before a re-read does not count against
        // the set written again: its 3 s start with its own first refusal.
        {"refusals start again with the rewrite",
         true,
         {{'R'}, {'.', 0}, {'S'}, {'.', 0}, {'X'}, {'.', 100}, {'A'}, {'.', 200}, {'S'}, {'.', 300}, {'P'},
          {'.', 3200}, {'P'}, {'.', 4999}},
         Phase::Write,
         "apply settle write settle write ",
         2},
        {"refused again after the rewrite for 3 s",
         true,
         {{'R'}, {'.', 0}, {'S'}, {'.', 0}, {'X'}, {'.', 100}, {'A'}, {'.', 200}, {'S'}, {'.', 300}, {'X'},
          {'.', 2000}, {'P'}, {'.', 5000}},
         Phase::FlashRefused,
         "apply settle write settle write ",
         2},
        {"stored after a refusal",
         true,
         {{'R'}, {'.', 0}, {'S'}, {'.', 0}, {'X'}, {'.', 100}, {'F'}, {'.', 3000}},
         Phase::Done,
         "apply settle write ",
         1},
    };
    const auto start = WriteJob::Clock::now();
    for (const Script& s : scripts) {
        SCOPED_TRACE(s.name);
        Steps steps;
        WriteJob job(steps, s.store);
        job.refuse = [&] { return std::string(s.refusal); };
        job.backup = [&] { return !s.backupFails; };
        for (const Act& act : s.acts)
            Play(job, act, start);
        EXPECT_EQ(job.phase(), s.phase);
        EXPECT_EQ(steps.said, s.said);
        EXPECT_EQ(job.Writes(), s.writes);
        EXPECT_EQ(job.Refusal(), s.refusal);
        // Whatever still goes on is stuck once nothing has moved for long.
        const bool over = s.phase != Phase::ReadBack && s.phase != Phase::Settle && s.phase != Phase::Write;
        EXPECT_TRUE(job.Step(start + 20s));
        EXPECT_EQ(job.phase(), over ? s.phase : Phase::Stuck);
    }
}

} // namespace
} // namespace qav::cli
