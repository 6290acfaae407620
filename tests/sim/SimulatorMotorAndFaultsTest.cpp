// The simulated motor board, the fault options and the program's front end,
// over real pseudo-terminals with the project's own serial link.
#include "SimClient.h"
#include "SimOptions.h"
#include "Simulator.h"

#include "motor/MotorProtocol.h"
#include "platform/PortMap.h"
#include "protocol/ControllerProtocol.h"
#include "support/ScopedPortsDir.h"
#include "support/TempDir.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace qav {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::DeviceKind;
using sim::Simulator;
using sim::SimulatorConfig;
using test::SimClient;

constexpr int kControllerCom = 311;
constexpr int kMotorCom = 312;

Frame MotorRequest(std::uint8_t command, std::uint8_t flash = 0, const MotorParams& p = {})
{
    Frame f;
    EncodeMotorRequest(command, flash, p, f);
    return f;
}

Frame Poll(std::uint8_t counter, std::uint8_t command = kCmdNone)
{
    ControllerLinkState link;
    link.sequenceCounter = counter;
    link.commandCode = command;
    Frame f;
    BuildFrame(link, ControllerParams{}, f);
    return f;
}

class SimDevices : public testing::Test
{
protected:
    void Start(bool openClients = true)
    {
        config_.controllerCom = kControllerCom;
        config_.motorCom = kMotorCom;
        sim_ = std::make_unique<Simulator>(config_);
        const Result started = sim_->Start();
        ASSERT_TRUE(started) << started.message;
        if (!openClients)
            return;
        const Result controllerOpened = controller_.Open(kControllerCom);
        ASSERT_TRUE(controllerOpened) << controllerOpened.message;
        const Result motorOpened = motor_.Open(kMotorCom);
        ASSERT_TRUE(motorOpened) << motorOpened.message;
    }
    void TearDown() override
    {
        controller_.Close();
        motor_.Close();
        sim_.reset();
    }
    // Waits until the simulated devices' state satisfies `condition`.
    bool Settled(const std::function<bool()>& condition)
    {
        return sim_->WaitUntil(condition, test::kPatience);
    }

    test::ScopedPortsDir ports_;
    SimulatorConfig config_;
    std::unique_ptr<Simulator> sim_;
    SimClient controller_{kControllerHeader0, kControllerHeader1};
    SimClient motor_{kMotorHeader0, kMotorHeader1};
};

TEST_F(SimDevices, MotorBoardReportsItsParametersAndSupply)
{
    Start();
    auto f = motor_.Exchange(MotorRequest(kMotorCmdRead));
    ASSERT_TRUE(f);
    MotorReply r = ParseMotorReply(*f);
    EXPECT_EQ(r.type, kMotorCmdRead);
    EXPECT_EQ(r.firmware, 15);
    EXPECT_EQ(r.flashResult, 0);
    EXPECT_EQ(r.params, (MotorParams{14, 80, 14, 60, 0, 0}));

    std::set<std::uint16_t> currents;
    for (int i = 0; i < 10; ++i) {
        f = motor_.Exchange(MotorRequest(kMotorCmdMonitor));
        ASSERT_TRUE(f);
        r = ParseMotorReply(*f);
        EXPECT_EQ(r.type, kMotorCmdMonitor);
        EXPECT_NEAR(r.Volts(), 11.7, 0.2);
        EXPECT_GE(r.Amps(), 0.5 - kMotorAmpsPerUnit);
        EXPECT_LE(r.Amps(), 2.0 + kMotorAmpsPerUnit);
        currents.insert(r.currentRaw);
    }
    EXPECT_GT(currents.size(), 1u) << "the readings are noisy";

    // Commands outside the board's set get an empty reply of their own type.
    f = motor_.Exchange(MotorRequest(kMotorCmdRead2));
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).type, kMotorCmdRead2);
    EXPECT_EQ((*f)[6], 0);
}

TEST_F(SimDevices, MotorBoardStoresThenFlashesInTwoSteps)
{
    config_.faults.refuseFlashWrites = 1;
    Start();
    const MotorParams wanted{10, 50, 12, 40, 0, 0};
    auto f = motor_.Exchange(MotorRequest(kMotorCmdWrite, 0, wanted));
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).type, kMotorCmdWrite);
    EXPECT_EQ(ParseMotorReply(*f).flashResult, 0);
    EXPECT_EQ(sim_->MotorWorkingParams().POW_MOTOR2, 40);
    EXPECT_EQ(sim_->MotorFlashParams().POW_MOTOR2, 60);

    f = motor_.Exchange(MotorRequest(kMotorCmdWrite, kMotorFlashStore, wanted));
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).flashResult, kMotorFlashFailed);
    EXPECT_EQ(sim_->MotorFlashParams().POW_MOTOR2, 60);
    f = motor_.Exchange(MotorRequest(kMotorCmdWrite, kMotorFlashStore, wanted));
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).type, kMotorCmdWrite);
    EXPECT_EQ(ParseMotorReply(*f).flashResult, kMotorFlashDone);
    EXPECT_EQ(sim_->MotorFlashParams().POW_MOTOR2, 40);

    f = motor_.Exchange(MotorRequest(kMotorCmdRead));
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).params.POL_MOTOR2, 12);
}

TEST_F(SimDevices, MotorFlashFileOutlivesARestart)
{
    test::TempDir dir;
    config_.motorFlashPath = dir.File("motor.bmc");
    Start();
    const MotorParams wanted{20, 30, 40, 50, 0, 0};
    ASSERT_TRUE(motor_.Exchange(MotorRequest(kMotorCmdWrite, kMotorFlashStore, wanted)));
    EXPECT_EQ(test::ReadWholeFile(config_.motorFlashPath),
              "[MOTOR_PARAMETERS]\nPOL_MOTOR1=20\nPOW_MOTOR1=30\nPOL_MOTOR2=40\nPOW_MOTOR2=50\n");
    motor_.Close();
    controller_.Close();
    sim_.reset();

    Start();
    auto f = motor_.Exchange(MotorRequest(kMotorCmdRead));
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).params, wanted);

    // A flash file that cannot be read keeps the simulator from starting.
    motor_.Close();
    controller_.Close();
    sim_.reset();
    config_.motorFlashPath = dir.path().string();
    Simulator refused(config_);
    const Result started = refused.Start();
    EXPECT_FALSE(started);
    EXPECT_NE(started.message.find("motor flash"), std::string::npos) << started.message;
}

TEST_F(SimDevices, DroppedAnswersLeaveTheRequestCarriedOut)
{
    config_.faults.drop = 1.0;
    Start();
    controller_.Send(Poll(0, kCmdCalibrate));
    motor_.Send(MotorRequest(kMotorCmdWrite, 0, MotorParams{1, 2, 3, 4, 0, 0}));
    // Both heard and carried out; neither answer went out.
    ASSERT_TRUE(Settled([&] {
        return sim_->Stats(DeviceKind::Controller).answersDropped == 1 &&
               sim_->Stats(DeviceKind::Motor).answersDropped == 1;
    }));
    EXPECT_EQ(sim_->Stats(DeviceKind::Controller).answersSent, 0u);
    EXPECT_EQ(sim_->Stats(DeviceKind::Motor).answersSent, 0u);
    EXPECT_EQ(sim_->MotorWorkingParams().POW_MOTOR2, 4);
}

TEST_F(SimDevices, HalfTheAnswersLostCostsNothing)
{
    config_.faults.drop = 0.5;
    config_.faults.refuseFlashWrites = 1;
    Start();
    // The write runs once, on its first frame: every answer that gets
    // through reports that one refusal, none a later success.
    std::uint64_t results = 0;
    for (std::uint64_t i = 1; i <= 12; ++i) {
        controller_.Send(Poll(0, kCmdWriteFlash));
        ASSERT_TRUE(Settled([&] { return sim_->Stats(DeviceKind::Controller).framesReceived == i; }));
        if (sim_->Stats(DeviceKind::Controller).answersSent == results)
            continue; // dropped
        const auto f = controller_.Next();
        ASSERT_TRUE(f);
        EXPECT_EQ((*f)[ctl::kCommand], kCmdWriteFlash | kResultFailed);
        ++results;
    }
    EXPECT_GT(results, 0u);
    EXPECT_LT(results, 12u);
    EXPECT_EQ(sim_->Stats(DeviceKind::Controller).answersDropped, 12 - results);
}

TEST_F(SimDevices, CorruptAnswersFailTheCrc)
{
    config_.faults.corrupt = 1.0;
    Start();
    for (std::size_t i = 1; i <= 5; ++i) {
        controller_.Send(Poll(0));
        motor_.Send(MotorRequest(kMotorCmdRead));
        // Every answer arrives whole, and none is a valid frame.
        ASSERT_TRUE(controller_.ReceiveUntil(i * kFrameSize));
        ASSERT_TRUE(motor_.ReceiveUntil(i * kFrameSize));
        EXPECT_EQ(controller_.FramesWaiting(), 0u);
        EXPECT_EQ(motor_.FramesWaiting(), 0u);
    }
    EXPECT_EQ(controller_.BytesReceived(), 5 * kFrameSize);
    EXPECT_EQ(motor_.BytesReceived(), 5 * kFrameSize);
}

TEST_F(SimDevices, GarbageBetweenFramesIsSkipped)
{
    config_.faults.garbage = 1.0;
    Start();
    for (int i = 0; i < 10; ++i) {
        const auto f = controller_.Exchange(Poll(static_cast<std::uint8_t>(i)));
        ASSERT_TRUE(f);
        EXPECT_EQ((*f)[ctl::kCounter], i);
        ASSERT_TRUE(motor_.Exchange(MotorRequest(kMotorCmdRead)));
    }
    EXPECT_GT(controller_.BytesReceived(), 10 * kFrameSize);
    EXPECT_GT(motor_.BytesReceived(), 10 * kFrameSize);
    EXPECT_EQ(sim_->Stats(DeviceKind::Controller).garbageBursts, 10u);
}

TEST_F(SimDevices, NothingHeardWhileSilentIsAnsweredLater)
{
    Start();
    // Silent until told: a request heard meanwhile is never answered.
    sim_->FallSilent(DeviceKind::Controller);
    controller_.Send(Poll(7));
    ASSERT_TRUE(Settled([&] { return sim_->Stats(DeviceKind::Controller).bytesUnheard == kFrameSize; }));
    sim_->EndSilence(DeviceKind::Controller);
    const auto f = controller_.Until([] { return Poll(8); }, [](const Frame&) { return true; });
    ASSERT_TRUE(f);
    EXPECT_EQ((*f)[ctl::kCounter], 8);
    // The motor board the same, the controller meanwhile answering.
    sim_->FallSilent(DeviceKind::Motor);
    motor_.Send(MotorRequest(kMotorCmdRead));
    ASSERT_TRUE(Settled([&] { return sim_->Stats(DeviceKind::Motor).bytesUnheard == kFrameSize; }));
    EXPECT_TRUE(controller_.Exchange(Poll(9)));
    sim_->EndSilence(DeviceKind::Motor);
    EXPECT_TRUE(motor_.Until([] { return MotorRequest(kMotorCmdRead); }, [](const Frame&) { return true; }));
    EXPECT_EQ(sim_->Stats(DeviceKind::Motor).bytesUnheard, kFrameSize);
}

// A line that echoes gives back each request whole and ahead of its answer
// (also one held back by an answer delay); with no board behind, only the
// echo comes, on both devices.
TEST_F(SimDevices, AnEchoingLineGivesBackEveryRequestWithOrWithoutAnAnswer)
{
    const struct
    {
        const char* name;
        bool echo, echoOnly;
        std::chrono::milliseconds delay;
    } rows[] = {
        {"echo", true, false, 0ms},
        {"echo, answers 100 ms late", true, false, 100ms},
        {"echo only", false, true, 0ms},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        config_.faults.echo = row.echo;
        config_.faults.echoOnly = row.echoOnly;
        config_.faults.answerDelay = row.delay;
        Start();
        const auto heard = [&](DeviceKind kind) {
            const sim::SimDeviceStats s = sim_->Stats(kind);
            return s.bytesEchoed == kFrameSize &&
                   (row.echoOnly ? s.bytesUnheard : s.framesReceived * kFrameSize) == kFrameSize;
        };
        for (auto [client, request, kind] :
             {std::tuple{&controller_, Poll(5), DeviceKind::Controller},
              std::tuple{&motor_, MotorRequest(kMotorCmdRead), DeviceKind::Motor}}) {
            client->Send(request);
            EXPECT_EQ(client->Next(), request);
            if (!row.echoOnly) {
                const auto answer = client->Next();
                ASSERT_TRUE(answer);
                EXPECT_NE(*answer, request);
            }
            ASSERT_TRUE(Settled([&] { return heard(kind); }));
            EXPECT_EQ(sim_->Stats(kind).answersSent, row.echoOnly ? 0u : 1u);
        }
        TearDown();
    }
}

TEST_F(SimDevices, ScheduledSilenceEndsByItself)
{
    config_.faults.silenceAfter = 0ms;
    config_.faults.silenceFor = 300ms;
    Start();
    // Each request with a counter of its own, until one is answered: what
    // was heard while silent never is, later or not.
    std::uint8_t counter = 0;
    const auto f = controller_.Until([&] { return Poll(counter++); }, [](const Frame&) { return true; });
    ASSERT_TRUE(f);
    const std::uint8_t first = (*f)[ctl::kCounter];
    EXPECT_EQ(sim_->Stats(DeviceKind::Controller).bytesUnheard, first * kFrameSize);
    while (const auto later = controller_.Next(0ms))
        EXPECT_GT((*later)[ctl::kCounter], first);
}

TEST_F(SimDevices, UnplugHangsUpThenComesBackUnderTheSameName)
{
    Start();
    ASSERT_TRUE(motor_.Exchange(MotorRequest(kMotorCmdWrite, 0, MotorParams{9, 9, 9, 9, 0, 0})));
    // Gone until plugged in again.
    sim_->Unplug(DeviceKind::Motor);

    // The client's line goes dead and the name disappears.
    ASSERT_TRUE(Settled([] { return !IsAliasLive(kMotorCom); }));
    EXPECT_TRUE(test::PollUntil([&] { return motor_.Link().FarSideGone(); }));
    EXPECT_TRUE(sim_->DevicePath(DeviceKind::Motor).empty());

    // Back under the same COM name, as after a power cycle.
    sim_->PlugIn(DeviceKind::Motor);
    ASSERT_TRUE(Settled([] { return IsAliasLive(kMotorCom); }));
    EXPECT_EQ(AliasTarget(kMotorCom).value_or(""), sim_->DevicePath(DeviceKind::Motor));
    motor_.Close();
    const Result opened = motor_.Open(kMotorCom);
    ASSERT_TRUE(opened) << opened.message;
    const auto f =
        motor_.Until([] { return MotorRequest(kMotorCmdRead); }, [](const Frame&) { return true; });
    ASSERT_TRUE(f);
    EXPECT_EQ(ParseMotorReply(*f).params.POL_MOTOR1, 14) << "unflashed values are gone";
    EXPECT_EQ(sim_->Stats(DeviceKind::Motor).plugs, 2u);
    // The controller was never touched.
    EXPECT_TRUE(controller_.Exchange(Poll(0)));
}

TEST_F(SimDevices, ScheduledUnplugComesBack)
{
    config_.faults.unplugAfter = 0ms;
    config_.faults.unplugFor = 200ms;
    Start(false); // the device is gone at once, before a client could open it
    ASSERT_TRUE(Settled([&] { return sim_->Stats(DeviceKind::Controller).plugs == 2; }));
    ASSERT_TRUE(controller_.Open(kControllerCom));
    EXPECT_TRUE(controller_.Until([] { return Poll(0); }, [](const Frame&) { return true; }));
}

TEST_F(SimDevices, PacedOutputTakesAtLeastTheLineTime)
{
    config_.paceOutput = true;
    Start();
    constexpr int kRequests = 20;
    const auto start = Clock::now();
    for (int i = 0; i < kRequests; ++i)
        controller_.Send(Poll(static_cast<std::uint8_t>(i)));
    int answers = 0;
    while (answers < kRequests) {
        const auto f = controller_.Next();
        ASSERT_TRUE(f) << "after " << answers << " answers";
        EXPECT_EQ((*f)[ctl::kCounter], answers);
        ++answers;
    }
    // A lower bound only: twenty frames of 32 bytes at 86.8 us a byte, less
    // the first byte, which an idle line lets out as soon as it is ready.
    EXPECT_GE(Clock::now() - start, (kRequests * kFrameSize - 1) * sim::kUartByteTime);
}

TEST_F(SimDevices, DelayedAnswersComeInOrderNoSoonerThanTheDelay)
{
    config_.faults.answerDelay = 30ms;
    Start();
    constexpr int kRequests = 5;
    std::vector<Clock::time_point> sent;
    for (int i = 0; i < kRequests; ++i) {
        sent.push_back(Clock::now());
        controller_.Send(Poll(static_cast<std::uint8_t>(i)));
    }
    for (int i = 0; i < kRequests; ++i) {
        const auto f = controller_.Next();
        ASSERT_TRUE(f) << "after " << i << " answers";
        EXPECT_EQ((*f)[ctl::kCounter], i);
        // A lower bound only: the answer left the device no sooner.
        EXPECT_GE(Clock::now() - sent[static_cast<std::size_t>(i)], 30ms);
    }
}

TEST_F(SimDevices, StopEndsPromptlyAndRemovesTheAliases)
{
    Start();
    ASSERT_TRUE(IsAliasLive(kControllerCom));
    ASSERT_TRUE(IsAliasLive(kMotorCom));
    sim_->Stop();
    EXPECT_FALSE(AliasTarget(kControllerCom));
    EXPECT_FALSE(AliasTarget(kMotorCom));
}

// The program's front end.

int RunSim(const std::vector<std::string>& args, std::string* errText = nullptr)
{
    std::ostringstream out, err;
    const int code = sim::RunSimulator(args, out, err, [] {});
    if (errText)
        *errText = err.str();
    return code;
}

TEST(SimFrontEnd, BadOptionsGiveOneLineAndExitCodeOne)
{
    test::ScopedPortsDir ports;
    const std::vector<std::vector<std::string>> rows = {
        {},
        {"--controller"},
        {"--controller", "COM0"},
        {"--controller", "COM1025"},
        {"--controller", "ttyUSB0"},
        {"--controller", "COM5", "--motor", "COM5"},
        {"--controller", "COM5", "--drop", "1.5"},
        {"--controller", "COM5", "--corrupt", "x"},
        {"--controller", "COM5", "--silence", "100"},
        {"--controller", "COM5", "--unplug", "a:b"},
        {"--controller", "COM5", "--refuse-flash", "-1"},
        {"--controller", "COM5", "--firmware", "256"},
        {"--controller", "COM5", "--pace=1"},
        {"--controller", "COM5", "--answer-delay", "x"},
        {"--controller", "COM5", "--answer-delay", "10001"},
        {"--controller", "COM5", "--version=2"},
        {"--controller", "COM5", "--frobnicate"},
        {"--controller", "COM5", "--flash", ports.Scratch()},
        {"--motor", "COM5", "--motor-flash", ports.Scratch()},
        {"--motor", "COM5", "--motor-flash", ""},
        {"--controller", "COM5", "--boot-refuse-write", "0"},
        {"--controller", "COM5", "--boot-refuse-write", "3:0"},
        {"--controller", "COM5", "--boot-corrupt-read", "x"},
        {"--controller", "COM5", "--boot-silent-after", "-1"},
        {"--controller", "COM5", "--boot-deaf=1"},
        {"--controller", "COM5", "--chip", "0x999"},
        {"--controller", "COM5", "--chip", "410x"},
        {"--motor", "COM5", "--motor-chip", ""},
    };
    for (const auto& args : rows) {
        std::string err;
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(RunSim(args, &err), 1) << joined;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << joined << ": " << err;
        EXPECT_EQ(err.rfind("qav-nuva-sim: ", 0), 0u) << err;
    }
    EXPECT_EQ(RunSim({"--help"}), 0);
    std::ostringstream out, err;
    EXPECT_EQ(sim::RunSimulator({"--version"}, out, err, [] {}), 0);
    EXPECT_EQ(out.str(), std::string("qav-nuva-sim ") + QAV_VERSION + "\n");
}

TEST(SimFrontEnd, BootLoaderFaultOptions)
{
    struct Case
    {
        std::vector<std::string> args;
        sim::BootFaults expected;
    };
    const auto faults = [](int refuse, int count, int corrupt, long silent, bool deaf) {
        sim::BootFaults f;
        f.refuseWrite = refuse, f.refuseWriteCount = count, f.corruptRead = corrupt, f.silentAfter = silent,
        f.deaf = deaf;
        return f;
    };
    const std::vector<Case> cases{
        {{}, faults(0, 1, 0, -1, false)},
        {{"--boot-refuse-write", "7"}, faults(7, 1, 0, -1, false)},
        {{"--boot-refuse-write=7:4"}, faults(7, 4, 0, -1, false)},
        {{"--boot-corrupt-read", "2", "--boot-silent-after", "0"}, faults(0, 1, 2, 0, false)},
        {{"--boot-deaf"}, faults(0, 1, 0, -1, true)},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--controller", "COM5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        sim::SimCommandLine cmd;
        const Result parsed = sim::ParseSimOptions(args, cmd);
        ASSERT_TRUE(parsed) << parsed.message;
        const sim::BootFaults& f = cmd.config.bootFaults;
        EXPECT_EQ(f.refuseWrite, c.expected.refuseWrite);
        EXPECT_EQ(f.refuseWriteCount, c.expected.refuseWriteCount);
        EXPECT_EQ(f.corruptRead, c.expected.corruptRead);
        EXPECT_EQ(f.silentAfter, c.expected.silentAfter);
        EXPECT_EQ(f.deaf, c.expected.deaf);
    }
}

TEST(SimFrontEnd, EchoOptionsPutAnEchoOnTheLine)
{
    const struct
    {
        std::vector<std::string> args;
        bool echo, echoOnly;
    } rows[] = {{{}, false, false}, {{"--echo"}, true, false}, {{"--echo-only"}, false, true}};
    for (const auto& row : rows) {
        std::vector<std::string> args{"--controller", "COM5"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        sim::SimCommandLine cmd;
        ASSERT_TRUE(sim::ParseSimOptions(args, cmd));
        EXPECT_EQ(cmd.config.faults.echo, row.echo);
        EXPECT_EQ(cmd.config.faults.echoOnly, row.echoOnly);
    }
    sim::SimCommandLine cmd;
    EXPECT_FALSE(sim::ParseSimOptions({"--controller", "COM5", "--echo=1"}, cmd));
    EXPECT_NE(sim::SimUsage().find("--echo-only"), std::string::npos);
}

TEST(SimFrontEnd, ChipOptionsChooseARowOfTheChipTable)
{
    struct Case
    {
        std::vector<std::string> args;
        std::uint16_t controller, motor;
    };
    const std::vector<Case> cases{
        {{}, 0x410, 0x422},
        {{"--chip", "0x414"}, 0x414, 0x422},
        {{"--chip=413", "--motor-chip", "0X430"}, 0x413, 0x430},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--controller", "COM5"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        sim::SimCommandLine cmd;
        const Result parsed = sim::ParseSimOptions(args, cmd);
        ASSERT_TRUE(parsed) << parsed.message;
        EXPECT_EQ(cmd.config.controllerChip, c.controller);
        EXPECT_EQ(cmd.config.motorChip, c.motor);
    }
}

TEST(SimFrontEnd, StillAttitudeAndSticks)
{
    // Option and value; what is held, or "" for a refusal.
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"--attitude", "12.5,-4,33.3"}, "12.5 -4 33.3 |"}, {{"--sticks=10,-20,0,-100,100"}, "| 10 -20 0 -100 100"},
        {{"--attitude", "1,2"}, ""},          {{"--attitude", "1,2,3,4"}, ""},   {{"--attitude", "1,,3"}, ""},
        {{"--attitude", "181,0,0"}, ""},      {{"--attitude", "1e2,0,0"}, ""},   {{"--sticks", "0,0,0,0,101"}, ""},
        {{"--sticks", "0,0,0,0,1.5"}, ""},    {{"--sticks"}, ""}};
    for (const auto& [option, held] : rows) {
        std::vector<std::string> args{"--controller", "COM5"};
        args.insert(args.end(), option.begin(), option.end());
        sim::SimCommandLine cmd;
        const Result parsed = sim::ParseSimOptions(args, cmd);
        ASSERT_EQ(parsed.Ok(), !held.empty()) << option[0] << " " << parsed.message;
        std::ostringstream out;
        if (cmd.config.attitude)
            for (double v : *cmd.config.attitude)
                out << v << " ";
        out << "|";
        if (cmd.config.sticks)
            for (int v : *cmd.config.sticks)
                out << " " << v;
        EXPECT_EQ(held.empty() ? held : out.str(), held) << option[0];
    }
}

TEST(SimFrontEnd, LiveAliasIsRefusedAndStaleOneReplaced)
{
    test::ScopedPortsDir ports;
    ASSERT_TRUE(RegisterPortAlias(321, "/dev/null"));
    std::string err;
    EXPECT_EQ(RunSim({"--controller", "COM321"}, &err), 1);
    EXPECT_NE(err.find("COM321"), std::string::npos) << err;
    EXPECT_EQ(AliasTarget(321).value_or(""), "/dev/null") << "a live alias is left alone";

    ASSERT_TRUE(RegisterPortAlias(322, ports.Scratch() + "/gone"));
    std::ostringstream out, errOut;
    std::string seenTarget;
    EXPECT_EQ(sim::RunSimulator({"--motor=com322"}, out, errOut,
                                [&] { seenTarget = AliasTarget(322).value_or(""); }),
              0)
        << errOut.str();
    EXPECT_EQ(out.str(), "motor COM322 " + seenTarget + "\n");
    EXPECT_FALSE(AliasTarget(322)) << "removed on exit";
}

TEST(SimFrontEnd, ProgramServesUntilTerminatedAndCleansUp)
{
    test::ScopedPortsDir ports;
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execl(QAV_SIM_BINARY, QAV_SIM_BINARY, "--controller", "COM331", "--motor", "COM332", nullptr);
        _exit(127);
    }
    close(pipeFds[1]);
    FILE* out = fdopen(pipeFds[0], "r");
    char line[512];
    std::vector<std::string> lines;
    while (lines.size() < 2 && fgets(line, sizeof line, out) != nullptr)
        lines.emplace_back(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "controller COM331 " + AliasTarget(331).value_or("?") + "\n");
    EXPECT_EQ(lines[1], "motor COM332 " + AliasTarget(332).value_or("?") + "\n");

    SimClient client(kControllerHeader0, kControllerHeader1);
    ASSERT_TRUE(client.Open(331));
    EXPECT_TRUE(client.Exchange(Poll(0)));
    client.Close();

    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    fclose(out);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(AliasTarget(331));
    EXPECT_FALSE(AliasTarget(332));
}

} // namespace
} // namespace qav
