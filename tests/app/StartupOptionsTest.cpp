// What qav-nuva makes of its command line before any window exists.
#include "app/StartupOptions.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

struct OptionsRow
{
    const char* name;
    std::vector<std::string> args; // after the program's name
    bool ok;
    std::string error;          // when refused
    std::optional<int> connect; // when taken
    bool plots = false;
};
void PrintTo(const OptionsRow& row, std::ostream* os)
{
    *os << row.name;
}

class StartupOptionsTest : public ::testing::TestWithParam<OptionsRow>
{
};

TEST_P(StartupOptionsTest, TakenOrRefusedWithAReason)
{
    const OptionsRow& row = GetParam();
    std::vector<std::string> args{"qav-nuva"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    StartupOptions options;
    const Result parsed = ParseStartupOptions(args, options);
    EXPECT_EQ(parsed.Ok(), row.ok) << parsed.message;
    if (!row.ok) {
        EXPECT_EQ(parsed.message, row.error);
        return;
    }
    EXPECT_EQ(options.connect, row.connect);
    EXPECT_EQ(options.plots, row.plots);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartupOptionsTest,
    ::testing::Values(
        OptionsRow{"Nothing", {}, true, "", std::nullopt},
        OptionsRow{"Connect", {"--connect", "COM201"}, true, "", 201},
        OptionsRow{"ConnectInline", {"--connect=com7", "--plots"}, true, "", 7, true},
        OptionsRow{"FirstConnectWins", {"--connect", "COM3", "--connect", "COM4"}, true, "", 3},
        OptionsRow{"PortTooHighStillAName", {"--connect", "COM999"}, true, "", 999},
        OptionsRow{"QtOptionsPassedOn",
                   {"-platform", "offscreen", "--style=fusion", "-reverse", "-stylesheet=a.qss"},
                   true,
                   "",
                   std::nullopt},
        OptionsRow{"AFileNameIsLeftAlone", {"gains.bgsc"}, true, "", std::nullopt},
        OptionsRow{"Unknown", {"--bogus"}, false, "unknown option --bogus (try --help)", std::nullopt},
        OptionsRow{"UnknownSingleDash", {"-x"}, false, "unknown option -x (try --help)", std::nullopt},
        OptionsRow{"ConnectWithoutValue", {"--connect"}, false, "--connect needs a value", std::nullopt},
        OptionsRow{"ConnectSwallowsNextOption",
                   {"--connect", "--plots"},
                   false,
                   "--connect: '--plots' is not a port name COM1 to COM1024", std::nullopt},
        OptionsRow{"ConnectBeyondTheRange",
                   {"--connect", "COM2000"},
                   false,
                   "--connect: 'COM2000' is not a port name COM1 to COM1024", std::nullopt},
        OptionsRow{"FlagWithValue", {"--plots=yes"}, false, "--plots takes no value", std::nullopt},
        OptionsRow{"QtOptionWithoutValue", {"-platform"}, false, "-platform needs a value", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qav
