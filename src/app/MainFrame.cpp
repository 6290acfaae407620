#include "app/MainFrame.h"

#include "app/UARTDoc.h"
#include "ui/InkStatusBar.h"
#include "ui/Prompts.h"
#include "ui/Resources.h"
#include "ui/Skin.h"
#include "view/UARTView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QProgressBar>

namespace qav {

CMainFrame::CMainFrame(CUARTDoc& doc, ControllerParams& params, IPrompts& prompts, QWidget* parent,
                       const std::string& startupDirectory)
    : QMainWindow(parent), doc_(doc), prompts_(prompts)
{
    InitGuiResources();
    setWindowTitle(Title());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(QStringLiteral(":/app/icon-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);

    status_ = new CInkStatusBar(this);
    SetSkinKind(status_->ProgressBar(), SkinKind::ProgressBar);
    setStatusBar(status_);
    view_ = new CUARTView(params, status_, prompts, this);
    view_->SetStartupDirectory(startupDirectory);
    setCentralWidget(view_);

    setFixedSize(kWidth, kHeight);
    move(kLeft, kTop);

    status_->SetStatusText(QStringLiteral("$INKred$QAV-NUVA not connected!"));
    view_->OnInitialUpdate();
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame()
{
    qApp->removeEventFilter(this);
}

void CMainFrame::RestoreAndRaise()
{
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void CMainFrame::OnNewDocument()
{
    if (doc_.OnNewDocument())
        view_->OnInitialUpdate();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (prompts_.ConfirmExit(this))
        event->accept();
    else
        event->ignore();
}

CMainFrame::Shortcut CMainFrame::ShortcutFor(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers m = modifiers & ~Qt::KeypadModifier;
    if (m == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_N:
            return Shortcut::New;
        case Qt::Key_O:
            return Shortcut::Open;
        case Qt::Key_S:
            return Shortcut::Save;
        case Qt::Key_P:
            return Shortcut::Plots;
        case Qt::Key_Z:
        case Qt::Key_X:
        case Qt::Key_C:
        case Qt::Key_V:
        case Qt::Key_Insert:
            return Shortcut::Inert;
        default:
            return Shortcut::None;
        }
    }
    if (m == Qt::AltModifier && key == Qt::Key_Backspace)
        return Shortcut::Inert;
    if (m == Qt::ShiftModifier && (key == Qt::Key_Delete || key == Qt::Key_Insert || key == Qt::Key_F6))
        return Shortcut::Inert;
    if (m == Qt::NoModifier && key == Qt::Key_F6)
        return Shortcut::Inert;
    return Shortcut::None;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::ShortcutOverride) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        auto* key = static_cast<QKeyEvent*>(event);
        const Shortcut shortcut = ShortcutFor(key->key(), key->modifiers());
        if (shortcut != Shortcut::None) {
            // Taken before the control: a box never copies, cuts or pastes
            // by these keys.
            if (type == QEvent::KeyPress) {
                switch (shortcut) {
                case Shortcut::New:
                    OnNewDocument();
                    break;
                case Shortcut::Open:
                    view_->OnLoadIniCommand();
                    break;
                case Shortcut::Save:
                    view_->OnSaveIniCommand();
                    break;
                case Shortcut::Plots:
                    view_->OpenPlotWindow();
                    break;
                default:
                    break;
                }
            }
            event->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace qav
