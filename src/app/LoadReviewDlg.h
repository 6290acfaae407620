#pragma once
// The review before a configuration file is loaded into a connected board:
// each value the file changes (key, the screen's name, the value now, the
// value in the file), the keys it lacks (kept) and those that are no
// parameter (ignored), with the parameter each near one may have meant.
// "Apply" accepts; "Cancel", Escape and the close box reject, and nothing
// is sent.
#include "ui/Prompts.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

namespace qav {

class CLoadReviewDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CLoadReviewDlg(const LoadReview& review, QWidget* parent = nullptr);

    static QString Title() { return tr("Review config file"); }

    QLabel* Summary() const { return summary_; }
    QTableWidget* Changes() const { return changes_; }
    QLabel* Kept() const { return kept_; }       // hidden when the file has every key
    QLabel* Unknown() const { return unknown_; } // hidden when it has no other key
    QPushButton* ApplyButton() const { return apply_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QLabel* summary_;
    QTableWidget* changes_;
    QLabel* kept_;
    QLabel* unknown_;
    QPushButton* apply_;
    QPushButton* cancel_;
};

} // namespace qav
