#pragma once
// The motor link engine: what the PC does on each 20 ms tick and with each
// reply of the motor driver board. Shared by the motor dialog and the CLI;
// it opens nothing itself and words nothing: it writes requests to the
// transport it is handed and reports what happened to its listener,
// synchronously and in the order the effects must happen.
//
// The command follows three states: Reading (17) until a parameter report,
// Monitoring (33), and Writing (1; with the flash flag while a flash write is
// pending) until the board's type 1 reply. A lost link goes back to Reading.
//
// Single-threaded: every call comes from the owner's thread.
#include "motor/MotorProtocol.h"
#include "protocol/FrameTransport.h"
#include "protocol/SentFrames.h"

#include <cstdint>
#include <optional>

namespace qav {

struct MotorLinkState
{
    std::uint8_t command = kMotorCmdRead;
    std::uint8_t flashWriteFlag = 0; // byte 2 of the next request
    bool flashPending = false;       // a flash write was asked for and not yet confirmed
    int missCount = 0;               // ticks since the last valid reply, 0 to 26
    bool motorConnected = false;
    std::optional<std::uint8_t> lastVersion; // firmware version byte last reported
};

class IMotorEvents
{
public:
    virtual ~IMotorEvents() = default;
    // The first valid reply since the port was opened or the link was lost.
    // The flag is already set.
    virtual void OnMotorConnected() {}
    // Byte 2 of a reply was 1 (stored) or 0x81 (storing failed). The flags
    // are already updated: pending is cleared only on success.
    virtual void OnFlashResult(bool /*stored*/) {}
    // The firmware version byte (tenths) differs from the one reported last.
    virtual void OnFirmwareVersion(std::uint8_t /*tenths*/) {}
    // A type 1 reply: the board took the parameters. `flashNext` tells that
    // the next request repeats them with the flash flag.
    virtual void OnParametersAccepted(bool /*flashNext*/) {}
    // A parameter report: `reported` holds bytes 6 to 9 as they came; they
    // are already in the parameter set and the command is already 33. Only
    // called while the parameters are asked for: a report that comes later
    // answers an earlier read request.
    virtual void OnParameterReport(const MotorParams& /*reported*/) {}
    // A monitor report, raw values (see kMotorVoltsPerUnit, kMotorAmpsPerUnit).
    virtual void OnMonitor(std::uint16_t /*voltageRaw*/, std::uint16_t /*currentRaw*/) {}
    // The 26th tick without a valid reply. `wasConnected` tells whether a
    // reply had been seen; the connected flag is already cleared.
    virtual void OnMotorLost(bool /*wasConnected*/) {}
};

class MotorLink
{
public:
    // Ticks without a reply that still leave the link up.
    static constexpr int kMissLimit = 25;

    // `params` is the program-wide motor parameter set; it outlives the
    // engine. The engine uses a receiver of its own unless UseReceiver
    // hands it another (one that must outlive the engine).
    MotorLink(MotorParams& params, IMotorEvents& events);

    void SetTransport(IFrameTransport* transport) { transport_ = transport; }
    // Receiver phase and fill position may outlive the engine (the dialog's
    // engine is made afresh on every opening, its receiver is not).
    void UseReceiver(FrameReceiver& receiver) { receiver_ = &receiver; }

    MotorLinkState& State() { return state_; }
    const MotorLinkState& State() const { return state_; }
    MotorParams& Params() { return params_; }

    // After the port was (re)opened: not connected, no misses, no flash
    // flag, reading the parameters. Flash pending is kept.
    void OnPortOpened();
    // Sets the command of the next request (1 to send the parameters, 17 to
    // read them).
    void RequestCommand(std::uint8_t code);
    // Marks a write to flash as wanted; the caller then requests command 1.
    void SetFlashPending() { state_.flashPending = true; }

    // One timer tick: builds the request, writes it if the port is open,
    // then counts the miss (and declares the link lost on the 26th).
    void Tick();
    // Received bytes in arrival order; every valid reply is handled.
    void OnBytes(const std::uint8_t* bytes, std::size_t count);
    // A valid frame; the echo of a request this link sent is counted and
    // otherwise ignored.
    void HandleReply(const Frame& frame);

    // The request the next tick sends.
    void BuildRequest(Frame& out) const;

    // Valid replies handled since construction (wrapping), echoes not
    // included.
    std::uint32_t RepliesHandled() const { return repliesHandled_; }
    // The link's own requests that came back (see SentFrames).
    const SentFrames& Sent() const { return sent_; }

    // The four parameters the board holds, as it reported them or took them
    // in a write since the port was opened (the directions, which never
    // travel, as the parameter set holds them then); nothing until then.
    // Unlike the parameter set, never what was typed and not yet sent.
    const std::optional<MotorParams>& BoardSet() const { return boardSet_; }

private:
    MotorParams& params_;
    IMotorEvents& events_;
    IFrameTransport* transport_ = nullptr;
    MotorLinkState state_;
    FrameReceiver ownReceiver_{kMotorHeader0, kMotorHeader1};
    FrameReceiver* receiver_ = &ownReceiver_;
    Frame tx_{};
    SentFrames sent_;
    std::uint32_t repliesHandled_ = 0;
    bool writeSent_ = false; // a write request went out since the write was chosen
    std::optional<MotorParams> boardSet_;
};

} // namespace qav
