#include "Simulator.h"
#include "protocol/ControllerProtocol.h"
#include "sim/SimClient.h"
#include "support/ScopedPortsDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace qav {
namespace {

TEST(SimFrameLog, OneLinePerFrameHeardWithItsTimeAndBytes)
{
    test::ScopedPortsDir ports;
    const std::string log = ports.Scratch() + "/frames.log";
    sim::SimulatorConfig config;
    config.controllerCom = 181;
    config.frameLog = log;
    std::vector<Frame> sent;
    {
        sim::Simulator simulator(config);
        const Result started = simulator.Start();
        ASSERT_TRUE(started) << started.message;
        test::SimClient client(kControllerHeader0, kControllerHeader1);
        ASSERT_TRUE(client.Open(181));
        ControllerLinkState link;
        for (std::uint8_t i = 0; i < 3; ++i) {
            link.sequenceCounter = i;
            link.SelectFrameType(i == 0 ? kTypeReadGains : kTypePoll);
            Frame f;
            BuildFrame(link, {}, f);
            ASSERT_TRUE(client.Exchange(f).has_value());
            sent.push_back(f);
        }
    }
    std::ifstream in(log);
    std::string line;
    long long previous = 0;
    std::size_t n = 0;
    while (std::getline(in, line)) {
        ASSERT_LT(n, sent.size()) << line;
        char hex[65];
        long long t = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lld controller %64s", &t, hex), 2) << line;
        std::string expected;
        for (std::uint8_t b : sent[n]) {
            char two[3];
            std::snprintf(two, sizeof two, "%02x", b);
            expected += two;
        }
        EXPECT_EQ(hex, expected);
        EXPECT_GT(t, previous);
        previous = t;
        ++n;
    }
    EXPECT_EQ(n, sent.size());
}

} // namespace
} // namespace qav
