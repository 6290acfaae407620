#include "platform/CommandLine.h"

#include <gtest/gtest.h>

#include <map>

namespace qav {
namespace {

struct ParseRow
{
    const char* what;
    std::vector<std::string> args;
    OptionStyle style;
    std::optional<OptionFault::Kind> fault;
    std::string faultOption;                  // when a fault is expected
    std::map<std::string, std::string> taken; // option -> value, flags with ""
    std::vector<std::string> positional;
};

OptionStyle Inline()
{
    OptionStyle s;
    s.inlineValues = true;
    s.positional = false;
    return s;
}
OptionStyle LeaveUnknown()
{
    OptionStyle s;
    s.ignoreUnknown = true;
    return s;
}

TEST(OptionRows, ParseByTheRows)
{
    using K = OptionFault::Kind;
    const ParseRow rows[] = {
        {"value, flag and positional",
         {"--port", "COM3", "--json", "file"},
         {},
         {},
         "",
         {{"--port", "COM3"}, {"--json", ""}},
         {"file"}},
        {"alias", {"-h"}, {}, {}, "", {{"--help", ""}}, {}},
        {"a value may start with a dash", {"--port", "-x"}, {}, {}, "", {{"--port", "-x"}}, {}},
        {"lone dash is positional", {"-"}, {}, {}, "", {}, {"-"}},
        {"double dash ends the options",
         {"--json", "--", "-x.bgsf", "--port", "--", "--nope"},
         {},
         {},
         "",
         {{"--json", ""}},
         {"-x.bgsf", "--port", "--", "--nope"}},
        {"a lone double dash", {"--json", "--"}, {}, {}, "", {{"--json", ""}}, {}},
        {"after a double dash still no positional", {"--", "file"}, Inline(), K::Unknown, "file", {}, {}},
        {"missing value", {"--json", "--port"}, {}, K::NeedsValue, "--port", {{"--json", ""}}, {}},
        {"unknown option", {"--nope", "x"}, {}, K::Unknown, "--nope", {}, {}},
        {"inline value not allowed", {"--port=COM3"}, {}, K::Unknown, "--port=COM3", {}, {}},
        {"inline value", {"--port=COM3"}, Inline(), {}, "", {{"--port", "COM3"}}, {}},
        {"inline empty value", {"--port="}, Inline(), {}, "", {{"--port", ""}}, {}},
        {"flag with inline value", {"--json=1"}, Inline(), K::TakesNoValue, "--json", {}, {}},
        {"inline unknown named whole", {"--nope=1"}, Inline(), K::Unknown, "--nope=1", {}, {}},
        {"positional refused", {"file"}, Inline(), K::Unknown, "file", {}, {}},
        {"bad value", {"--count", "x"}, {}, K::BadValue, "--count", {}, {}},
        {"unknown left to others",
         {"-platform", "offscreen", "--port", "COM1"},
         LeaveUnknown(),
         {},
         "",
         {{"--port", "COM1"}},
         {"offscreen"}},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(row.what);
        std::map<std::string, std::string> taken;
        auto keep = [&taken](const char* name) {
            return [&taken, name](const std::string& v) {
                taken[name] = v;
                return true;
            };
        };
        const OptionRow options[] = {
            {"--port", {}, true, keep("--port")},
            {"--json", {}, false, keep("--json")},
            {"--help", "-h", false, keep("--help")},
            {"--count", {}, true, [](const std::string& v) { return v == "3"; }, "a count"},
        };
        std::vector<std::string> positional;
        const auto fault = ParseOptionRows(row.args, 0, options, row.style, &positional);
        ASSERT_EQ(fault.has_value(), row.fault.has_value());
        if (fault) {
            EXPECT_EQ(fault->kind, *row.fault);
            EXPECT_EQ(fault->option, row.faultOption);
            if (fault->kind == OptionFault::BadValue) {
                EXPECT_EQ(fault->value, "x");
                EXPECT_EQ(fault->expected, "a count");
            }
        }
        EXPECT_EQ(taken, row.taken);
        EXPECT_EQ(positional, row.positional);
    }
}

} // namespace
} // namespace qav
