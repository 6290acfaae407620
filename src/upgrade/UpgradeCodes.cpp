#include "upgrade/UpgradeCodes.h"

#include <array>
#include <cstring>

namespace qav {
namespace {

constexpr std::array kCodes{
    UpgradeCodeInfo{iap::kStartAgain, false, "the procedure has ended; it may be started again"},
    UpgradeCodeInfo{iap::kPortOpened, false, "the port is open"},
    UpgradeCodeInfo{iap::kPortOpenFailed, true, "the port could not be opened"},
    UpgradeCodeInfo{iap::kStarting, false, "waiting for the boot loader"},
    UpgradeCodeInfo{iap::kBootLoaderAnswered, false, "the boot loader answered"},
    UpgradeCodeInfo{iap::kFileUnreadable, true, "the firmware file cannot be read"},
    UpgradeCodeInfo{iap::kFileInvalid, true, "not a valid firmware file"},
    UpgradeCodeInfo{iap::kWrongBoard, true, "the firmware is for another board or chip"},
    UpgradeCodeInfo{iap::kNoBootLoader, true, "no answer from the boot loader"},
    UpgradeCodeInfo{iap::kProgress, false, "progress"},
    UpgradeCodeInfo{iap::kRefused, true, "the boot loader refused a command or lacks one, or the chip is unknown"},
    UpgradeCodeInfo{iap::kTooLarge, true, "the image does not fit the chip's flash"},
    UpgradeCodeInfo{iap::kErasing, false, "erasing"},
    UpgradeCodeInfo{iap::kErased, false, "erased"},
    UpgradeCodeInfo{iap::kEraseFailed, true, "erasing failed"},
    UpgradeCodeInfo{iap::kWriteFailed, true, "a block could not be written"},
    UpgradeCodeInfo{iap::kVerifyFailed, true, "verification failed: the flash reads back different"},
    UpgradeCodeInfo{iap::kWriting, false, "writing"},
    UpgradeCodeInfo{iap::kDone, false, "written, verified and started"},
    UpgradeCodeInfo{iap::kDeviceGone, true, "the device went away or stopped answering"},
    UpgradeCodeInfo{iap::kReadProtected, true, "the chip is read-out protected"},
    UpgradeCodeInfo{iap::kGoFailed, true, "the new firmware could not be started"},
};

} // namespace

std::optional<UpgradeCodeInfo> FindUpgradeCode(int code)
{
    for (const UpgradeCodeInfo& row : kCodes)
        if (row.code == code)
            return row;
    return std::nullopt;
}

std::string UpgradeErrorSentence(int code, std::string_view detail)
{
    const auto row = FindUpgradeCode(code);
    if (!row || !row->error)
        return {};
    if (!detail.empty())
        return std::string(detail);
    std::string text(row->meaning);
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

std::int32_t IapRecordCode(std::intptr_t lParam)
{
    std::int32_t v = 0;
    std::memcpy(&v, reinterpret_cast<const std::uint8_t*>(lParam), sizeof v);
    return v;
}

std::int32_t IapRecordProgress(std::intptr_t lParam)
{
    std::int32_t v = 0;
    std::memcpy(&v, reinterpret_cast<const std::uint8_t*>(lParam) + 28, sizeof v);
    return v;
}

} // namespace qav
