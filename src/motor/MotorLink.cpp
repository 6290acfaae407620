#include "motor/MotorLink.h"

namespace qav {

MotorLink::MotorLink(MotorParams& params, IMotorEvents& events) : params_(params), events_(events) {}

void MotorLink::OnPortOpened()
{
    state_.motorConnected = false;
    state_.missCount = 0;
    state_.flashWriteFlag = 0;
    state_.command = kMotorCmdRead;
}

void MotorLink::BuildRequest(Frame& out) const
{
    EncodeMotorRequest(state_.command, state_.flashWriteFlag, params_, out);
}

void MotorLink::Tick()
{
    BuildRequest(tx_);
    if (transport_ && transport_->IsOpen()) {
        transport_->WriteFrame(tx_);
        sent_.Remember(tx_);
    }

    if (state_.missCount < kMissLimit) {
        ++state_.missCount;
        return;
    }
    if (state_.missCount == kMissLimit) {
        const bool wasConnected = state_.motorConnected;
        state_.missCount = kMissLimit + 1;
        state_.motorConnected = false;
        events_.OnMotorLost(wasConnected);
    }
    // Keep asking for the parameters until the board answers again. A
    // pending flash write stays pending: the next type 1 reply retries it.
    state_.flashWriteFlag = 0;
    state_.command = kMotorCmdRead;
}

void MotorLink::OnBytes(const std::uint8_t* bytes, std::size_t count)
{
    receiver_->Feed(bytes, count, [this](const Frame& f) { HandleReply(f); });
}

void MotorLink::HandleReply(const Frame& frame)
{
    // A request coming back would pass for a reply of its own type: a read
    // request for a report of zeros, a flash write for "stored".
    if (sent_.IsEcho(frame))
        return;
    ++repliesHandled_;
    const MotorReply reply = ParseMotorReply(frame);
    if (!state_.motorConnected) {
        state_.motorConnected = true;
        events_.OnMotorConnected();
    }
    state_.missCount = 0;

    if (reply.flashResult == kMotorFlashDone) {
        state_.flashWriteFlag = 0;
        state_.flashPending = false;
        events_.OnFlashResult(true);
    } else if (reply.flashResult == kMotorFlashFailed) {
        state_.flashWriteFlag = 0;
        events_.OnFlashResult(false);
    }

    if (!state_.lastVersion || *state_.lastVersion != reply.firmware) {
        events_.OnFirmwareVersion(reply.firmware);
        state_.lastVersion = reply.firmware;
    }

    switch (reply.type) {
    case kMotorCmdWrite:
        if (state_.flashPending)
            state_.flashWriteFlag = kMotorFlashStore;
        else
            state_.command = kMotorCmdMonitor;
        events_.OnParametersAccepted(state_.flashPending);
        break;
    case kMotorCmdRead:
        // A report while a write is being sent answers a read request sent
        // before it (a board answering late has several in flight): taken,
        // it would put the board's old values over those to be sent and
        // drop the write.
        if (state_.command == kMotorCmdWrite)
            break;
        params_.POL_MOTOR1 = reply.params.POL_MOTOR1;
        params_.POW_MOTOR1 = reply.params.POW_MOTOR1;
        params_.POL_MOTOR2 = reply.params.POL_MOTOR2;
        params_.POW_MOTOR2 = reply.params.POW_MOTOR2;
        state_.command = kMotorCmdMonitor;
        events_.OnParameterReport(reply.params);
        break;
    case kMotorCmdMonitor:
        events_.OnMonitor(reply.voltageRaw, reply.currentRaw);
        break;
    default:
        break;
    }
}

} // namespace qav
