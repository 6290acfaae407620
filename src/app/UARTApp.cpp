#include "app/UARTApp.h"

#include "app/MainFrame.h"
#include "platform/StartupDirectory.h"
#include "ui/Prompts.h"
#include "ui/Skin.h"

#include <QSocketNotifier>

namespace qav {

CUARTApp::CUARTApp(IPrompts& prompts, std::string instanceName)
    : prompts_(prompts), instanceName_(std::move(instanceName))
{
}

CUARTApp::~CUARTApp()
{
    delete frame_.data();
}

bool CUARTApp::InitInstance()
{
    if (instance_.Claim(instanceName_) == CSingleInstance::Role::Second) {
        prompts_.Message(nullptr, AppTitle(), QStringLiteral("Program has exised!"), MessageButtons::Ok);
        return false;
    }
    if (instance_.ListenFd() >= 0) {
        raiseNotifier_ = new QSocketNotifier(instance_.ListenFd(), QSocketNotifier::Read, this);
        connect(raiseNotifier_, &QSocketNotifier::activated, this, &CUARTApp::OnRaiseRequested);
    }
    startupDirectory_ = CaptureStartupDirectory();
    ApplySkin();
    frame_ = new CMainFrame(doc_, params_, prompts_, nullptr, startupDirectory_);
    // Closing the window destroys it, and with it the screen.
    frame_->setAttribute(Qt::WA_DeleteOnClose);
    frame_->show();
    return true;
}

void CUARTApp::OnAppAbout()
{
    prompts_.About(frame_);
}

void CUARTApp::OnRaiseRequested()
{
    if (instance_.TakeRaiseRequests() > 0 && frame_)
        frame_->RestoreAndRaise();
}

} // namespace qav
