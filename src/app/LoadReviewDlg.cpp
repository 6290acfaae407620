#include "app/LoadReviewDlg.h"

#include "ui/Skin.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace qav {
namespace {

// Columns of the table of changes, marked for the dialog's context.
constexpr const char* kColumns[] = {
    QT_TRANSLATE_NOOP("qav::CLoadReviewDlg", "Key"), QT_TRANSLATE_NOOP("qav::CLoadReviewDlg", "Setting"),
    QT_TRANSLATE_NOOP("qav::CLoadReviewDlg", "Now"), QT_TRANSLATE_NOOP("qav::CLoadReviewDlg", "In the file")};
// Rows shown before the table scrolls.
constexpr int kRowsShown = 12;

QLabel* MakeText(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    SetSkinKind(label, SkinKind::StaticText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// Both forms are written out, as the text has always been.
QString Counted(qsizetype n, const QString& one, const QString& many)
{
    return n == 1 ? one : many.arg(n);
}

} // namespace

CLoadReviewDlg::CLoadReviewDlg(const LoadReview& review, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Title());
    SetSkinKind(this, SkinKind::SmallDialog);
    setAttribute(Qt::WA_StyledBackground, true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 12);
    layout->setSpacing(10);

    const QString name = QFileInfo(review.file).fileName();
    summary_ =
        MakeText(tr("Loading %1 changes %2 on the %3.\nNothing is sent before you press Apply.")
                     .arg(name.isEmpty() ? review.file : name,
                          Counted(review.changes.size(), tr("1 value"), tr("%1 values")), review.board),
                 this);
    summary_->setToolTip(review.file);
    layout->addWidget(summary_);

    changes_ = new QTableWidget(static_cast<int>(review.changes.size()), std::size(kColumns), this);
    changes_->setAccessibleName(tr("Values the file changes"));
    QStringList headers;
    for (const char* c : kColumns)
        headers << tr(c);
    changes_->setHorizontalHeaderLabels(headers);
    changes_->verticalHeader()->setVisible(false);
    changes_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    changes_->setSelectionBehavior(QAbstractItemView::SelectRows);
    changes_->setAlternatingRowColors(true);
    changes_->setWordWrap(false);
    for (int r = 0; r < review.changes.size(); ++r) {
        const ReviewedChange& c = review.changes[r];
        const QString cells[] = {c.key, c.name, c.now, c.inFile};
        for (int col = 0; col < static_cast<int>(std::size(cells)); ++col)
            changes_->setItem(r, col, new QTableWidgetItem(cells[col]));
    }
    changes_->resizeColumnsToContents();
    changes_->horizontalHeader()->setStretchLastSection(true);
    // As tall as its changes up to a screenful, then it scrolls.
    const int rows = std::min(static_cast<int>(review.changes.size()), kRowsShown);
    const int height = changes_->horizontalHeader()->sizeHint().height() +
                       rows * changes_->verticalHeader()->defaultSectionSize() + 2 * changes_->frameWidth();
    changes_->setMinimumHeight(height);
    if (rows == review.changes.size())
        changes_->setMaximumHeight(height);
    int width = 2 * changes_->frameWidth();
    for (int col = 0; col < changes_->columnCount(); ++col)
        width += changes_->columnWidth(col);
    changes_->setMinimumWidth(std::min(width + 24, 900));
    layout->addWidget(changes_, 1);

    kept_ = MakeText(Counted(review.kept.size(), tr("Not in the file, kept as they are (1): "),
                             tr("Not in the file, kept as they are (%1): ")) +
                         review.kept.join(QStringLiteral(", ")),
                     this);
    kept_->setVisible(!review.kept.isEmpty());
    layout->addWidget(kept_);
    unknown_ =
        MakeText(Counted(review.unknown.size(), tr("Not a parameter, ignored (1): "),
                         tr("Not parameters, ignored (%1): ")) +
                     review.unknown.join(QStringLiteral(", ")) +
                     (review.nearest.isEmpty() ? QString()
                                               : QLatin1Char('\n') + review.nearest.join(QLatin1Char('\n'))),
                 this);
    unknown_->setVisible(!review.unknown.isEmpty());
    layout->addWidget(unknown_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    apply_ = new QPushButton(tr("Apply"), this);
    cancel_ = new QPushButton(tr("Cancel"), this);
    for (QPushButton* b : {apply_, cancel_}) {
        SetSkinKind(b, SkinKind::PushButton);
        b->setMinimumWidth(90);
        buttons->addWidget(b);
    }
    apply_->setDefault(true);
    apply_->setFocus();
    apply_->setToolTip(tr("Load the file and send it to the %1").arg(review.board));
    cancel_->setToolTip(tr("Change nothing and send nothing"));
    layout->addLayout(buttons);
    connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace qav
