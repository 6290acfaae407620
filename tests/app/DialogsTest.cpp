#include "app/Dialogs.h"

#include "gui_support/Activate.h"
#include "gui_support/QtPrinters.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace qav {
namespace {

QStringList VisibleTexts(const QWidget& dialog)
{
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

// Every pixel of a label that is not its background is pure red or a blend
// of red into the background: never another hue.
bool DrawnInRed(QLabel* label)
{
    const QImage img = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QColor bg = img.pixelColor(img.width() - 1, img.height() - 1);
    bool sawRed = false;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c == bg)
                continue;
            if (c.red() < c.green() || c.red() < c.blue())
                return false;
            sawRed = sawRed || (c.red() == 255 && c.green() == 0 && c.blue() == 0);
        }
    return sawRed;
}

TEST(ExitConfirmDlg, TextsAndRedNotices)
{
    CExitConfirmDlg dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Exit");
    EXPECT_EQ(VisibleTexts(dialog), (QStringList{"Please make sure you have written settings to flash.",
                                                 "Do you want to exit, now?"}));
    EXPECT_EQ(dialog.YesButton()->text(), "Yes");
    EXPECT_EQ(dialog.NoButton()->text(), "No");
    EXPECT_TRUE(dialog.YesButton()->isDefault());
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        EXPECT_TRUE(DrawnInRed(label)) << label->text().toStdString();
        EXPECT_FALSE(label->autoFillBackground());
    }
    EXPECT_NE(dialog.findChild<QLabel*>("1035"), nullptr);
    EXPECT_NE(dialog.findChild<QLabel*>("1038"), nullptr);
}

TEST(ExitConfirmDlg, EnterMeansYes)
{
    CExitConfirmDlg dialog;
    ASSERT_TRUE(test::ShowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ExitConfirmDlg, EscapeMeansNo)
{
    CExitConfirmDlg dialog;
    ASSERT_TRUE(test::ShowActive(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ExitConfirmDlg, ButtonsAnswer)
{
    CExitConfirmDlg yes;
    yes.show();
    QTest::mouseClick(yes.YesButton(), Qt::LeftButton);
    EXPECT_EQ(yes.result(), QDialog::Accepted);
    CExitConfirmDlg no;
    no.show();
    QTest::mouseClick(no.NoButton(), Qt::LeftButton);
    EXPECT_EQ(no.result(), QDialog::Rejected);
}

TEST(AboutDlg, Texts)
{
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "About QAV-NUVA Software");
    EXPECT_TRUE(VisibleTexts(dialog).contains("QAV-NUVA Brushless Motor Gimbal Controller Software V1.0"));
    const auto buttons = dialog.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_EQ(buttons[0]->text(), "OK");
}

TEST(ReceiverTypeDlg, OneRedLineAndOnlyOkShown)
{
    CReceiverTypeDlg dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Receiver Type Changed!");
    EXPECT_EQ(
        VisibleTexts(dialog),
        QStringList{
            "Receiver type has been changed,  please write the settings to flash and restart QAV-NUVA. "});
    EXPECT_TRUE(DrawnInRed(dialog.findChild<QLabel*>("1035")));
    QStringList shown, hidden;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        (b->isVisible() ? shown : hidden) << b->text();
    EXPECT_EQ(shown, QStringList{"OK"});
    EXPECT_EQ(hidden, QStringList{"Cancel"});
}

} // namespace
} // namespace qav
