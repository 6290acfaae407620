#pragma once
// The controller link engine: what the PC does on each 20 ms tick and with
// each answer of the main controller. Shared by the GUI and the CLI; it
// opens nothing itself and words nothing: it writes frames to the transport
// it is handed and reports what happened to its listener, synchronously and
// in the order the effects must happen.
//
// Single-threaded: every call comes from the owner's thread.
#include "protocol/ControllerProtocol.h"
#include "protocol/ControllerResults.h"
#include "protocol/FrameTransport.h"
#include "protocol/SentFrames.h"
#include "protocol/TelemetryChannels.h"

#include <cstdint>

namespace qav {

class IControllerEvents
{
public:
    virtual ~IControllerEvents() = default;
    // The first echo of the counter after the link was not established. The
    // flag is already set.
    virtual void OnLinkEstablished() {}
    // The port was opened anew (the link state is fresh).
    virtual void OnPortOpened() {}
    // Byte 3 of an answer when it is 1 (on) or 3 (off).
    virtual void OnMotorState(std::uint8_t /*state*/) {}
    // A known result code arrived; the command code is already cleared and
    // the flash-write flag updated.
    virtual void OnCommandResult(const ControllerResult& /*result*/, std::uint8_t /*motorState*/) {}
    // The firmware version byte differs from the one shown last.
    virtual void OnFirmwareVersion(std::uint8_t /*tenths*/) {}
    // A parameter echo quarter (0x81..0x84) was decoded into the set.
    virtual void OnEchoDecoded(std::uint8_t /*type*/) {}
    // An upload quarter (1..4) was acknowledged.
    virtual void OnUploadAcknowledged(std::uint8_t /*type*/) {}
    // A telemetry answer: every channel it carried, the attitude (already
    // in the state) included.
    virtual void OnTelemetry(const ControllerTelemetry& /*t*/) {}
    // The 26th tick without an echo. Called while the link-established flag
    // still holds its old value; it is cleared right after.
    virtual void OnLinkLost() {}
};

class ControllerLink
{
public:
    static constexpr std::uint32_t kWatchdogLimit = 25;

    // `params` is the program-wide parameter set; it outlives the engine.
    ControllerLink(ControllerParams& params, IControllerEvents& events);

    void SetTransport(IFrameTransport* transport) { transport_ = transport; }
    // The command that opening the port and a lost link send: motor off for
    // the GUI, none for tools that must not change the gimbal.
    void SetReconnectCommand(std::uint8_t code) { reconnectCommand_ = code; }

    ControllerLinkState& State() { return state_; }
    const ControllerLinkState& State() const { return state_; }
    ControllerParams& Params() { return params_; }

    // After the port was (re)opened: a fresh counter and watchdog, then the
    // reconnect command with a parameter read-back.
    void OnPortOpened();
    // One link-timer tick: build and send a frame, then run the watchdog.
    void Tick();
    // Received bytes in arrival order; every valid frame is dispatched.
    void OnBytes(const std::uint8_t* bytes, std::size_t count);
    // A valid frame; the echo of a frame this link sent is counted and
    // otherwise ignored.
    void DispatchFrame(const Frame& frame);

    // Valid frames dispatched since construction (wrapping), echoes not
    // included; lets a caller tell that the controller is still answering.
    std::uint32_t FramesDispatched() const { return framesDispatched_; }
    // The link's own frames that came back (see SentFrames).
    const SentFrames& Sent() const { return sent_; }

    // The set the controller holds, as its read-back echoed it or its
    // acknowledgements took it since the port was opened, unlike the
    // parameter set, which also holds what was typed and not yet sent.
    // Null until every quarter has come one way or the other.
    const ControllerParams* BoardSet() const { return boardQuarters_ == 0xF ? &boardSet_ : nullptr; }

private:
    ControllerParams& params_;
    IControllerEvents& events_;
    IFrameTransport* transport_ = nullptr;
    std::uint8_t reconnectCommand_ = kCmdMotorOff;
    ControllerLinkState state_;
    // The pending type and selection of the last frame sent.
    std::uint8_t sentType_ = kTypePoll;
    std::uint32_t sentSelection_ = 0;
    FrameReceiver receiver_{kControllerHeader0, kControllerHeader1};
    Frame tx_{};
    SentFrames sent_;
    std::uint32_t framesDispatched_ = 0;
    ControllerParams boardSet_{};
    unsigned boardQuarters_ = 0; // a bit per quarter of boardSet_ known
};

} // namespace qav
