#include "upgrade/BoardIdentity.h"

#include "protocol/SentFrames.h"

#include <vector>

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

BoardHeard IdentifyBoard(IBootLine& line, BoardId serves, IdentifyTiming timing)
{
    std::vector<FrameReceiver> receivers;
    std::vector<BoardId> order{serves};
    for (const BoardRow& row : Boards()) {
        receivers.emplace_back(row.header0, row.header1);
        if (row.id != serves)
            order.push_back(row.id);
    }
    // On a line that echoes, the first frame heard is our own poll.
    SentFrames sent;
    for (BoardId board : order) {
        const Frame poll = BoardPoll(board);
        const auto end = Clock::now() + timing.listen;
        auto nextPoll = Clock::now();
        for (auto now = Clock::now(); now < end; now = Clock::now()) {
            if (now >= nextPoll) {
                if (const PortIo io = line.Send(poll, timing.listen); io != PortIo::Ok)
                    return io == PortIo::Stopped ? BoardHeard::Stopped : BoardHeard::Gone;
                sent.Remember(poll);
                nextPoll += timing.repeat;
            }
            std::uint8_t b = 0;
            const PortIo io = line.Receive({&b, 1}, std::chrono::ceil<milliseconds>(std::min(end, nextPoll) - now));
            if (io == PortIo::TimedOut)
                continue;
            if (io != PortIo::Ok)
                return io == PortIo::Stopped ? BoardHeard::Stopped : BoardHeard::Gone;
            BoardHeard heard;
            for (std::size_t i = 0; i < receivers.size(); ++i)
                receivers[i].Feed(&b, 1, [&](const Frame& f) {
                    if (!sent.IsEcho(f))
                        heard = {BoardHeard::Answered, Boards()[i].id};
                });
            if (heard.what != BoardHeard::Nothing)
                return heard;
        }
    }
    return BoardHeard::Nothing;
}

} // namespace qav
