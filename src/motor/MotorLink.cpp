#include "motor/MotorLink.h"

namespace qav {

MotorLink::MotorLink(MotorParams& params, IMotorEvents& events) : params_(params), events_(events) {}

void MotorLink::OnPortOpened()
{
    state_.motorConnected = false;
    state_.missCount = 0;
    state_.flashWriteFlag = 0;
    state_.command = kMotorCmdRead;
    // The board may have restarted while the port was closed.
    boardSet_.reset();
}

void MotorLink::RequestCommand(std::uint8_t code)
{
    state_.command = code;
    if (code == kMotorCmdWrite)
        writeSent_ = false;
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
    if (state_.command == kMotorCmdWrite)
        writeSent_ = true;

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

    // The board answers every request, so the answers to requests sent
    // before the command changed still arrive after it: an acceptance counts
    // only once the write now chosen has gone out, and a parameter report
    // only while the parameters are asked for. A late report would
    // otherwise put the board's old values over what the user typed since.
    const bool accepted = reply.type == kMotorCmdWrite && state_.command == kMotorCmdWrite && writeSent_;
    if (accepted) {
        // The board holds what the request last sent carried; flash too,
        // when this answer says it stored them.
        MotorParams held = params_;
        TakeFields(MotorParamsLayout(), tx_, held);
        boardSet_ = held;
    }

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
        if (!accepted)
            break;
        if (state_.flashPending)
            state_.flashWriteFlag = kMotorFlashStore;
        else
            state_.command = kMotorCmdMonitor;
        events_.OnParametersAccepted(state_.flashPending);
        break;
    case kMotorCmdRead:
        if (state_.command != kMotorCmdRead)
            break;
        params_.POL_MOTOR1 = reply.params.POL_MOTOR1;
        params_.POW_MOTOR1 = reply.params.POW_MOTOR1;
        params_.POL_MOTOR2 = reply.params.POL_MOTOR2;
        params_.POW_MOTOR2 = reply.params.POW_MOTOR2;
        boardSet_ = params_;
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
