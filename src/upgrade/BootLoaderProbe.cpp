#include "upgrade/BootLoaderProbe.h"

#include "upgrade/BootLoader.h"

namespace qav {

void BootLoaderProbe::Reset()
{
    phase_ = Phase::Listening;
    nacks_ = heard_ = 0;
    found_ = false;
}

void BootLoaderProbe::Finish(bool found)
{
    found_ = found || HeardNacks();
    phase_ = Phase::Done;
}

void BootLoaderProbe::OnBytes(std::span<const std::uint8_t> bytes, Clock::time_point now)
{
    if (bytes.empty() || phase_ == Phase::Done)
        return;
    lastByte_ = now;
    switch (phase_) {
    case Phase::Listening:
    case Phase::Quiet:
        for (std::uint8_t b : bytes) {
            ++heard_;
            nacks_ += b == boot::kNack;
        }
        break;
    case Phase::FirstSync:
    case Phase::SecondSync:
        // The first byte after the sync byte is its answer.
        Finish(bytes[0] == boot::kAck || bytes[0] == boot::kNack);
        break;
    case Phase::Done:
        break;
    }
}

void BootLoaderProbe::Begin(Clock::time_point now)
{
    phase_ = Phase::Quiet;
    begun_ = now;
}

std::optional<std::uint8_t> BootLoaderProbe::Step(Clock::time_point now)
{
    switch (phase_) {
    case Phase::Quiet:
        if (now - lastByte_ >= kQuiet) {
            phase_ = Phase::FirstSync;
            sentAt_ = now;
            return boot::kSync;
        }
        // A line that never falls quiet is no boot loader waiting for us.
        if (now - begun_ >= kQuietWait)
            Finish(false);
        return std::nullopt;
    case Phase::FirstSync:
        if (now - sentAt_ < kAnswer)
            return std::nullopt;
        phase_ = Phase::SecondSync;
        sentAt_ = now;
        return boot::kSync;
    case Phase::SecondSync:
        if (now - sentAt_ >= kAnswer)
            Finish(false);
        return std::nullopt;
    case Phase::Listening:
    case Phase::Done:
        break;
    }
    return std::nullopt;
}

std::string BootLoaderWaitingSentence(std::string_view board, std::string_view port)
{
    return "The " + std::string(board) + " on " + std::string(port) +
           " is in its boot loader: start the upgrade again, or remove the boot jumper and reset it.";
}

} // namespace qav
