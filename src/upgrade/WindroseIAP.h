#pragma once
// CWindroseIAPLibExp: our firmware-upgrade library. One object per owner
// window, serving one board. Start checks the firmware file, opens the port
// itself and runs the boot loader procedure on a thread of its own; every
// step is posted to the owner as WM_IAP_NOTIFY with lParam the address of an
// IapNotifyRecord (UpgradeCodes.h), in order. The records live in the
// object; a record is reused only after 1024 later notifications, so the
// owner must read it while handling its notification.
//
// After an error the library posts code 1. After Stop it posts nothing more.
//
// Threads: Init, Start, Stop and the destructor on the owner's thread.
#include "platform/Notify.h"
#include "upgrade/BootLoader.h"
#include "upgrade/BootPort.h"
#include "upgrade/FirmwareFile.h"
#include "upgrade/UpgradeCodes.h"

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qav {

class CWindroseIAPLibExp
{
public:
    explicit CWindroseIAPLibExp(FirmwareBoard board, BootLoaderTiming timing = {});
    // Stops a running procedure without a word.
    virtual ~CWindroseIAPLibExp();
    CWindroseIAPLibExp(const CWindroseIAPLibExp&) = delete;
    CWindroseIAPLibExp& operator=(const CWindroseIAPLibExp&) = delete;

    FirmwareBoard Board() const { return board_; }

    void Init(std::weak_ptr<INotifySink> owner);
    // Returns at once; a procedure already running is stopped first. The
    // port is "COM<n>"; a number outside 1..1024 ends with code 4.
    void Start(int comPortNumber, const std::string& firmwarePath);
    // The same on a port name ("COM<n>") or a device path.
    void Start(const std::string& port, const std::string& firmwarePath);
    // Ends the procedure and closes the port within a few milliseconds (every
    // wait of the procedure also waits for the stop). Nothing when idle.
    void Stop();
    // True from Start until the procedure has ended (or was stopped).
    bool Running() const;

private:
    void Run(std::string port, std::string path);
    // Posts one notification unless stopped; false once stopped.
    bool Notify(int code, int progress = 0);
    void Fail(int code);

    const FirmwareBoard board_;
    const BootLoaderTiming timing_;
    std::weak_ptr<INotifySink> owner_;
    BootPort port_;
    std::thread thread_;
    mutable std::mutex lock_; // guards what follows
    bool stopped_ = true;
    bool running_ = false;
    std::unique_ptr<std::array<IapNotifyRecord, 1024>> records_;
    std::size_t nextRecord_ = 0;
};

} // namespace qav
