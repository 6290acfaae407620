#pragma once
// The main window: "QAV-NUVA Software V1.4", a fixed 1000 x 700 at (200,
// 100), no menu, no maximise button. The main screen is its only view and
// the status line sits at the bottom. Closing asks first. The keyboard
// shortcuts are taken before any control sees the key: Ctrl+N starts the
// screen afresh, Ctrl+O and Ctrl+S open and save configuration files, and
// the edit shortcuts (copy, cut, paste, undo) and F6 do nothing at all.
#include <QMainWindow>

#include <string>

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

    static QString Title() { return QStringLiteral("QAV-NUVA Software V1.4"); }

    CUARTView* View() const { return view_; }
    CInkStatusBar* StatusLine() const { return status_; }

    // Brings the window back from the task bar and to the front; another
    // copy of the program asks for this.
    void RestoreAndRaise();

    void OnNewDocument();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Shortcut { None, New, Open, Save, Plots, Inert };
    static Shortcut ShortcutFor(int key, Qt::KeyboardModifiers modifiers);

    CUARTDoc& doc_;
    IPrompts& prompts_;
    CUARTView* view_ = nullptr;
    CInkStatusBar* status_ = nullptr;
};

} // namespace qav
