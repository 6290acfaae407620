#include "protocol/ControllerLink.h"

namespace qav {

ControllerLink::ControllerLink(ControllerParams& params, IControllerEvents& events)
    : params_(params), events_(events)
{
}

void ControllerLink::OnPortOpened()
{
    state_.linkEstablished = false;
    state_.watchdogCount = 0;
    state_.sequenceCounter = 0;
    state_.lastShownFirmware = 0;
    state_.commandCode = reconnectCommand_;
    state_.SelectFrameType(kTypeReadGains);
    // The board may have restarted while the port was closed.
    boardQuarters_ = 0;
    events_.OnPortOpened();
}

void ControllerLink::Tick()
{
    BuildFrame(state_, params_, tx_);
    if (transport_ && transport_->IsOpen()) {
        transport_->WriteFrame(tx_);
        sent_.Remember(tx_);
    }
    sentType_ = state_.pendingFrameType;
    sentSelection_ = state_.selections;

    if (state_.watchdogCount < kWatchdogLimit) {
        ++state_.watchdogCount;
        return;
    }
    if (state_.watchdogCount == kWatchdogLimit) {
        events_.OnLinkLost();
        state_.watchdogCount = kWatchdogLimit + 1;
        state_.linkEstablished = false;
    }
    // Keep asking until the controller answers again.
    state_.commandCode = reconnectCommand_;
    state_.SelectFrameType(kTypeReadGains);
}

void ControllerLink::OnBytes(const std::uint8_t* bytes, std::size_t count)
{
    receiver_.Feed(bytes, count, [this](const Frame& f) { DispatchFrame(f); });
}

void ControllerLink::DispatchFrame(const Frame& f)
{
    // Our own frame carries our counter and a read-back type: taken for an
    // answer it would establish the link and decode zeros into the set.
    if (sent_.IsEcho(f))
        return;
    ++framesDispatched_;
    if (f[ctl::kCounter] == state_.sequenceCounter) {
        ++state_.sequenceCounter;
        if (!state_.linkEstablished) {
            state_.linkEstablished = true;
            events_.OnLinkEstablished();
        }
        state_.watchdogCount = 0;
    }

    const std::uint8_t motorState = f[ctl::kMotorState];
    if (motorState == kMotorsOn || motorState == kMotorsOff)
        events_.OnMotorState(motorState);

    if (const ControllerResult* result = FindControllerResult(f[ctl::kCommand])) {
        state_.commandCode = kCmdNone;
        if (result->clearsFlashPending)
            state_.flashWritePending = false;
        events_.OnCommandResult(*result, motorState);
    }

    const ControllerTelemetry answer = DecodeTelemetry(f);
    state_.roll = static_cast<float>(answer.Value(kChannelRoll));
    state_.tilt = static_cast<float>(answer.Value(kChannelTilt));
    state_.pan = static_cast<float>(answer.Value(kChannelPan));

    const std::uint8_t firmware = f[ctl::kFirmware];
    if (firmware != state_.lastShownFirmware)
        events_.OnFirmwareVersion(firmware);
    state_.lastShownFirmware = firmware;

    const std::uint8_t type = f[ctl::kType];
    switch (type) {
    case kTypeGains:
    case kTypeDirections:
    case kTypeLimits:
    case kTypePan:
        // An upload quarter moves on only when the answer is to the quarter
        // now pending, sent since it was last chosen. An answer still in
        // flight from an earlier upload (or repeated by a late controller)
        // would otherwise skip quarters of a newer upload, or move on past
        // values edited after the frame went out, and they would never
        // reach the controller.
        if (type != state_.pendingFrameType || sentType_ != type || sentSelection_ != state_.selections)
            break;
        if (type == kTypePan) {
            state_.pendingFrameType = kTypePoll;
            if (state_.flashWritePending)
                state_.commandCode = kCmdWriteFlash;
        } else {
            state_.pendingFrameType = static_cast<std::uint8_t>(type + 1);
        }
        // The board took the quarter as the frame last sent carried it,
        // whatever the screen holds by now.
        ApplyUploadPayload(tx_, boardSet_);
        boardQuarters_ |= 1u << (type - kTypeGains);
        events_.OnUploadAcknowledged(type);
        break;
    case kTypeReadGains:
    case kTypeReadDirections:
    case kTypeReadLimits:
    case kTypeReadPan:
        // While an upload is pending, an echo answers a read-back request
        // sent before the upload was chosen (a controller answering in its
        // next cycle has one in flight): decoding it would overwrite the set
        // being uploaded and turn the chain back to the read-back, so that
        // the upload never happens.
        if (IsUploadType(state_.pendingFrameType))
            break;
        DecodeEchoPayload(f, params_);
        DecodeEchoPayload(f, boardSet_);
        boardQuarters_ |= 1u << (type - kTypeReadGains);
        state_.pendingFrameType = static_cast<std::uint8_t>(type == kTypeReadPan ? 0 : type + 1);
        events_.OnEchoDecoded(type);
        break;
    default:
        events_.OnTelemetry(answer);
        break;
    }
}

} // namespace qav
