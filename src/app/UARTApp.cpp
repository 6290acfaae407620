#include "app/UARTApp.h"

#include "app/MainFrame.h"
#include "platform/StartupDirectory.h"
#include "ui/Prompts.h"
#include "ui/Skin.h"

#include <QSocketNotifier>
#include <QTimer>

namespace qav {
namespace {

constexpr int kRaisePollMs = 200;

} // namespace

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
        prompts_.Message(nullptr, AppTitle(), tr("Program has exised!"), MessageButtons::Ok);
        return false;
    }
    if (instance_.ListenFd() >= 0) {
        raiseNotifier_ = new QSocketNotifier(instance_.ListenFd(), QSocketNotifier::Read, this);
        connect(raiseNotifier_, &QSocketNotifier::activated, this, &CUARTApp::OnRaiseRequested);
    } else if (instance_.GetRole() == CSingleInstance::Role::First) {
        // Nothing to wait on (Windows' named pipe): requests are looked for
        // a few times a second, quick enough for a person starting a copy.
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &CUARTApp::OnRaiseRequested);
        poll->start(kRaisePollMs);
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
