#pragma once
// Tells a board that waits in its boot loader (after a failed or cancelled
// upgrade) from one that is silent, for a link that finds no frame on its
// port. Two signs, either of which is enough:
//
// - while the link sent its frames, the line answered with NACK bytes
//   (0x1F): a boot loader whose baud rate is set refuses each pair of frame
//   bytes as a command;
// - once the link has stopped sending and the line is quiet, a sync byte
//   (0x7F) is answered with ACK (a boot loader not yet in step) or NACK; one
//   that takes it as a command byte answers the next sync byte with NACK, so
//   a second one follows when the first goes unanswered.
//
// A running firmware ignores a sync byte. The probe has no port and no clock
// of its own: its owner hands it what the line brought, asks it on each turn
// of its loop (a screen's link timer, the command line's session loop) what
// to send, and writes that byte itself. Use:
//
//   every byte received while no frame is found   -> OnBytes
//   a valid frame                                  -> OnFrame (starts over)
//   the link gives up (its time-out): stop sending frames, then Begin
//   on every turn until Done()                     -> Step, write what it returns
//   Done(): BootLoaderFound() says what was found; Reset() before the link
//   sends again.
//
// One thread, the owner's.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qav {

class BootLoaderProbe
{
public:
    using Clock = std::chrono::steady_clock;
    // The line counts as quiet after this long without a byte.
    static constexpr std::chrono::milliseconds kQuiet{30};
    // At most this long for the line to fall quiet before the sync byte.
    static constexpr std::chrono::milliseconds kQuietWait{300};
    // Each sync byte's answer comes within this.
    static constexpr std::chrono::milliseconds kAnswer{200};

    void OnBytes(std::span<const std::uint8_t> bytes, Clock::time_point now);
    void OnFrame() { Reset(); }
    // The link has stopped sending frames.
    void Begin(Clock::time_point now);
    // The byte to write now, if any (a sync byte). Call until Done().
    std::optional<std::uint8_t> Step(Clock::time_point now);
    bool Done() const { return phase_ == Phase::Done; }
    bool BootLoaderFound() const { return found_; }
    // The link's frames were answered with NACK bytes.
    bool HeardNacks() const { return nacks_ >= kEnoughNacks && nacks_ * 2 >= heard_; }
    void Reset();

private:
    static constexpr std::size_t kEnoughNacks = 2;
    enum class Phase { Listening, Quiet, FirstSync, SecondSync, Done };

    void Finish(bool found);

    Phase phase_ = Phase::Listening;
    std::size_t nacks_ = 0, heard_ = 0;
    Clock::time_point begun_{}, lastByte_{}, sentAt_{};
    bool found_ = false;
};

// What the user is told when the probe found a boot loader: `board` is
// "controller" or "motor board", `port` the port's name ("COM201").
std::string BootLoaderWaitingSentence(std::string_view board, std::string_view port);

} // namespace qav
