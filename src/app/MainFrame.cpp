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
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWindow>

#include <algorithm>

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
    // The screen keeps its size; where the window is smaller, it scrolls.
    viewArea_ = new QScrollArea(this);
    viewArea_->setFrameShape(QFrame::NoFrame);
    viewArea_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    viewArea_->setWidget(view_);
    setCentralWidget(viewArea_);

    setFixedSize(kWidth, kHeight);
    move(kLeft, kTop);

    status_->SetStatusText(QStringLiteral("$INKred$") + tr("QAV-NUVA not connected!"));
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

void CMainFrame::FitInto(const QRect& available, const QMargins& frame)
{
    Place(available, frame, pos());
}

void CMainFrame::Place(const QRect& available, const QMargins& frame, QPoint preferred)
{
    // Below this the window is of no use; the window manager may clip it.
    constexpr int kMinWidth = 320;
    constexpr int kMinHeight = 240;
    const int roomWidth = available.width() - frame.left() - frame.right();
    const int roomHeight = available.height() - frame.top() - frame.bottom();
    int width = std::min(kWidth, roomWidth);
    int height = std::min(kHeight, roomHeight);
    // A scroll bar in one direction takes room from the other; where the
    // screen has it, the window grows by the bar rather than scroll both ways.
    const int bar = viewArea_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, viewArea_);
    if (height < kHeight)
        width = std::min(roomWidth, kWidth + bar);
    if (width < kWidth)
        height = std::min(roomHeight, kHeight + bar);
    width = std::max(width, kMinWidth);
    height = std::max(height, kMinHeight);
    setFixedSize(width, height);

    // Positions are the frame's corner; move it in only as far as needed.
    const int outerWidth = width + frame.left() + frame.right();
    const int outerHeight = height + frame.top() + frame.bottom();
    placed_ = QPoint(std::max(available.left(),
                              std::min(preferred.x(), available.left() + available.width() - outerWidth)),
                     std::max(available.top(),
                              std::min(preferred.y(), available.top() + available.height() - outerHeight)));
    // Also where it seems to be already: right after the window manager
    // has framed the window, pos() may not yet say where the frame went,
    // and a move to the same place would be skipped.
    if (QWindow* window = windowHandle(); window && window->isVisible())
        window->setFramePosition(placed_);
    else
        move(placed_);
}

void CMainFrame::FitToScreen(QPoint preferred)
{
    QScreen* current = screen();
    if (!current)
        return;
    QMargins frame;
    if (QWindow* window = windowHandle())
        frame = window->frameMargins();
    // Before the window manager has framed the window its frame is unknown;
    // leave room for a title bar.
    const bool framed = !frame.isNull();
    if (!framed)
        frame = QMargins(0, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this), 0, 0);
    // Noted first: placing moves the window, which comes back here.
    fittedFrame_ = framed ? frame : QMargins();
    Place(current->availableGeometry(), frame, preferred);
}

void CMainFrame::RefitIfFramed()
{
    // The window manager's frame becomes known once it has framed the
    // window; fit again, where the window was placed, if the frame is not
    // the one assumed. Seen as a move or as the activation that follows.
    if (QWindow* window = windowHandle(); window && isVisible()) {
        const QMargins frame = window->frameMargins();
        if (!frame.isNull() && frame != fittedFrame_)
            FitToScreen(placed_);
    }
}

void CMainFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    RefitIfFramed();
}

void CMainFrame::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        RefitIfFramed();
}

void CMainFrame::WatchScreen(QScreen* current)
{
    disconnect(screenWatch_);
    if (current)
        screenWatch_ =
            connect(current, &QScreen::availableGeometryChanged, this, [this] { FitToScreen(pos()); });
}

void CMainFrame::showEvent(QShowEvent* event)
{
    if (QWindow* window = windowHandle(); window && !screenHooked_) {
        screenHooked_ = true;
        connect(window, &QWindow::screenChanged, this, [this](QScreen* now) {
            WatchScreen(now);
            FitToScreen(pos());
        });
        WatchScreen(window->screen());
    }
    FitToScreen(pos());
    QMainWindow::showEvent(event);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (prompts_.ConfirmExit(this)) {
        if (view_)
            view_->FinishSession();
        event->accept();
    } else
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
