#include "WriteJob.h"

namespace qav::cli {

WriteJob::WriteJob(IWriteSteps& steps, bool store) : steps_(steps), store_(store) {}

void WriteJob::Progress()
{
    progress_ = true;
}

void WriteJob::ReadBackComplete()
{
    if (phase_ == Phase::ReadBack)
        readBack_ = true;
}

void WriteJob::ReadAgain()
{
    if (phase_ == Phase::Write)
        resync_ = true; // the board's own set replaced ours
}

void WriteJob::Settled()
{
    if (phase_ == Phase::Settle)
        settled_ = true;
}

void WriteJob::Written()
{
    if (phase_ == Phase::Write)
        written_ = true;
}

void WriteJob::Stored()
{
    if (phase_ == Phase::Write)
        stored_ = true;
}

void WriteJob::FlashRefused()
{
    if (phase_ == Phase::Write)
        refused_ = true;
}

bool WriteJob::Step(Clock::time_point now)
{
    if (!lastProgress_)
        lastProgress_ = now;
    if (refused_ && !firstRefusal_)
        firstRefusal_ = now;
    const Phase before = phase_;
    switch (phase_) {
    case Phase::ReadBack:
        if (!readBack_)
            break;
        if (refuse && !(refusal_ = refuse()).empty()) {
            phase_ = Phase::Refused;
            return true;
        }
        if (backup && !backup()) {
            phase_ = Phase::NoBackup;
            return true;
        }
        steps_.ApplyFile();
        BeginSettle();
        break;
    case Phase::Settle:
        if (settled_)
            BeginWrite();
        break;
    case Phase::Write:
        if (resync_)
            BeginSettle();
        else if (store_ ? stored_ : written_)
            phase_ = Phase::Done;
        else if (firstRefusal_ && now - *firstRefusal_ >= kRefusalPatience)
            phase_ = Phase::FlashRefused;
        break;
    case Phase::Done:
    case Phase::Stuck:
    case Phase::NoBackup:
    case Phase::Refused:
    case Phase::FlashRefused:
        return true;
    }
    if (phase_ != before || progress_)
        lastProgress_ = now;
    progress_ = false;
    const bool working = phase_ == Phase::ReadBack || phase_ == Phase::Settle || phase_ == Phase::Write;
    if (working && now - *lastProgress_ > kNoProgressTimeout)
        phase_ = Phase::Stuck;
    return !working || phase_ == Phase::Stuck;
}

void WriteJob::BeginSettle()
{
    phase_ = Phase::Settle;
    settled_ = false;
    steps_.BeginSettle();
}

void WriteJob::BeginWrite()
{
    phase_ = Phase::Write;
    // A refusal of an earlier write is no refusal of this one.
    resync_ = written_ = stored_ = refused_ = false;
    firstRefusal_.reset();
    steps_.BeginWrite();
    ++writes_;
}

} // namespace qav::cli
