// The review dialog itself: what it lists and hides, and which of its ways
// out apply the file.
#include "app/LoadReviewDlg.h"

#include "gui_support/Activate.h"
#include "gui_support/QtPrinters.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace qav {
namespace {

const LoadReview kReview{"/home/pilot/gains.bgsc",
                         "controller",
                         {{"ROLL_TOTAL", "Roll Setting > Total Gain", "300", "7"},
                          {"RECEIVER_TYPE", "Receiver Type", "9 (DSMX-2)", "2 (Futaba SBUS)"}},
                         {"ROLL_ACC", "PITCH_ACC"},
                         {"SPEED", "ROLL_TOTL"},
                         {"ROLL_TOTL: did you mean ROLL_TOTAL?"}};

TEST(LoadReviewDlg, ListsEachChangeAndWhatTheFileLacksOrHasBeside)
{
    CLoadReviewDlg dialog(kReview);
    dialog.show();
    EXPECT_EQ(
        dialog.Summary()->text(),
        "Loading gains.bgsc changes 2 values on the controller.\nNothing is sent before you press Apply.");
    QTableWidget* table = dialog.Changes();
    ASSERT_EQ(table->rowCount(), 2);
    const QStringList headers = {"Key", "Setting", "Now", "In the file"};
    const QStringList second = {"RECEIVER_TYPE", "Receiver Type", "9 (DSMX-2)", "2 (Futaba SBUS)"};
    ASSERT_EQ(table->columnCount(), headers.size());
    for (int c = 0; c < headers.size(); ++c) {
        EXPECT_EQ(table->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(table->item(1, c)->text(), second[c]);
        // Read whole, without cutting.
        EXPECT_GE(table->columnWidth(c), table->fontMetrics().horizontalAdvance(second[c])) << c;
    }
    EXPECT_EQ(dialog.Kept()->text(), "Not in the file, kept as they are (2): ROLL_ACC, PITCH_ACC");
    // A key near a parameter says which it may have meant, on a line of its own.
    EXPECT_EQ(dialog.Unknown()->text(),
              "Not parameters, ignored (2): SPEED, ROLL_TOTL\nROLL_TOTL: did you mean ROLL_TOTAL?");
    EXPECT_TRUE(dialog.Kept()->isVisible() && dialog.Unknown()->isVisible());

    CLoadReviewDlg plain(LoadReview{"a.bgsc", "motor board", {kReview.changes[0]}, {}, {}, {}});
    plain.show();
    EXPECT_TRUE(plain.Summary()->text().startsWith("Loading a.bgsc changes 1 value on the motor board."));
    EXPECT_FALSE(plain.Kept()->isVisible() || plain.Unknown()->isVisible());
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
        {"Cancel", [](CLoadReviewDlg& d) { d.CancelButton()->click(); }, QDialog::Rejected},
        {"Escape", [](CLoadReviewDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); }, QDialog::Rejected},
    };
    for (const auto& row : rows) {
        CLoadReviewDlg dialog(kReview);
        ASSERT_TRUE(test::ShowActive(&dialog)) << row.way;
        dialog.setResult(-1);
        row.act(dialog);
        EXPECT_EQ(dialog.result(), row.result) << row.way;
        EXPECT_FALSE(dialog.isVisible()) << row.way;
    }
}

} // namespace
} // namespace qav
