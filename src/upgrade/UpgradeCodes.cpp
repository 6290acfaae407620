#include "upgrade/UpgradeCodes.h"

#include <array>
#include <cstring>

namespace qav {
namespace {

using O = UpgradeOutcome;
constexpr std::array kCodes{
    UpgradeCodeInfo{iap::kStartAgain, false, O::Step, "the procedure has ended; it may be started again"},
    UpgradeCodeInfo{iap::kPortOpened, false, O::Step, "the port is open"},
    UpgradeCodeInfo{iap::kPortOpenFailed, true, O::PortError, "the port could not be opened"},
    UpgradeCodeInfo{iap::kStarting, false, O::Step, "waiting for the boot loader"},
    UpgradeCodeInfo{iap::kBootLoaderAnswered, false, O::Step, "the boot loader answered"},
    UpgradeCodeInfo{iap::kFileUnreadable, true, O::FileError, "the firmware file cannot be read"},
    UpgradeCodeInfo{iap::kFileInvalid, true, O::FileError, "not a valid firmware file"},
    UpgradeCodeInfo{iap::kWrongBoard, true, O::FileError, "the firmware file is for the other board"},
    UpgradeCodeInfo{iap::kNoBootLoader, true, O::NoAnswer, "no answer from the boot loader"},
    UpgradeCodeInfo{iap::kProgress, false, O::Step, "progress"},
    UpgradeCodeInfo{iap::kRefused, true, O::Failure,
                    "the boot loader refused a command or the chip is unknown"},
    UpgradeCodeInfo{iap::kTooLarge, true, O::Failure, "the image does not fit the chip's flash"},
    UpgradeCodeInfo{iap::kErasing, false, O::Step, "erasing"},
    UpgradeCodeInfo{iap::kErased, false, O::Step, "erased"},
    UpgradeCodeInfo{iap::kEraseFailed, true, O::Failure, "erasing failed"},
    UpgradeCodeInfo{iap::kWriteFailed, true, O::Failure, "a block could not be written"},
    UpgradeCodeInfo{iap::kVerifyFailed, true, O::Failure,
                    "verification failed: the flash reads back different"},
    UpgradeCodeInfo{iap::kWriting, false, O::Step, "writing"},
    UpgradeCodeInfo{iap::kDone, false, O::Success, "written, verified and started"},
    UpgradeCodeInfo{iap::kDeviceGone, true, O::Failure, "the device went away or stopped answering"},
    UpgradeCodeInfo{iap::kReadProtected, true, O::Failure, "the chip is read-out protected"},
    UpgradeCodeInfo{iap::kGoFailed, true, O::Failure, "the new firmware could not be started"},
};

} // namespace

std::optional<UpgradeCodeInfo> FindUpgradeCode(int code)
{
    for (const UpgradeCodeInfo& row : kCodes)
        if (row.code == code)
            return row;
    return std::nullopt;
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
