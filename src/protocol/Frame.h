#pragma once
// What both device links share: the fixed 32-byte frame with a two-byte
// header, a CRC-16 of bytes 0 to 29 in bytes 30 (high) and 31 (low), and the
// byte-stream receiver that finds such frames.
#include <array>
#include <cstddef>
#include <cstdint>

namespace qav {

inline constexpr std::size_t kFrameSize = 32;
inline constexpr std::size_t kCrcCoveredBytes = 30;
using Frame = std::array<std::uint8_t, kFrameSize>;

// Writes the CRC of bytes 0 to 29 into bytes 30 and 31, high byte first.
void SealFrame(Frame& frame);
// True when bytes 30 and 31 hold the CRC of bytes 0 to 29.
bool FrameCrcMatches(const Frame& frame);

// Finds frames in a byte stream: hunting for the first header byte, then the
// second (a repeated first byte keeps waiting for the second), then 30 bytes
// taken blindly. A frame whose CRC fails is dropped and hunting resumes after
// it. The phase and fill position live as long as the receiver, so a frame
// cut off by closing a port is completed by the next bytes that arrive.
class FrameReceiver
{
public:
    FrameReceiver(std::uint8_t header0, std::uint8_t header1) : header0_(header0), header1_(header1) {}

    // Calls onFrame(const Frame&) once per valid frame, synchronously and in
    // order, before the next byte is looked at.
    template <class OnFrame> void Feed(const std::uint8_t* bytes, std::size_t count, OnFrame&& onFrame)
    {
        for (std::size_t i = 0; i < count; ++i) {
            if (!Step(bytes[i]))
                continue;
            if (FrameCrcMatches(frame_))
                onFrame(static_cast<const Frame&>(frame_));
            frame_.fill(0);
        }
    }

    enum class Phase { Hunting, HeaderSeen, Collecting };
    Phase phase() const { return phase_; }
    std::size_t fillPosition() const { return fill_; }

private:
    static constexpr std::size_t kFillStart = 2;

    // Returns true when a complete frame, checked or not, sits in frame_.
    bool Step(std::uint8_t b)
    {
        switch (phase_) {
        case Phase::Hunting:
            if (b == header0_)
                phase_ = Phase::HeaderSeen;
            return false;
        case Phase::HeaderSeen:
            if (b == header1_)
                phase_ = Phase::Collecting;
            else if (b != header0_)
                phase_ = Phase::Hunting;
            return false;
        case Phase::Collecting:
            frame_[fill_++] = b;
            if (fill_ < kFrameSize)
                return false;
            phase_ = Phase::Hunting;
            fill_ = kFillStart;
            frame_[0] = header0_;
            frame_[1] = header1_;
            return true;
        }
        return false;
    }

    std::uint8_t header0_;
    std::uint8_t header1_;
    Phase phase_ = Phase::Hunting;
    std::size_t fill_ = kFillStart;
    Frame frame_{};
};

} // namespace qav
