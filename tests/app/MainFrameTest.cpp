#include "app/MainFrame.h"
#include "app/UARTDoc.h"
#include "ui/InkStatusBar.h"
#include "view/ControlIds.h"
#include "view/UARTView.h"

#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace qav {
namespace {

class MainFrameTest : public ::testing::Test
{
protected:
    MainFrameTest() : frame_(doc_, params_, prompts_) {}

    QLineEdit* Box(int id) { return qobject_cast<QLineEdit*>(frame_.View()->Control(id)); }

    CUARTDoc doc_;
    ControllerParams params_;
    test::FakePrompts prompts_;
    CMainFrame frame_;
};

TEST_F(MainFrameTest, FixedWindowWithTitleIconAndNoMenu)
{
    frame_.show();
    EXPECT_EQ(frame_.windowTitle(), "QAV-NUVA Software V1.4");
    EXPECT_EQ(frame_.size(), QSize(1000, 700));
    EXPECT_EQ(frame_.minimumSize(), QSize(1000, 700));
    EXPECT_EQ(frame_.maximumSize(), QSize(1000, 700));
    EXPECT_EQ(frame_.pos(), QPoint(200, 100));
    EXPECT_FALSE(frame_.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(frame_.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(frame_.windowIcon().isNull());
    EXPECT_EQ(frame_.findChild<QMenuBar*>(), nullptr);
    EXPECT_EQ(frame_.centralWidget(), frame_.View());
    EXPECT_EQ(frame_.statusBar(), frame_.StatusLine());
}

TEST_F(MainFrameTest, ScreenAndStatusLineFitTheWindow)
{
    frame_.show();
    const QRect view = frame_.View()->geometry();
    const QRect status = frame_.StatusLine()->geometry();
    EXPECT_GE(view.top(), 0);
    EXPECT_LE(view.bottom(), status.top());
    EXPECT_LE(status.bottom(), frame_.height() - 1);
    EXPECT_EQ(view.size(), frame_.View()->minimumSize());
}

TEST_F(MainFrameTest, StartsNotConnected)
{
    EXPECT_EQ(frame_.StatusLine()->StatusText(), "$INKred$QAV-NUVA not connected!");
    EXPECT_EQ(frame_.StatusLine()->accessibleName(), "QAV-NUVA not connected!");
}

TEST_F(MainFrameTest, CloseAnsweredNoKeepsEverything)
{
    frame_.show();
    prompts_.confirmExit = false;
    frame_.StatusLine()->SetStatusText("$INKblue$kept");
    EXPECT_FALSE(frame_.close());
    EXPECT_EQ(prompts_.exitQuestions, 1);
    EXPECT_TRUE(frame_.isVisible());
    EXPECT_EQ(frame_.StatusLine()->StatusText(), "$INKblue$kept");

    prompts_.confirmExit = true;
    EXPECT_TRUE(frame_.close());
    EXPECT_EQ(prompts_.exitQuestions, 2);
    EXPECT_FALSE(frame_.isVisible());
}

TEST_F(MainFrameTest, EditShortcutsInABoxDoNothing)
{
    ASSERT_TRUE(test::ShowActive(&frame_));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    QLineEdit* box = Box(idc::RollTotal);
    frame_.View()->SetText(idc::RollTotal, "123");
    frame_.View()->Focus(idc::RollTotal, true);

    QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "before");
    QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(box->text(), "123");
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(box->text(), "123");
    QTest::keyClick(box, Qt::Key_4);
    QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(box->text(), "4");
    // Ordinary keys still reach the box.
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), "");
}

TEST_F(MainFrameTest, CtrlNRunsTheScreensInitialUpdateAgain)
{
    ASSERT_TRUE(test::ShowActive(&frame_));
    CUARTView* view = frame_.View();
    view->SetChecked(idc::MotorOff, false);
    view->SetChecked(idc::MotorOn, true);
    view->Enable(idc::LoadConfig, true);
    view->Values().Int(idc::RollTotal) = 321;
    view->Focus(idc::TiltTotal, false);
    QTest::keyClick(Box(idc::TiltTotal), Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(view->Checked(idc::MotorOff));
    EXPECT_FALSE(view->Enabled(idc::LoadConfig));
    EXPECT_EQ(view->Text(idc::RollTotal), "321");
    EXPECT_EQ(view->SliderPos(idc::RollTotalSlider), 321);
    EXPECT_EQ(Box(idc::TiltTotal)->text(), "0"); // the N went nowhere
}

TEST_F(MainFrameTest, RestoreAndRaiseBringsBackAMinimisedWindow)
{
    frame_.show();
    frame_.showMinimized();
    ASSERT_TRUE(frame_.isMinimized());
    frame_.RestoreAndRaise();
    EXPECT_FALSE(frame_.isMinimized());
    EXPECT_TRUE(frame_.isVisible());
}

} // namespace
} // namespace qav
