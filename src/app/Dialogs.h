#pragma once
// The shell's small modal dialogs.
#include <QDialog>

class QLabel;
class QPushButton;

namespace qav {

// "Exit": asks before the main window closes. "Yes" accepts; "No", Esc and
// the close box reject.
class CExitConfirmDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CExitConfirmDlg(QWidget* parent = nullptr);
    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }

private:
    QPushButton* yes_;
    QPushButton* no_;
};

// "About QAV-NUVA Software".
class CAboutDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

// "Receiver Type Changed!": a notice with one OK button (its Cancel button
// exists but is never shown).
class CReceiverTypeDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CReceiverTypeDlg(QWidget* parent = nullptr);
};

// Red text on a transparent background, as the small dialogs' notices are.
QLabel* MakeNotice(int id, const QString& text, QWidget* parent);

} // namespace qav
