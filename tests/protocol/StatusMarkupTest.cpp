#include "protocol/StatusMarkup.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

struct MarkupRow
{
    const char* message;
    const char* plain;
    const char* lastColour; // of the last run; "" when nothing is drawn
};

TEST(StatusMarkup, PlainTextAndColourOfEveryShape)
{
    const MarkupRow rows[] = {
        {"$INKblue$Gains uploaded successfully!", "Gains uploaded successfully!", "blue"},
        {"plain $INKred$red", "plain red", "red"},
        {"$INKgreen$a$INKnope$b", "ab", "green"}, // unknown name: colour kept, tag hidden
        {"$INKRed$x", "x", "black"},              // names are case-sensitive
        {"before $INKred", "before ", "black"},   // unclosed tag ends the message
        {"$INKred", "", ""},
        {"", "", ""},
        {"$INKblue$指向舵机中立点已上传！", "指向舵机中立点已上传！", "blue"}, // UTF-8 passes whole
        {"$INK$x", "x", "black"},                                              // empty name
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StatusPlainText(row.message), row.plain) << row.message;
        const auto runs = SplitStatusMarkup(row.message);
        EXPECT_EQ(runs.empty() ? std::string_view() : runs.back().colour, std::string_view(row.lastColour))
            << row.message;
        for (const auto& run : runs)
            EXPECT_FALSE(run.text.empty()) << row.message;
    }
}

} // namespace
} // namespace qav
