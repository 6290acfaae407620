// The review dialog itself: what it lists, what it hides, and which of its
// ways out apply the file.
#include "app/LoadReviewDlg.h"

#include "gui_support/Activate.h"
#include "gui_support/QtPrinters.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace qav {
namespace {

LoadReview Review()
{
    LoadReview r;
    r.file = QStringLiteral("/home/pilot/gains.bgsc");
    r.board = QStringLiteral("controller");
    r.changes = {{"ROLL_TOTAL", "Roll Setting > Total Gain", "300", "7"},
                 {"RECEIVER_TYPE", "Receiver Type", "9 (DSMX-2)", "2 (Futaba SBUS)"}};
    r.kept = {"ROLL_ACC", "PITCH_ACC"};
    r.unknown = {"SPEED"};
    return r;
}

TEST(LoadReviewDlg, ListsEachChangeAndWhatTheFileLacksOrHasBeside)
{
    CLoadReviewDlg dialog(Review());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), CLoadReviewDlg::Title());
    EXPECT_EQ(dialog.Summary()->text(),
              "Loading gains.bgsc changes 2 values on the controller.\nNothing is sent before you press Apply.");
    QTableWidget* table = dialog.Changes();
    ASSERT_EQ(table->rowCount(), 2);
    ASSERT_EQ(table->columnCount(), 4);
    QStringList headers;
    for (int c = 0; c < 4; ++c)
        headers << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{"Key", "Setting", "Now", "In the file"}));
    const QStringList second = {"RECEIVER_TYPE", "Receiver Type", "9 (DSMX-2)", "2 (Futaba SBUS)"};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(table->item(1, c)->text(), second[c]);
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(table->accessibleName().isEmpty());
    // Every change can be read without scrolling or cutting.
    for (int c = 0; c < 4; ++c)
        EXPECT_GE(table->columnWidth(c), table->fontMetrics().horizontalAdvance(second[c])) << c;
    EXPECT_TRUE(dialog.Kept()->isVisible());
    EXPECT_EQ(dialog.Kept()->text(), "Not in the file, kept as they are (2): ROLL_ACC, PITCH_ACC");
    EXPECT_TRUE(dialog.Unknown()->isVisible());
    EXPECT_EQ(dialog.Unknown()->text(), "Not a parameter, ignored (1): SPEED");

    LoadReview whole = Review();
    whole.changes.resize(1);
    whole.kept.clear();
    whole.unknown.clear();
    CLoadReviewDlg plain(whole);
    plain.show();
    EXPECT_TRUE(plain.Summary()->text().contains("changes 1 value on"));
    EXPECT_FALSE(plain.Kept()->isVisible());
    EXPECT_FALSE(plain.Unknown()->isVisible());
}

TEST(LoadReviewDlg, OnlyApplyAppliesTheFile)
{
    const struct
    {
        const char* way;
        std::function<void(CLoadReviewDlg&)> act;
        int result;
    } rows[] = {
        {"Apply", [](CLoadReviewDlg& d) { d.ApplyButton()->click(); }, QDialog::Accepted},
        {"Enter", [](CLoadReviewDlg& d) { QTest::keyClick(&d, Qt::Key_Return); }, QDialog::Accepted},
        {"Cancel", [](CLoadReviewDlg& d) { d.CancelButton()->click(); }, QDialog::Rejected},
        {"Escape", [](CLoadReviewDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
        {"close box", [](CLoadReviewDlg& d) { d.close(); }, QDialog::Rejected},
    };
    for (const auto& row : rows) {
        CLoadReviewDlg dialog(Review());
        ASSERT_TRUE(test::ShowActive(&dialog)) << row.way;
        dialog.setResult(-1);
        row.act(dialog);
        EXPECT_EQ(dialog.result(), row.result) << row.way;
        EXPECT_FALSE(dialog.isVisible()) << row.way;
    }
}

} // namespace
} // namespace qav
