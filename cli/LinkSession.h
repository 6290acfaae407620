#pragma once
// What the command-line tool's connections to both boards share: the port,
// and a plain loop that ticks the board's link engine every 20 ms and hands
// it the bytes that arrive in between.
#include "boards/Boards.h"
#include "platform/Notify.h"
#include "protocol/FrameIntake.h"
#include "protocol/FrameTransport.h"
#include "serial/SerialLink.h"
#include "upgrade/BootLoaderProbe.h"
#include "upgrade/FirmwareFile.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qav::cli {

inline constexpr std::chrono::milliseconds kLinkPeriod{20};
inline constexpr std::chrono::seconds kAnswerTimeout{3};

class LinkSession : public IFrameTransport
{
public:
    ~LinkSession() override;

    // Opens "COM<n>" or a device path and starts the link. A failure's
    // message is one sentence saying why.
    Result Open(std::string_view port);

    enum class Outcome { Done, NoAnswer, Stopped };
    // Ticks and dispatches until `done` holds (checked after every answer
    // and tick), until no valid answer came for `silence`, or until `stop`
    // (e.g. set by a signal handler) becomes true. Before it ends with
    // NoAnswer it stops sending frames and asks whether a boot loader waits
    // on the port (BootLoaderProbe).
    Outcome RunUntil(const std::function<bool()>& done, std::chrono::milliseconds silence,
                     const volatile std::sig_atomic_t* stop = nullptr);

    // After NoAnswer, what to tell the user: that the board sits in its boot
    // loader, that the line gave back only the frames sent, that the other
    // board answered there, or that nothing answered within the time-out.
    std::string NoAnswerSentence(std::string_view port) const;

    bool IsOpen() const override { return serial_.IsOpen(); }
    void WriteFrame(const Frame& frame) override;

protected:
    LinkSession();

    // The board's link engine, as the loop drives it.
    virtual void StartLink() = 0;
    virtual void TickLink() = 0;
    virtual void FeedLink(const std::uint8_t* bytes, std::uint32_t count) = 0;
    // How many valid answers the engine has taken so far.
    virtual std::uint32_t AnswersTaken() const = 0;
    // The engine's own frames heard back since its last answer.
    virtual std::uint32_t EchoesSinceAnswer() const = 0;
    // The board the session talks to.
    virtual BoardId Board() const = 0;
    // "controller", "motor board".
    std::string BoardWord() const { return std::string(BoardOf(Board()).device); }

private:
    // The probe's exchange once the frames have stopped; true when a boot
    // loader answered (or had answered the frames).
    bool ProbeBootLoader(const volatile std::sig_atomic_t* stop);
    // Once neither the board nor a boot loader answered: the other board
    // whose firmware answers its own (harmless) poll on the port, if any.
    std::optional<BoardId> OtherBoardAnswers();

    CSerialLink serial_;
    std::shared_ptr<NotifyQueue> queue_ = std::make_shared<NotifyQueue>();
    FrameIntake intake_;
    BootLoaderProbe probe_;
    bool bootLoader_ = false;
    bool onlyEchoes_ = false; // the silence was full of our own frames
    std::optional<BoardId> otherBoard_; // another board answered on the port
};

} // namespace qav::cli
