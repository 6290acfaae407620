#pragma once
// The last frames a link wrote, to tell its own frames coming back on a line
// that echoes (TX and RX bridged, a half-duplex or single-wire adapter) from
// the board's answers. Both boards use the header of their requests in their
// answers, so an echoed request passes the receiver like an answer: a
// controller read-back request would look like a parameter echo of zeros, a
// motor write request with the flash flag like a "stored" reply.
//
// A board's answer always differs from the request it answers (the
// controller puts its motor state and firmware version in, the motor board
// its firmware version), so a frame byte-identical to one of the last frames
// sent is an echo. Several are kept: on a slow line the echo of an earlier
// frame may arrive after a newer one went out.
//
// Single-threaded, like the engines that hold it.
#include "protocol/Frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace qav {

class SentFrames
{
public:
    // 16 ticks of a 20 ms link: far more than any adapter holds an echo back.
    static constexpr std::size_t kRemembered = 16;

    // A frame just written.
    void Remember(const Frame& frame);
    // Whether `received` is the echo of a remembered frame; an echo is
    // counted, any other frame ends the run of echoes since the last answer.
    bool IsEcho(const Frame& received);

    // Echoes since construction (wrapping).
    std::uint32_t Echoes() const { return echoes_; }
    // Echoes since the last frame that was not one: nonzero when the line
    // gave back what was sent and no board has answered since.
    std::uint32_t EchoesSinceAnswer() const { return echoesSinceAnswer_; }

private:
    std::array<Frame, kRemembered> frames_{};
    std::size_t next_ = 0;  // slot the next frame goes into
    std::size_t count_ = 0; // slots in use
    std::uint32_t echoes_ = 0;
    std::uint32_t echoesSinceAnswer_ = 0;
};

// What the user is told when a line gave back only what was sent: `port`
// is the port's name ("COM201").
std::string LineEchoesSentence(std::string_view port);

} // namespace qav
