#include "upgrade/WindroseIAP.h"

#include "platform/PortMap.h"

#include <tuple>

namespace qav {
namespace {

std::string Sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text + ".";
}

} // namespace

FirmwareCheck CheckFirmwareFile(const std::string& path, FirmwareBoard board)
{
    FirmwareCheck check;
    const Result r = ReadFirmwareFile(path, static_cast<std::uint8_t>(board), check.firmware);
    if (r)
        return check;
    if (r.code == kFirmwareWrongBoard) {
        check.code = iap::kWrongBoard;
        check.sentence = Sentence(r.message);
    } else if (r.code == kFirmwareInvalid) {
        check.code = iap::kFileInvalid;
        check.sentence = path + " is not a valid firmware file: " + r.message + ".";
    } else {
        check.code = iap::kFileUnreadable;
        check.sentence = "Cannot read " + path + ": " + r.message + ".";
    }
    return check;
}

CWindroseIAPLibExp::CWindroseIAPLibExp(FirmwareBoard board, BootLoaderTiming timing, IdentifyTiming identify)
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
        errorSentence_.clear();
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

std::string CWindroseIAPLibExp::ErrorSentence() const
{
    std::lock_guard guard(lock_);
    return errorSentence_;
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

void CWindroseIAPLibExp::Fail(int code, std::string sentence)
{
    {
        std::lock_guard guard(lock_);
        errorSentence_ = UpgradeErrorSentence(code, sentence);
    }
    if (Notify(code))
        Notify(iap::kStartAgain);
}

int CWindroseIAPLibExp::CheckBoard(const std::string& port, std::string& sentence)
{
    const BoardHeard heard = IdentifyBoard(port_, board_, identify_);
    switch (heard) {
    case BoardHeard::Nothing:
        return 0;
    case BoardHeard::Controller:
    case BoardHeard::Motor: {
        const FirmwareBoard who = heard == BoardHeard::Controller ? FirmwareBoard::Controller : FirmwareBoard::Motor;
        if (who == board_)
            return 0;
        sentence = Sentence("the " + std::string(FirmwareBoardName(static_cast<std::uint8_t>(who))) +
                            " answered on " + port + "; this firmware is for the " +
                            std::string(FirmwareBoardName(static_cast<std::uint8_t>(board_))));
        return iap::kWrongBoard;
    }
    case BoardHeard::Stopped:
        return -1;
    case BoardHeard::Gone:
        break;
    }
    sentence = "The device on " + port + " went away.";
    return iap::kDeviceGone;
}

void CWindroseIAPLibExp::Run(std::string port, std::optional<int> number, std::string path, BoardCheck check)
{
    // Everything about the file is settled before the port is touched.
    FirmwareCheck file = CheckFirmwareFile(path, board_);
    const FirmwareImage& firmware = file.firmware;
    int code = file.code;
    std::string sentence = std::move(file.sentence);
    Result opened;
    if (code == 0)
        opened = number ? port_.Open(*number) : port_.Open(port);
    if (code == 0 && !opened) {
        code = iap::kPortOpenFailed;
        sentence = PortOpenFailure(port, opened);
    } else if (code == 0 && Notify(iap::kPortOpened)) {
        if (check == BoardCheck::Identify)
            code = CheckBoard(port, sentence);
        if (const Result line = code == 0 ? port_.UseBootLoaderLine() : Result{}; !line) {
            code = iap::kPortOpenFailed;
            sentence = PortOpenFailure(port, line);
        }
        if (code == 0) {
            const BootOutcome outcome = RunBootProcedure(
                port_, firmware, [this](int c, int p) { Notify(c, p); }, timing_);
            port_.Close();
            if (outcome.code == iap::kDone)
                Notify(outcome.code);
            else
                std::tie(code, sentence) = std::pair(outcome.code, outcome.sentence);
        }
    }
    port_.Close();
    if (code > 0)
        Fail(code, sentence);
    std::lock_guard guard(lock_);
    running_ = false;
}

} // namespace qav
