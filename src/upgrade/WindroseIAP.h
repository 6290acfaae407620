#pragma once
// CWindroseIAPLibExp: our firmware-upgrade library. One object per owner
// window, serving one board. Start checks the firmware file, opens the port
// itself, asks which board's firmware answers there (unless told the board
// already waits in its boot loader) and runs the boot loader procedure on a
// thread of its own; every step is posted to the owner as WM_IAP_NOTIFY with
// lParam the address of an IapNotifyRecord (UpgradeCodes.h), in order. The
// records live in the object; a record is reused only after 1024 later
// notifications, so the owner must read it while handling its notification.
//
// After an error the library posts code 1. After Stop it posts nothing more.
//
// Threads: Init, Start, Stop and the destructor on the owner's thread;
// Failure from any thread.
#include "platform/Notify.h"
#include "upgrade/BoardIdentity.h"
#include "upgrade/BootLoader.h"
#include "upgrade/BootPort.h"
#include "upgrade/FirmwareFile.h"
#include "upgrade/UpgradeCodes.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qav {

// The file check Start begins with, for an owner that checks a file as soon
// as it is chosen: code 0 and the image, or code 7, 8 or 9 and what is wrong.
struct FirmwareCheck
{
    UpgradeOutcome outcome;
    FirmwareImage firmware;
};
FirmwareCheck CheckFirmwareFile(const std::string& path, BoardId board);

// How one run starts.
enum class BoardCheck {
    Identify, // ask the running firmware which board it is before the first sync byte
    Skip,     // the board is known to wait in its boot loader: sync bytes only
};

class CWindroseIAPLibExp
{
public:
    explicit CWindroseIAPLibExp(BoardId board, BootLoaderTiming timing = {}, IdentifyTiming identify = {});
    // Stops a running procedure without a word.
    virtual ~CWindroseIAPLibExp();
    CWindroseIAPLibExp(const CWindroseIAPLibExp&) = delete;
    CWindroseIAPLibExp& operator=(const CWindroseIAPLibExp&) = delete;

    BoardId Board() const { return board_; }

    void Init(std::weak_ptr<INotifySink> owner);
    // Returns at once; a procedure already running is stopped first. The
    // port is "COM<n>"; a number outside 1..1024 ends with code 4.
    void Start(int comPortNumber, const std::string& firmwarePath, BoardCheck check = BoardCheck::Identify);
    // The same on a port name ("COM<n>") or a device path.
    void Start(const std::string& port, const std::string& firmwarePath, BoardCheck check = BoardCheck::Identify);
    // Ends the procedure and closes the port within a few milliseconds (every
    // wait of the procedure also waits for the stop). Nothing when idle.
    void Stop();
    // True from Start until the procedure has ended (or was stopped).
    bool Running() const;
    // Why the current or last run failed (the motor board answered on
    // COM4; for code 4 the reason the port did not open); set before its
    // code is posted, kept until the next Start. Code 0 when no error was
    // posted.
    UpgradeOutcome Failure() const;

private:
    void StartOn(const std::string& port, std::optional<int> number, const std::string& firmwarePath,
                 BoardCheck check);
    void Run(std::string port, std::optional<int> number, std::string path, BoardCheck check);
    // Posts one notification unless stopped; false once stopped.
    bool Notify(int code, int progress = 0);
    void Fail(UpgradeOutcome failure);
    // Code 0 to go on, -1 when stopped, or the error code and why.
    UpgradeOutcome CheckBoard(const std::string& port);

    const BoardId board_;
    const BootLoaderTiming timing_;
    const IdentifyTiming identify_;
    std::weak_ptr<INotifySink> owner_;
    BootPort port_;
    std::thread thread_;
    mutable std::mutex lock_; // guards what follows
    bool stopped_ = true;
    bool running_ = false;
    UpgradeOutcome failure_;
    std::unique_ptr<std::array<IapNotifyRecord, 1024>> records_;
    std::size_t nextRecord_ = 0;
};

} // namespace qav
