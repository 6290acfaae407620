#pragma once
// The notification codes of the firmware-upgrade library, in one table that
// the GUI, the command-line tool and the tests share (documented in
// docs/upgrade.md): each code's number and its meaning. How an owner words
// or ends on a code is the owner's business.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qav {

// Window message of the upgrade notifications (WM_USER + 100).
inline constexpr std::uint32_t WM_IAP_NOTIFY = 0x464;

namespace iap {
inline constexpr int kStartAgain = 1; // after an error: Start may be pressed again
inline constexpr int kPortOpened = 3;
inline constexpr int kPortOpenFailed = 4;
inline constexpr int kStarting = 5; // waiting for the boot loader
inline constexpr int kBootLoaderAnswered = 6;
inline constexpr int kFileUnreadable = 7;
inline constexpr int kFileInvalid = 8;
inline constexpr int kWrongBoard = 9;
inline constexpr int kNoBootLoader = 10;
inline constexpr int kProgress = 11; // with a progress value 0..100
inline constexpr int kRefused = 12;  // a command refused, or the chip is unknown
inline constexpr int kTooLarge = 14;
inline constexpr int kErasing = 16;
inline constexpr int kErased = 17;
inline constexpr int kEraseFailed = 18;
inline constexpr int kWriteFailed = 19;
inline constexpr int kVerifyFailed = 20;
inline constexpr int kWriting = 21;
inline constexpr int kDone = 22; // written, verified and started
inline constexpr int kDeviceGone = 23;
inline constexpr int kReadProtected = 24;
inline constexpr int kGoFailed = 27;
} // namespace iap

struct UpgradeCodeInfo
{
    int code;
    bool error;
    std::string_view meaning; // one plain sentence, no capital, no final stop
};

// The row of a code; nothing for a code the library never sends.
std::optional<UpgradeCodeInfo> FindUpgradeCode(int code);
// What went wrong in one sentence: `detail` when there is one (the
// library's own words for the run), else the code's meaning as a sentence.
// Empty for a code that is not an error.
std::string UpgradeErrorSentence(int code, std::string_view detail = {});

// The notification record: the code at byte offset 0 and, for code 11, the
// progress at byte offset 28, both 32-bit little-endian.
struct IapNotifyRecord
{
    std::int32_t code = 0;
    std::uint8_t reserved[24] = {};
    std::int32_t progress = 0;
};
static_assert(sizeof(IapNotifyRecord) == 32);

// Read the two fields from a record's address (a notification's lParam).
std::int32_t IapRecordCode(std::intptr_t lParam);
std::int32_t IapRecordProgress(std::intptr_t lParam);

} // namespace qav
