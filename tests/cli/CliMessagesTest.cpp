// The command line's message table as a translator gets it: every id worded
// once, its places numbered without gaps, and a wording that fills them
// safely however many facts come.
#include "CliMessages.h"
#include "BoardSession.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace qav {
namespace {

using cli::Message;
using cli::MessageRow;

// The place numbers a format names (%1 is 1; a %0 shows up as 0).
std::set<int> Places(std::string_view format)
{
    std::set<int> places;
    for (std::size_t i = 0; i + 1 < format.size(); ++i)
        if (format[i] == '%' && format[i + 1] >= '0' && format[i + 1] <= '9')
            places.insert(format[i + 1] - '0');
    return places;
}

std::string Marker(int n)
{
    return "<fact " + std::to_string(n) + ">";
}

TEST(CliMessages, EveryIdHasOneWordingInItsPlace)
{
    const auto rows = cli::Messages();
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(Message::Count));
    std::map<std::string_view, int> seen; // format -> first id
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const MessageRow& row = rows[i];
        SCOPED_TRACE(row.format);
        EXPECT_EQ(static_cast<std::size_t>(row.id), i) << "the row stands out of its id's place";
        EXPECT_FALSE(row.format.empty()) << "id " << i << " says nothing";
        // A second copy drifts from the first once one is mended.
        const auto [first, added] = seen.emplace(row.format, static_cast<int>(i));
        EXPECT_TRUE(added) << "ids " << first->second << " and " << i << " share their wording";
        // A gap leaves a translator guessing what a place holds.
        const std::set<int> places = Places(row.format);
        std::set<int> wanted;
        for (int n = 1; n <= static_cast<int>(places.size()); ++n)
            wanted.insert(n);
        EXPECT_EQ(places, wanted) << "id " << i << " numbers its places with a gap";
    }
}

TEST(CliMessages, FactsFillEveryPlaceAndMissingOnesStayAsWritten)
{
    for (const MessageRow& row : cli::Messages()) {
        SCOPED_TRACE(row.format);
        const int n = static_cast<int>(Places(row.format).size());
        // No facts at all: the wording as it stands, places and all.
        EXPECT_EQ(cli::Say(row.id), row.format);
        std::vector<std::string> facts;
        for (int k = 1; k <= n; ++k)
            facts.push_back(Marker(k));
        const std::string full = cli::FormatMessage(row.format, facts);
        EXPECT_TRUE(Places(full).empty()) << full;
        for (int k = 1; k <= n; ++k)
            EXPECT_NE(full.find(Marker(k)), std::string::npos) << full;
        if (n == 0)
            continue;
        // One fact short: the last place stays, the others are filled.
        facts.pop_back();
        const std::string shortOne = cli::FormatMessage(row.format, facts);
        EXPECT_EQ(Places(shortOne), std::set<int>{n}) << shortOne;
        EXPECT_EQ(shortOne.find(Marker(n)), std::string::npos) << shortOne;
        // More facts than places: the extra ones are not said.
        facts.push_back(Marker(n));
        facts.push_back(Marker(n + 1));
        EXPECT_EQ(cli::FormatMessage(row.format, facts).find(Marker(n + 1)), std::string::npos);
    }
}

TEST(CliMessages, SayFillsAsTheUserReadsIt)
{
    struct Case
    {
        std::string said;
        std::string text;
    };
    const Case cases[] = {
        {cli::Say(Message::PortGivenTwice, {"COM3"}), "The port COM3 is given twice."},
        // A place said twice takes the same fact twice.
        {cli::Say(Message::ElfImage, {"a.elf"}),
         "a.elf is an ELF file, not a flash image: convert it first, e.g. objcopy -O binary a.elf image.bin "
         "(or -O ihex for Intel HEX), and pack that."},
        // A fact that holds a place's mark is not filled again.
        {cli::Say(Message::CannotWrite, {"%2", "no room"}), "Cannot write %2: no room."},
        {cli::Say(Message::NoAnswerOtherBoard, {"motor board", "COM4", "controller", "motor"}),
         "The motor board answered on COM4, not the controller (--board motor talks to it)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.said, c.text);
}

TEST(CliMessages, ChoicesOfWordsReadAsASentence)
{
    struct Case
    {
        std::vector<std::string_view> words;
        std::string text;
    };
    const std::vector<Case> cases{
        {{}, ""},
        {{"controller"}, "controller"},
        {{"controller", "motor"}, "controller or motor"},
        {{"a", "b", "c"}, "a, b or c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cli::EitherOf(c.words), c.text);
    // The boards' words come from their rows, in the rows' order.
    EXPECT_EQ(cli::BadBoard(), "Option --board takes controller or motor.");
}

} // namespace
} // namespace qav
