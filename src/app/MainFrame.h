#pragma once
// The main window: "QAV-NUVA Software V1.4", a fixed 1000 x 700 at (200,
// 100), no menu, no maximise button. The main screen is its only view and
// the status line sits at the bottom. The window stays inside its screen's
// available area: on a screen too small for it, it shrinks to the area and
// the screen scrolls above the status line, so every control stays
// reachable. Closing asks first. The keyboard
// shortcuts are taken before any control sees the key: Ctrl+N starts the
// screen afresh, Ctrl+O and Ctrl+S open and save configuration files, and
// the edit shortcuts (copy, cut, paste, undo) and F6 do nothing at all.
#include <QMainWindow>
#include <QMargins>
#include <QRect>

#include <string>

class QScreen;
class QScrollArea;

namespace qav {

class CInkStatusBar;
class CUARTDoc;
class CUARTView;
class IPrompts;
struct ControllerParams;

class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 700;
    static constexpr int kLeft = 200;
    static constexpr int kTop = 100;

    // `startupDirectory` holds the settings file (empty: none is used).
    CMainFrame(CUARTDoc& doc, ControllerParams& params, IPrompts& prompts, QWidget* parent = nullptr,
               const std::string& startupDirectory = {});
    ~CMainFrame() override;

    static QString Title() { return tr("QAV-NUVA Software V1.4"); }

    CUARTView* View() const { return view_; }
    // The scrolling area that holds the main screen.
    QScrollArea* ViewArea() const { return viewArea_; }
    CInkStatusBar* StatusLine() const { return status_; }

    // Brings the window back from the task bar and to the front; another
    // copy of the program asks for this.
    void RestoreAndRaise();

    void OnNewDocument();

    // Sizes and places the window inside `available` (a screen's available
    // area), given the window manager's frame around it: 1000 x 700 where
    // that fits, less where it does not; moved only as far as needed to
    // lie inside. Done on every show and when the screen or its area
    // changes.
    void FitInto(const QRect& available, const QMargins& frame);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Shortcut { None, New, Open, Save, Plots, Inert };
    static Shortcut ShortcutFor(int key, Qt::KeyboardModifiers modifiers);
    void FitToScreen(QPoint preferred);
    void RefitIfFramed();
    void Place(const QRect& available, const QMargins& frame, QPoint preferred);
    void WatchScreen(QScreen* screen);

    CUARTDoc& doc_;
    IPrompts& prompts_;
    CUARTView* view_ = nullptr;
    QScrollArea* viewArea_ = nullptr;
    bool screenHooked_ = false;
    QMargins fittedFrame_;       // the frame the window was last fitted with; null when assumed
    QPoint placed_{kLeft, kTop}; // where the window was last put
    QMetaObject::Connection screenWatch_;
    CInkStatusBar* status_ = nullptr;
};

} // namespace qav
