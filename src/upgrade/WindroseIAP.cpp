#include "upgrade/WindroseIAP.h"

#include "platform/PortMap.h"

namespace qav {

FirmwareCheck CheckFirmwareFile(const std::string& path, BoardId board)
{
    FirmwareCheck check;
    const Result r = ReadFirmwareFile(path, BoardOf(board).firmwareByte, check.firmware);
    if (r)
        return check;
    if (r.code == kFirmwareWrongBoard)
        check.outcome = {iap::kWrongBoard, UpgradeWhy::Reason, {r.message}};
    else if (r.code == kFirmwareInvalid)
        check.outcome = {iap::kFileInvalid, UpgradeWhy::FileInvalid, {path, r.message}};
    else
        check.outcome = {iap::kFileUnreadable, UpgradeWhy::FileUnreadable, {path, r.message}};
    return check;
}

CWindroseIAPLibExp::CWindroseIAPLibExp(BoardId board, BootLoaderTiming timing, IdentifyTiming identify)
    : board_(board), timing_(timing), identify_(identify),
      records_(std::make_unique<std::array<IapNotifyRecord, 1024>>())
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

void CWindroseIAPLibExp::Start(int comPortNumber, const std::string& firmwarePath, BoardCheck check)
{
    StartOn(PortName(comPortNumber), comPortNumber, firmwarePath, check);
}

void CWindroseIAPLibExp::Start(const std::string& port, const std::string& firmwarePath, BoardCheck check)
{
    StartOn(port, std::nullopt, firmwarePath, check);
}

void CWindroseIAPLibExp::StartOn(const std::string& port, std::optional<int> number, const std::string& firmwarePath,
                                 BoardCheck check)
{
    Stop();
    {
        std::lock_guard guard(lock_);
        stopped_ = false;
        running_ = true;
        failure_ = {};
    }
    thread_ = std::thread([this, port, number, firmwarePath, check] { Run(port, number, firmwarePath, check); });
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

UpgradeOutcome CWindroseIAPLibExp::Failure() const
{
    std::lock_guard guard(lock_);
    return failure_;
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

void CWindroseIAPLibExp::Fail(UpgradeOutcome failure)
{
    const int code = failure.code;
    {
        std::lock_guard guard(lock_);
        failure_ = std::move(failure);
    }
    if (Notify(code))
        Notify(iap::kStartAgain);
}

UpgradeOutcome CWindroseIAPLibExp::CheckBoard(const std::string& port)
{
    const BoardHeard heard = IdentifyBoard(port_, board_, identify_);
    switch (heard.what) {
    case BoardHeard::Nothing:
        return {};
    case BoardHeard::Answered: {
        if (heard.board == board_)
            return {};
        return {iap::kWrongBoard,
                UpgradeWhy::BoardAnswered,
                {std::string(BoardOf(heard.board).firmwareName), port, std::string(BoardOf(board_).firmwareName)}};
    }
    case BoardHeard::Stopped:
        return {-1};
    case BoardHeard::Gone:
        break;
    }
    return {iap::kDeviceGone, UpgradeWhy::DeviceWentAway, {port}};
}

namespace {

UpgradeOutcome PortOpenOutcome(const std::string& port, const Result& why)
{
    if (why.message.empty())
        return {iap::kPortOpenFailed, UpgradeWhy::PortOpenRefused, {port}};
    return {iap::kPortOpenFailed, UpgradeWhy::PortOpenFailed, {port, why.message}};
}

} // namespace

void CWindroseIAPLibExp::Run(std::string port, std::optional<int> number, std::string path, BoardCheck check)
{
    // Everything about the file is settled before the port is touched.
    FirmwareCheck file = CheckFirmwareFile(path, board_);
    const FirmwareImage& firmware = file.firmware;
    UpgradeOutcome end = std::move(file.outcome);
    Result opened;
    if (end.code == 0)
        opened = number ? port_.Open(*number) : port_.Open(port);
    if (end.code == 0 && !opened) {
        end = PortOpenOutcome(port, opened);
    } else if (end.code == 0 && Notify(iap::kPortOpened)) {
        if (check == BoardCheck::Identify)
            end = CheckBoard(port);
        if (const Result line = end.code == 0 ? port_.UseBootLoaderLine() : Result{}; !line)
            end = PortOpenOutcome(port, line);
        if (end.code == 0) {
            UpgradeOutcome outcome = RunBootProcedure(
                port_, firmware, [this](int c, int p) { Notify(c, p); }, timing_);
            port_.Close();
            if (outcome.code == iap::kDone)
                Notify(outcome.code);
            else
                end = std::move(outcome);
        }
    }
    port_.Close();
    if (end.code > 0)
        Fail(std::move(end));
    std::lock_guard guard(lock_);
    running_ = false;
}

} // namespace qav
