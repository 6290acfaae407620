#pragma once
// The application: makes sure only one copy runs, remembers the start-up
// directory, applies the skin and opens the main window.
#include "app/UARTDoc.h"
#include "platform/SingleInstance.h"
#include "protocol/ControllerProtocol.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <string>

class QSocketNotifier;

namespace qav {

class CMainFrame;
class IPrompts;

class CUARTApp : public QObject
{
    Q_OBJECT
public:
    // `instanceName` names the single-instance guard (DefaultInstanceName()
    // in the program; tests pass names of their own).
    CUARTApp(IPrompts& prompts, std::string instanceName);
    ~CUARTApp() override;

    // Start-up. False when another copy already runs: that copy has been
    // asked to come to the front, "Program has exised!" has been shown, and
    // no window was made; the process should then end.
    bool InitInstance();

    // The current directory at start-up, ending in "/".
    const std::string& StartupDirectory() const { return startupDirectory_; }
    CMainFrame* MainFrame() const { return frame_; }
    ControllerParams& Params() { return params_; }

    // The about command; no menu item or key reaches it.
    void OnAppAbout();

private:
    void OnRaiseRequested();

    IPrompts& prompts_;
    std::string instanceName_;
    CSingleInstance instance_;
    QSocketNotifier* raiseNotifier_ = nullptr;
    std::string startupDirectory_;
    ControllerParams params_;
    CUARTDoc doc_;
    QPointer<CMainFrame> frame_;
};

} // namespace qav
