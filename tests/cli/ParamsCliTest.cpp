// `qav-nuva-cli params`: the reference of each board's parameters as text,
// JSON lines or the Markdown document, and the option combinations it
// refuses.
#include "files/ParamReference.h"

#include "support/CliRun.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

using test::Cli;

TEST(ParamsCli, PrintsTheReferenceOfTheChosenBoard)
{
    const auto controller = ControllerReference(), motor = MotorReference();
    const struct
    {
        std::vector<std::string> args;
        std::string out;
    } rows[] = {
        {{"params"}, ReferenceText(controller)},
        {{"params", "--board", "controller"}, ReferenceText(controller)},
        {{"params", "--board", "motor"}, ReferenceText(motor)},
        {{"params", "--json"}, ReferenceJson(controller)},
        {{"params", "--board", "motor", "--json"}, ReferenceJson(motor)},
        {{"params", "--markdown"}, ReferenceMarkdown(controller, motor)},
    };
    for (const auto& row : rows) {
        const test::CliRun run = Cli(row.args);
        SCOPED_TRACE(row.args.back());
        EXPECT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err, "");
    }
}

TEST(ParamsCli, RefusesOptionsThatDoNotGoTogether)
{
    const std::vector<std::string> refused[] = {
        {"params", "--markdown", "--json"},
        {"params", "--markdown", "--board", "motor"},
        {"params", "ROLL_TOTAL"},
        {"params", "--board", "pan"},
        {"params", "--port", "COM3"},
    };
    for (const auto& args : refused) {
        const test::CliRun run = Cli(args);
        SCOPED_TRACE(args.back());
        EXPECT_EQ(run.code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(run.err.starts_with("qav-nuva-cli: ")) << run.err;
    }
    EXPECT_NE(Cli({"--help"}).out.find("params [--board B] [--json]"), std::string::npos);
    EXPECT_NE(Cli({"params", "--help"}).out.find("--markdown"), std::string::npos);
}

} // namespace
} // namespace qav
