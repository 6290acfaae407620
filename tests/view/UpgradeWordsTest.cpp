// The screens and the command-line tool word an upgrade's end from tables of
// their own: both must say the same, for every reason there is.
#include "view/UpgradeWords.h"
#include "CliMessages.h"
#include "upgrade/UpgradeCodes.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

constexpr UpgradeWhy kLastWhy = UpgradeWhy::ImageEmpty;

TEST(UpgradeWords, ScreensAndCommandLineWordEveryReasonAlike)
{
    // Facts that would show a second substitution or a lost one.
    const std::vector<std::string> facts{"first %2", "second", "third", "fourth"};
    for (int i = 0; i <= static_cast<int>(kLastWhy); ++i) {
        const UpgradeOutcome outcome{iap::kRefused, static_cast<UpgradeWhy>(i), facts, 0};
        const std::string screen = UpgradeWhyText(outcome);
        SCOPED_TRACE(screen);
        EXPECT_EQ(screen, cli::UpgradeSentence(outcome)) << "reason " << i;
        EXPECT_EQ(screen.empty(), i == static_cast<int>(UpgradeWhy::None))
            << "reason " << i << " has no words";
        EXPECT_EQ(screen.find("%"), screen.find("%2")) << "a placeholder was left or filled twice";
    }
}

TEST(UpgradeWords, SentencesComeOutAsTheUserReadsThem)
{
    struct Case
    {
        UpgradeOutcome outcome;
        std::string text;
    };
    const std::vector<Case> cases{
        {{iap::kWriteFailed, UpgradeWhy::WriteRefused, {"the boot loader refused WRITE MEMORY", "4"}, 0},
         "The boot loader refused WRITE MEMORY, 4 times."},
        {{iap::kWrongBoard, UpgradeWhy::Reason, {"the file is for the motor board"}, 0},
         "The file is for the motor board."},
        {{iap::kFileInvalid, UpgradeWhy::FileInvalid, {"fw.bin", "too short"}, 0},
         "fw.bin is not a valid firmware file: too short."},
        {{iap::kDeviceGone, UpgradeWhy::StoppedAnswering, {"no answer to GET"}, 300},
         "The board stopped answering: no answer to GET. The line brought more than could be read: 300 bytes "
         "were dropped unread."},
        {{iap::kPortOpenFailed, UpgradeWhy::PortOpenRefused, {"COM9"}, 0}, "Cannot open COM9."},
        // Nothing more to say than what the code means.
        {{iap::kNoBootLoader, UpgradeWhy::None, {}, 0}, "No answer from the boot loader."},
        {{iap::kDone, UpgradeWhy::None, {}, 0}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpgradeErrorText(c.outcome), c.text);
        EXPECT_EQ(cli::UpgradeErrorText(c.outcome), c.text);
    }
}

TEST(UpgradeWords, FactsFillTheirPlacesOnce)
{
    struct Case
    {
        const char* format;
        std::vector<std::string> facts;
        const char* text;
    };
    const Case cases[] = {
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"%1 holds %2", {"%2", "x"}, "%2 holds x"},
        {"%3 has no fact", {"a"}, "%3 has no fact"},
        {"100% sure, %1", {"a"}, "100% sure, a"},
        {"ends in %", {}, "ends in %"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cli::FormatMessage(c.format, c.facts), c.text) << c.format;
}

} // namespace
} // namespace qav
