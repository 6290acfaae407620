#include "upgrade/BoardIdentity.h"

#include "motor/MotorProtocol.h"
#include "protocol/ControllerProtocol.h"
#include "protocol/SentFrames.h"

namespace qav {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

Frame BoardPoll(FirmwareBoard board)
{
    Frame frame{};
    if (board == FirmwareBoard::Controller)
        BuildFrame(ControllerLinkState{}, ControllerParams{}, frame);
    else
        EncodeMotorRequest(kMotorCmdMonitor, 0, MotorParams{}, frame);
    return frame;
}

BoardHeard IdentifyBoard(IBootLine& line, FirmwareBoard serves, IdentifyTiming timing)
{
    const FirmwareBoard other = OtherBoard(serves);
    FrameReceiver controller(kControllerHeader0, kControllerHeader1);
    FrameReceiver motor(kMotorHeader0, kMotorHeader1);
    // On a line that echoes, the first frame heard is our own poll.
    SentFrames sent;
    for (FirmwareBoard board : {serves, other}) {
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
            BoardHeard heard = BoardHeard::Nothing;
            controller.Feed(&b, 1, [&](const Frame& f) {
                if (!sent.IsEcho(f))
                    heard = BoardHeard::Controller;
            });
            motor.Feed(&b, 1, [&](const Frame& f) {
                if (!sent.IsEcho(f))
                    heard = BoardHeard::Motor;
            });
            if (heard != BoardHeard::Nothing)
                return heard;
        }
    }
    return BoardHeard::Nothing;
}

} // namespace qav
