#pragma once
// A connection to the motor driver board for the command-line tool: the same
// motor link engine as the dialog, driven by a plain loop that sends a
// request every 20 ms and handles the replies as they arrive.
#include "ControllerSession.h"
#include "motor/MotorLink.h"
#include "platform/Notify.h"
#include "protocol/FrameIntake.h"
#include "serial/SerialLink.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qav::cli {

class MotorSession final : public IFrameTransport
{
public:
    MotorSession(MotorParams& params, IMotorEvents& events);
    ~MotorSession() override;

    // Opens "COM<n>" or a device path and starts reading the board's
    // parameters. On failure `error` holds one sentence saying why.
    bool Open(std::string_view port, std::string& error);

    using Outcome = ControllerSession::Outcome;
    // Ticks and handles replies until `done` holds (checked after every
    // reply and tick), until no valid reply came for `silence`, or until
    // `stop` becomes true.
    Outcome RunUntil(const std::function<bool()>& done, std::chrono::milliseconds silence,
                     const volatile std::sig_atomic_t* stop = nullptr);

    MotorLink& Link() { return link_; }

    bool IsOpen() const override { return serial_.IsOpen(); }
    void WriteFrame(const Frame& frame) override;

private:
    MotorLink link_;
    CSerialLink serial_;
    std::shared_ptr<NotifyQueue> queue_ = std::make_shared<NotifyQueue>();
    FrameIntake intake_;
};

} // namespace qav::cli
