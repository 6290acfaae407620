#include "upgrade/WindroseIAP.h"

#include "platform/PortMap.h"

namespace qav {

CWindroseIAPLibExp::CWindroseIAPLibExp(FirmwareBoard board, BootLoaderTiming timing)
    : board_(board), timing_(timing), records_(std::make_unique<std::array<IapNotifyRecord, 1024>>())
{
}

CWindroseIAPLibExp::~CWindroseIAPLibExp()
{
    Stop();
}

void CWindroseIAPLibExp::Init(std::weak_ptr<INotifySink> owner)
{
    owner_ = std::move(owner);
}

void CWindroseIAPLibExp::Start(int comPortNumber, const std::string& firmwarePath)
{
    // An invalid number names nothing; opening it fails with code 4.
    Start(IsValidPortNumber(comPortNumber) ? PortName(comPortNumber) : std::string(), firmwarePath);
}

void CWindroseIAPLibExp::Start(const std::string& port, const std::string& firmwarePath)
{
    Stop();
    {
        std::lock_guard guard(lock_);
        stopped_ = false;
        running_ = true;
    }
    thread_ = std::thread([this, port, firmwarePath] { Run(port, firmwarePath); });
}

void CWindroseIAPLibExp::Stop()
{
    {
        std::lock_guard guard(lock_);
        stopped_ = true;
    }
    port_.Stop();
    if (thread_.joinable())
        thread_.join();
    port_.Rearm();
}

bool CWindroseIAPLibExp::Running() const
{
    std::lock_guard guard(lock_);
    return running_;
}

bool CWindroseIAPLibExp::Notify(int code, int progress)
{
    std::lock_guard guard(lock_);
    if (stopped_)
        return false;
    IapNotifyRecord& record = (*records_)[nextRecord_];
    nextRecord_ = (nextRecord_ + 1) % records_->size();
    record = IapNotifyRecord{};
    record.code = code;
    record.progress = progress;
    PostNotification(owner_, WM_IAP_NOTIFY, 0, reinterpret_cast<std::intptr_t>(&record));
    return true;
}

void CWindroseIAPLibExp::Fail(int code)
{
    if (Notify(code))
        Notify(iap::kStartAgain);
}

void CWindroseIAPLibExp::Run(std::string port, std::string path)
{
    // Everything about the file is settled before the port is touched.
    FirmwareImage firmware;
    const FirmwareCheckResult check = ReadFirmwareFile(path, static_cast<std::uint8_t>(board_), firmware);
    int code = 0;
    switch (check.check) {
    case FirmwareCheck::Ok:
        break;
    case FirmwareCheck::Unreadable:
        code = iap::kFileUnreadable;
        break;
    case FirmwareCheck::Invalid:
        code = iap::kFileInvalid;
        break;
    case FirmwareCheck::WrongBoard:
        code = iap::kWrongBoard;
        break;
    }
    if (code == 0) {
        if (port.empty() || !port_.Open(port)) {
            code = iap::kPortOpenFailed;
        } else if (Notify(iap::kPortOpened)) {
            code = RunBootProcedure(
                port_, firmware, [this](int c, int p) { Notify(c, p); }, timing_);
            port_.Close();
            if (code == iap::kDone) {
                Notify(code);
                code = 0;
            }
        }
    }
    port_.Close();
    if (code != 0)
        Fail(code);
    std::lock_guard guard(lock_);
    running_ = false;
}

} // namespace qav
