// The upgrade flow shared by both owners, with a recording owner: the texts
// of each owner and the button states, without a port behind it.
#include "upgrade/UpgradeDriver.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace qav {
namespace {

using namespace std::chrono_literals;

class RecordingOwner : public IUpgradeOwner
{
public:
    int UpgradePortNumber() override { return port; }
    void ReleaseLinkForUpgrade() override { ++releases; }
    void ShowUpgradeText(std::string_view text) override { texts.emplace_back(text); }
    void SetUpgradeProgress(int position) override { progress = position; }
    void EnableUpgradeStart(bool enable) override { start = enable; }
    void EnableUpgradeCancel(bool enable) override { cancel = enable; }
    void SetMessageGate(bool open) override { gate.push_back(open); }

    int port = 0;
    int releases = 0;
    std::vector<std::string> texts;
    int progress = -1;
    bool start = true, cancel = true;
    std::vector<bool> gate;
};

TEST(UpgradeTexts, EachOwnerHasItsOwnWording)
{
    struct Case
    {
        int code;
        const char* mainScreen;
        const char* motorDialog;
    };
    const std::vector<Case> cases{
        {1, "", ""},
        {3, "$INKblue$COM port open successfully!", "COM port open successfully!"},
        {4, "$INKred$COM port open failed!", "COM port open failed!"},
        {5, "$INKgreen$Starting firmware upgrade procedure, please waiting...",
         "Starting upgrade procedure, please waiting"},
        {6, "$INKblue$Firmware upgrade procedure start successfully!", "Upgrade start successfully!"},
        {7, "$INKred$Upgrade error code:7!", "Upgrade error code:7!"},
        {11, "", ""},
        {13, "", ""},
        {16, "$INKgreen$Erasing chips, please waiting...", "Erasing chips..."},
        {17, "$INKblue$Chips erased successfully!", "Chips erased successfully!"},
        {20, "$INKred$Upgrade error code:20!", "Upgrade error code:20!"},
        {21, "$INKgreen$Firmware upgrading, please wait...", "Firmware upgrading..."},
        {22, "$INKblue$Firmware upgraded successfully!", "Firmware upgraded successfully!"},
        {24, "$INKred$Upgrade error code:24!", "Upgrade error code:24!"},
        {25, "", ""},
        {27, "$INKred$Upgrade error code:27!", "Upgrade error code:27!"},
        {28, "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UpgradeNotificationText(UpgradeOwnerKind::MainScreen, c.code), c.mainScreen) << c.code;
        EXPECT_EQ(UpgradeNotificationText(UpgradeOwnerKind::MotorDialog, c.code), c.motorDialog) << c.code;
    }
}

TEST(UpgradeDriver, MotorDialogFlowFromFileToCancel)
{
    RecordingOwner owner;
    UpgradeDriver driver(owner, UpgradeOwnerKind::MotorDialog, FirmwareBoard::Motor);
    driver.Init(std::weak_ptr<INotifySink>());
    EXPECT_FALSE(owner.start);
    EXPECT_FALSE(owner.cancel);
    EXPECT_EQ(driver.ChooserTitle(), "Motor firmware file");
    EXPECT_EQ(driver.ChooserFilter(), "bmcf File (*.bmcf)");

    test::TempDir dir;
    driver.OnFileChosen(dir.File("none.bmcf"));
    EXPECT_EQ(owner.texts.back(), "Firmware open successfully!");
    EXPECT_TRUE(owner.start);

    owner.progress = 80;
    driver.OnStart();
    EXPECT_EQ(owner.releases, 1);
    EXPECT_EQ(owner.texts.back(), "Start upgrade...");
    EXPECT_EQ(owner.progress, 0);
    EXPECT_FALSE(owner.start);
    EXPECT_TRUE(owner.cancel);

    owner.progress = 42;
    driver.OnCancel();
    EXPECT_FALSE(driver.Library().Running());
    EXPECT_EQ(owner.texts.back(), "Upgrade procedure cancel!");
    EXPECT_TRUE(owner.start);
    EXPECT_FALSE(owner.cancel);
    EXPECT_EQ(owner.progress, 42); // the bar keeps its place

    // Starting again calls the library again with the current path; a file
    // that is not there is code 7 after the library, then code 1.
    auto queue = std::make_shared<NotifyQueue>();
    driver.Library().Init(queue);
    driver.OnStart();
    std::vector<int> codes;
    while (auto n = queue->WaitFor(10s)) {
        codes.push_back(IapRecordCode(n->lParam));
        driver.OnNotification(n->lParam);
        if (codes.back() == iap::kStartAgain)
            break;
    }
    EXPECT_EQ(codes, (std::vector<int>{iap::kFileUnreadable, iap::kStartAgain}));
    EXPECT_EQ(owner.texts.back(), "Upgrade error code:7!");
    EXPECT_TRUE(owner.start);
    EXPECT_TRUE(owner.cancel);
}

} // namespace
} // namespace qav
