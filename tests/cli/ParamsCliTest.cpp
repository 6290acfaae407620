// `qav-nuva-cli params`: each board's reference as text, JSON lines or the
// Markdown document, and the combinations it refuses.
#include "files/ParamReference.h"

#include "support/CliRun.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

TEST(ParamsCli, PrintsTheReferenceOfTheChosenBoardOrRefusesTheOptions)
{
    const auto controller = ControllerReference(), motor = MotorReference();
    const struct
    {
        std::vector<std::string> args;
        int code;
        std::string out;
    } rows[] = {
        {{"params"}, 0, ReferenceText(controller)},
        {{"params", "--board", "motor", "--json"}, 0, ReferenceJson(motor)},
        {{"params", "--markdown"}, 0, ReferenceMarkdown(controller, motor)},
        {{"params", "--markdown", "--json"}, 1, ""},
        {{"params", "--markdown", "--board", "motor"}, 1, ""},
        {{"params", "--board", "pan"}, 1, ""},
    };
    for (const auto& row : rows) {
        const test::CliRun run = test::Cli(row.args);
        SCOPED_TRACE(row.args.back());
        EXPECT_EQ(run.code, row.code) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_EQ(run.err.empty(), row.code == 0) << run.err;
    }
}

} // namespace
} // namespace qav
