// The upgrade flow shared by both screens, with a recording owner: the texts
// of each owner, the file check when a file is chosen, the board check's
// choice and the button states, without a screen behind it.
#include "view/UpgradeDriver.h"

#include "support/Platform.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace qav {
namespace {

using namespace std::chrono_literals;

class RecordingOwner : public IUpgradeOwner
{
public:
    int UpgradePortNumber() override { return port; }
    bool HeardBoardOn(int number) override { return number == heard; }
    void ReleaseLinkForUpgrade() override { ++releases; }
    void ShowUpgradeText(std::string_view text) override { texts.emplace_back(text); }
    void SetUpgradeProgress(int position) override { progress = position; }
    void EnableUpgradeStart(bool enable) override { start = enable; }
    void EnableUpgradeCancel(bool enable) override { cancel = enable; }
    void SetMessageGate(bool open) override { gate.push_back(open); }

    int port = 0;
    int heard = -1;
    int releases = 0;
    std::vector<std::string> texts;
    int progress = -1;
    bool start = true, cancel = true;
    std::vector<bool> gate;
};

std::string WriteFile(test::TempDir& dir, const std::string& name, const std::vector<std::uint8_t>& bytes)
{
    const std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// Runs the library until code 1 or 22, handing each notification to the
// driver as the screen would; the codes in order.
std::vector<int> RunToEnd(UpgradeDriver& driver, NotifyQueue& queue)
{
    std::vector<int> codes;
    while (auto n = queue.WaitFor(30s)) {
        codes.push_back(IapRecordCode(n->lParam));
        driver.OnNotification(n->lParam);
        if (codes.back() == iap::kStartAgain || codes.back() == iap::kDone)
            break;
    }
    return codes;
}

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

// "Open Firmware" checks the file at once: a bad one is named with its
// reason and leaves Start disabled, a good one is described.
TEST(UpgradeDriver, AChosenFileIsCheckedAtOnce)
{
    test::TempDir dir;
    const auto image = std::vector<std::uint8_t>(3000, 0x5A);
    auto broken = PackFirmware(BoardId::Controller, 26, kDefaultFlashAddress, image);
    broken[40] ^= 1;
    struct Case
    {
        const char* name;
        UpgradeOwnerKind kind;
        std::string path;
        bool good;
        std::string text;
    };
    const std::string motorFile =
        WriteFile(dir, "m.bmcf", PackFirmware(BoardId::Motor, 17, kDefaultFlashAddress, image, 0x422));
    const std::string controllerFile =
        WriteFile(dir, "c.bgsf", PackFirmware(BoardId::Controller, 26, kDefaultFlashAddress, image));
    const std::string brokenFile = WriteFile(dir, "b.bgsf", broken);
    const std::vector<Case> cases{
        {"good controller file", UpgradeOwnerKind::MainScreen, controllerFile, true,
         "$INKblue$Firmware file open successfully! Main controller firmware V2.6, 3000 bytes."},
        {"good motor file with its chip", UpgradeOwnerKind::MotorDialog, motorFile, true,
         "Firmware open successfully! Motor board firmware V1.7, 3000 bytes, chip 0x422 (STM32F302/F303 "
         "xB/xC)."},
        {"motor file on the main screen", UpgradeOwnerKind::MainScreen, motorFile, false,
         "$INKred$Firmware file refused: The file is for the motor board."},
        {"controller file in the motor dialog", UpgradeOwnerKind::MotorDialog, controllerFile, false,
         "Firmware file refused: The file is for the main controller."},
        {"damaged file", UpgradeOwnerKind::MainScreen, brokenFile, false,
         "$INKred$Firmware file refused: " + brokenFile +
             " is not a valid firmware file: the image's CRC does not match."},
        {"a device", UpgradeOwnerKind::MotorDialog, test::DevicePath(), false,
         "Firmware file refused: Cannot read " + std::string(test::DevicePath()) + ": not a regular file."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingOwner owner;
        const BoardId board = c.kind == UpgradeOwnerKind::MainScreen ? BoardId::Controller : BoardId::Motor;
        UpgradeDriver driver(owner, c.kind, board);
        driver.Init({});
        driver.OnFileChosen(c.path);
        EXPECT_EQ(owner.texts.back(), c.text);
        EXPECT_EQ(owner.start, c.good);
        EXPECT_EQ(driver.FirmwarePath(), c.good ? c.path : std::string());
        // The main screen's gate opens for the message and closes after it.
        EXPECT_EQ(owner.gate, (std::vector<bool>{true, false}));
    }
}

TEST(UpgradeDriver, MotorDialogFlowFromFileToCancelAndAnErrorWithItsMeaning)
{
    RecordingOwner owner;
    owner.port = 1024;
    UpgradeDriver driver(owner, UpgradeOwnerKind::MotorDialog, BoardId::Motor);
    driver.Init(std::weak_ptr<INotifySink>());
    EXPECT_FALSE(owner.start);
    EXPECT_FALSE(owner.cancel);
    EXPECT_EQ(driver.ChooserTitle(), "Motor firmware file");
    EXPECT_EQ(driver.ChooserFilter(), "bmcf File (*.bmcf)");

    test::TempDir dir;
    const std::string path =
        WriteFile(dir, "m.bmcf",
                  PackFirmware(BoardId::Motor, 15, kDefaultFlashAddress, std::vector<std::uint8_t>(64, 1)));
    driver.OnFileChosen(path);
    EXPECT_EQ(owner.texts.back().rfind("Firmware open successfully!", 0), 0u) << owner.texts.back();
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

    // Starting again calls the library again with the current path; a port
    // that does not open is code 4 with the reason a link gives, then code 1.
    auto queue = std::make_shared<NotifyQueue>();
    driver.Library().Init(queue);
    driver.OnStart();
    EXPECT_EQ(RunToEnd(driver, *queue), (std::vector<int>{iap::kPortOpenFailed, iap::kStartAgain}));
    EXPECT_EQ(owner.texts.back(), "COM port open failed! Cannot open COM1024: " + [] {
        CSerialLink link;
        return OpenLinkSequence(link, 1024).message;
    }() + ".");
    EXPECT_TRUE(owner.start);
    EXPECT_TRUE(owner.cancel);

    // The file gone meanwhile: code 7, and what is wrong after it.
    std::remove(path.c_str());
    driver.OnStart();
    EXPECT_EQ(RunToEnd(driver, *queue), (std::vector<int>{iap::kFileUnreadable, iap::kStartAgain}));
    EXPECT_EQ(owner.texts.back(), "Upgrade error code:7! Cannot read " + path + ": No such file or directory.");
}

} // namespace
} // namespace qav
