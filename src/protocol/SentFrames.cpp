#include "protocol/SentFrames.h"

#include <algorithm>

namespace qav {

void SentFrames::Remember(const Frame& frame)
{
    frames_[next_] = frame;
    next_ = (next_ + 1) % kRemembered;
    count_ = std::min(count_ + 1, kRemembered);
}

bool SentFrames::IsEcho(const Frame& received)
{
    const bool echo = std::any_of(frames_.begin(), frames_.begin() + static_cast<std::ptrdiff_t>(count_),
                                  [&](const Frame& sent) { return sent == received; });
    if (echo) {
        ++echoes_;
        ++echoesSinceAnswer_;
    } else {
        echoesSinceAnswer_ = 0;
    }
    return echo;
}

std::string LineEchoesSentence(std::string_view port)
{
    return std::string(port) + " echoes what is sent: check the wiring";
}

} // namespace qav
