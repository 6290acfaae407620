#pragma once
// A connection to the main controller for the command-line tool: the same
// link engine as the GUI, driven by a plain loop that sends a frame every
// 20 ms and dispatches the answers as they arrive.
//
// Looking must not change the gimbal: unlike the GUI, opening the port and a
// lost link issue no motor-off command.
#include "platform/Notify.h"
#include "protocol/ControllerLink.h"
#include "protocol/FrameIntake.h"
#include "serial/SerialLink.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace qav::cli {

inline constexpr std::chrono::milliseconds kLinkPeriod{20};
inline constexpr std::chrono::seconds kAnswerTimeout{3};

class ControllerSession final : public IFrameTransport
{
public:
    ControllerSession(ControllerParams& params, IControllerEvents& events);
    ~ControllerSession() override;

    // Opens "COM<n>" or a device path and starts the link with a parameter
    // read-back. On failure `error` holds one sentence saying why.
    bool Open(std::string_view port, std::string& error);

    enum class Outcome { Done, NoAnswer, Stopped };
    // Ticks and dispatches until `done` holds (checked after every answer
    // and tick), until no valid answer came for `silence`, or until `stop`
    // (e.g. set by a signal handler) becomes true.
    Outcome RunUntil(const std::function<bool()>& done, std::chrono::milliseconds silence,
                     const volatile std::sig_atomic_t* stop = nullptr);

    ControllerLink& Link() { return link_; }

    bool IsOpen() const override { return serial_.IsOpen(); }
    void WriteFrame(const Frame& frame) override;

private:
    ControllerLink link_;
    CSerialLink serial_;
    std::shared_ptr<NotifyQueue> queue_ = std::make_shared<NotifyQueue>();
    FrameIntake intake_;
};

} // namespace qav::cli
