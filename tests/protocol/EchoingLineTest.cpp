// Both link engines on a line that gives back what the PC sends, with and
// without a board behind it, at once and late: an echo is never an answer,
// and a board behind the echo is served as on a clean line.
#include "ControllerModel.h"
#include "MotorBoardModel.h"
#include "motor/MotorLink.h"
#include "protocol/ControllerLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace qav {
namespace {

using namespace std::chrono_literals;

// The PC's end of the wire: each frame written comes back `echoLag` ticks
// later (none when negative), and the board's answer `answerLag` ticks later
// (no board when negative).
struct Wire : IFrameTransport
{
    int echoLag = -1, answerLag = -1;
    std::function<Frame(const Frame&)> board;
    int tick = 0;
    struct InFlight
    {
        int due;
        Frame frame;
    };
    std::vector<InFlight> inFlight; // in the order they entered the wire
    bool IsOpen() const override { return true; }
    void WriteFrame(const Frame& f) override
    {
        if (echoLag >= 0)
            inFlight.push_back({tick + echoLag, f});
        if (answerLag >= 0 && board)
            inFlight.push_back({tick + answerLag, board(f)});
    }
    template <class Link> void Deliver(Link& link)
    {
        std::vector<InFlight> later;
        for (const InFlight& f : inFlight) {
            if (f.due <= tick)
                link.OnBytes(f.frame.data(), f.frame.size());
            else
                later.push_back(f);
        }
        inFlight = std::move(later);
    }
    template <class Link> void Run(Link& link, int ticks)
    {
        for (int i = 0; i < ticks; ++i, ++tick) {
            link.Tick();
            Deliver(link);
        }
    }
};

struct LineRow
{
    const char* name;
    int echoLag;   // ticks; negative: no echo
    int answerLag; // ticks; negative: no board
};

const LineRow kLines[] = {
    {"echo_only", 0, -1},
    {"echo_only_late", 3, -1},
    {"board_behind_echo", 0, 0},
    {"board_100ms_behind_echo", 0, 5},
    {"late_echo_of_a_board_answering_next_tick", 4, 1},
    {"board_at_100ms_no_echo", -1, 5},
};

std::string RowName(const testing::TestParamInfo<LineRow>& info)
{
    return info.param.name;
}

bool HasBoard(const LineRow& row)
{
    return row.answerLag >= 0;
}

// ---- controller ---------------------------------------------------------------

struct ControllerLog : IControllerEvents
{
    std::vector<std::string> log;
    unsigned quarters = 0;
    const ControllerResult* result = nullptr;
    void OnLinkEstablished() override { log.push_back("established"); }
    void OnCommandResult(const ControllerResult& r, std::uint8_t) override
    {
        result = &r;
        log.push_back("result " + std::to_string(r.code));
    }
    void OnEchoDecoded(std::uint8_t t) override
    {
        quarters |= 1u << (t - kTypeReadGains);
        log.push_back("read " + std::to_string(t));
    }
    void OnUploadAcknowledged(std::uint8_t t) override { log.push_back("ack " + std::to_string(t)); }
    void OnLinkLost() override { log.push_back("lost"); }
};

class ControllerEchoTest : public testing::TestWithParam<LineRow>
{
protected:
    ControllerEchoTest() : link(params, events)
    {
        wire.echoLag = GetParam().echoLag;
        wire.answerLag = GetParam().answerLag;
        wire.board = [this](const Frame& request) {
            Frame answer{};
            now += 20ms;
            model.Answer(request, now, answer);
            return answer;
        };
        link.SetTransport(&wire);
        // What the PC held before: a read-back of zeros would wipe it.
        params.ROLL_TOTAL = 77, params.INIT_PITCH = 120, params.YAW_VEL = 9;
    }

    sim::Clock::time_point now{};
    sim::ControllerModel model{sim::ControllerModelConfig{}, now};
    ControllerParams params;
    ControllerLog events;
    Wire wire;
    ControllerLink link;
};

TEST_P(ControllerEchoTest, ReadsAndWritesOnlyWhatTheBoardAnswers)
{
    link.OnPortOpened();
    wire.Run(link, 60);
    if (!HasBoard(GetParam())) {
        // The 26th tick without an answer, nothing else: the echoed
        // read-back requests would be a set of zeros.
        EXPECT_EQ(events.log, std::vector<std::string>{"lost"});
        EXPECT_FALSE(link.State().linkEstablished);
        EXPECT_EQ(link.FramesDispatched(), 0u);
        EXPECT_GT(link.Sent().EchoesSinceAnswer(), 0u);
        EXPECT_EQ(params.ROLL_TOTAL, 77);
        EXPECT_EQ(params.INIT_PITCH, 120);
    } else {
        EXPECT_TRUE(link.State().linkEstablished);
        EXPECT_EQ(events.quarters, 0xFu);
        EXPECT_EQ(params.ROLL_TOTAL, model.Params().ROLL_TOTAL);
        EXPECT_EQ(params.INIT_PITCH, model.Params().INIT_PITCH);
        EXPECT_EQ(params.YAW_VEL, model.Params().YAW_VEL);
        EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "lost"), 0);
    }
    EXPECT_EQ(link.Sent().Echoes() != 0, GetParam().echoLag >= 0);

    // An upload to flash, within the watchdog's patience: the echo of each
    // quarter would acknowledge it.
    events.log.clear();
    const ControllerParams before = model.Params();
    link.OnPortOpened();
    link.State().commandCode = kCmdNone;
    params.ROLL_TOTAL = 55, params.INIT_ROLL = -40, params.DEFAULT_MODE = 2;
    link.State().flashWritePending = true;
    link.State().SelectFrameType(kTypeGains);
    wire.Run(link, HasBoard(GetParam()) ? 60 : int(ControllerLink::kWatchdogLimit) - 1);
    if (!HasBoard(GetParam())) {
        EXPECT_EQ(events.log, std::vector<std::string>{});
        EXPECT_EQ(events.result, nullptr);
        EXPECT_TRUE(link.State().flashWritePending);
        EXPECT_EQ(model.Params(), before); // never heard
    } else {
        EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "ack 4"), 1)
            << testing::PrintToString(events.log);
        ASSERT_NE(events.result, nullptr);
        EXPECT_EQ(events.result->code, kCmdWriteFlash);
        EXPECT_EQ(model.Params().ROLL_TOTAL, 55);
        EXPECT_EQ(model.Params().INIT_ROLL, -40);
        EXPECT_EQ(model.Params().DEFAULT_MODE, 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, ControllerEchoTest, testing::ValuesIn(kLines), RowName);

// ---- motor board ---------------------------------------------------------------

struct MotorLog : IMotorEvents
{
    std::vector<std::string> log;
    void OnMotorConnected() override { log.push_back("connected"); }
    void OnFlashResult(bool stored) override { log.push_back(stored ? "stored" : "not stored"); }
    void OnParametersAccepted(bool) override { log.push_back("accepted"); }
    void OnParameterReport(const MotorParams&) override { log.push_back("report"); }
    void OnMotorLost(bool wasConnected) override { log.push_back(wasConnected ? "lost" : "never connected"); }
};

std::array<std::uint8_t, 4> Four(const MotorParams& p)
{
    return {p.POL_MOTOR1, p.POW_MOTOR1, p.POL_MOTOR2, p.POW_MOTOR2};
}

class MotorEchoTest : public testing::TestWithParam<LineRow>
{
protected:
    MotorEchoTest() : link(params, events)
    {
        wire.echoLag = GetParam().echoLag;
        wire.answerLag = GetParam().answerLag;
        wire.board = [this](const Frame& request) {
            Frame answer{};
            now += 20ms;
            model.Answer(request, now, answer);
            return answer;
        };
        link.SetTransport(&wire);
        params.POL_MOTOR1 = 12, params.POW_MOTOR1 = 50, params.POL_MOTOR2 = 14, params.POW_MOTOR2 = 40;
    }

    std::chrono::steady_clock::time_point now{};
    sim::MotorBoardModel model{sim::MotorBoardConfig{}};
    MotorParams params;
    MotorLog events;
    Wire wire;
    MotorLink link;
};

TEST_P(MotorEchoTest, ReadsAndStoresOnlyWhatTheBoardAnswers)
{
    link.OnPortOpened();
    wire.Run(link, 40);
    if (!HasBoard(GetParam())) {
        // The echoed read request would be a report of zeros.
        EXPECT_EQ(events.log, std::vector<std::string>{"never connected"});
        EXPECT_EQ(Four(params), (std::array<std::uint8_t, 4>{12, 50, 14, 40}));
        EXPECT_EQ(link.RepliesHandled(), 0u);
        EXPECT_GT(link.Sent().EchoesSinceAnswer(), 0u);
    } else {
        // On a slow line each request sent before the first report is
        // answered with one.
        EXPECT_GE(std::count(events.log.begin(), events.log.end(), "report"), 1);
        EXPECT_EQ(Four(params), Four(model.Params()));
    }

    // A write with the flash flag, within the link's patience: the echoed
    // request carries the flag where a reply says "stored".
    events.log.clear();
    link.OnPortOpened();
    params.POL_MOTOR1 = 12, params.POW_MOTOR1 = 50, params.POL_MOTOR2 = 14, params.POW_MOTOR2 = 40;
    link.SetFlashPending();
    link.RequestCommand(kMotorCmdWrite);
    link.State().flashWriteFlag = kMotorFlashStore;
    wire.Run(link, HasBoard(GetParam()) ? 40 : MotorLink::kMissLimit - 1);
    if (!HasBoard(GetParam())) {
        EXPECT_EQ(events.log, std::vector<std::string>{});
        EXPECT_TRUE(link.State().flashPending);
        EXPECT_EQ(Four(model.Flash()), Four(sim::DefaultMotorParams())); // never heard
    } else {
        EXPECT_GE(std::count(events.log.begin(), events.log.end(), "stored"), 1)
            << testing::PrintToString(events.log);
        EXPECT_EQ(std::count(events.log.begin(), events.log.end(), "not stored"), 0);
        EXPECT_FALSE(link.State().flashPending);
        EXPECT_EQ(Four(model.Flash()), (std::array<std::uint8_t, 4>{12, 50, 14, 40}));
    }
    EXPECT_EQ(Four(params), (std::array<std::uint8_t, 4>{12, 50, 14, 40}));
}

INSTANTIATE_TEST_SUITE_P(Lines, MotorEchoTest, testing::ValuesIn(kLines), RowName);

// ---- the frames remembered ------------------------------------------------------

Frame Numbered(std::uint8_t n)
{
    Frame f{};
    f[0] = 0xAB, f[1] = 0xCD, f[2] = n;
    SealFrame(f);
    return f;
}

TEST(SentFrames, AFrameIsAnEchoWhileItIsAmongTheLastSent)
{
    SentFrames sent;
    EXPECT_FALSE(sent.IsEcho(Numbered(0))); // nothing sent yet
    for (std::uint8_t n = 0; n < SentFrames::kRemembered + 3; ++n)
        sent.Remember(Numbered(n));
    // The oldest three have been forgotten; the others come back in any order.
    const struct
    {
        std::uint8_t n;
        bool echo;
    } rows[] = {{0, false}, {2, false},  {3, true}, {SentFrames::kRemembered + 2, true},
                {7, true},  {200, false}};
    std::uint32_t echoes = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.n));
        EXPECT_EQ(sent.IsEcho(Numbered(row.n)), row.echo);
        echoes += row.echo;
        EXPECT_EQ(sent.Echoes(), echoes);
    }
    // The last frame was an answer: the run of echoes since one is over.
    EXPECT_EQ(sent.EchoesSinceAnswer(), 0u);
    EXPECT_TRUE(sent.IsEcho(Numbered(5)));
    EXPECT_TRUE(sent.IsEcho(Numbered(5)));
    EXPECT_EQ(sent.EchoesSinceAnswer(), 2u);
    EXPECT_EQ(LineEchoesSentence("COM201"), "COM201 echoes what is sent: check the wiring");
}

} // namespace
} // namespace qav
