#include "app/MainFrame.h"
#include "app/UARTDoc.h"
#include "ui/InkStatusBar.h"
#include "view/ControlIds.h"
#include "view/MainScreenTable.h"
#include "view/ScreenValues.h"
#include "view/UARTView.h"

#include "files/SettingsFile.h"
#include "gui_support/Activate.h"
#include "gui_support/FakePrompts.h"
#include "support/TempDir.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <filesystem>
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
    frame_.FitInto(QRect(0, 0, 1920, 1080), QMargins(1, 30, 1, 1));
    EXPECT_EQ(frame_.windowTitle(), "QAV-NUVA Software V1.4");
    EXPECT_EQ(frame_.size(), QSize(1000, 700));
    EXPECT_EQ(frame_.minimumSize(), QSize(1000, 700));
    EXPECT_EQ(frame_.maximumSize(), QSize(1000, 700));
    EXPECT_EQ(frame_.pos(), QPoint(200, 100));
    EXPECT_FALSE(frame_.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(frame_.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(frame_.windowIcon().isNull());
    EXPECT_EQ(frame_.findChild<QMenuBar*>(), nullptr);
    EXPECT_EQ(frame_.centralWidget(), frame_.ViewArea());
    EXPECT_EQ(frame_.ViewArea()->widget(), frame_.View());
    EXPECT_EQ(frame_.statusBar(), frame_.StatusLine());
}

TEST_F(MainFrameTest, ScreenAndStatusLineFitTheWindow)
{
    frame_.show();
    frame_.FitInto(QRect(0, 0, 1920, 1080), QMargins());
    QApplication::processEvents();
    const QRect area = frame_.ViewArea()->geometry();
    const QRect status = frame_.StatusLine()->geometry();
    EXPECT_GE(area.top(), 0);
    EXPECT_LE(area.bottom(), status.top());
    EXPECT_LE(status.bottom(), frame_.height() - 1);
    // Full size: the whole screen shows, nothing scrolls.
    const QSize shown = frame_.ViewArea()->viewport()->size();
    EXPECT_EQ(shown.expandedTo(frame_.View()->size()), shown);
    EXPECT_FALSE(frame_.ViewArea()->verticalScrollBar()->isVisible());
    EXPECT_FALSE(frame_.ViewArea()->horizontalScrollBar()->isVisible());
}

// Where the window lands on screens of several sizes, frame included. A
// window that scrolls vertically is a scroll bar wider where there is room.
TEST_F(MainFrameTest, WindowIsPlacedInsideTheAvailableArea)
{
    const struct
    {
        const char* what;
        QRect available;
        QMargins frame;
        QSize size;
        QPoint pos;
        int barsInWidth, barsInX;
    } cases[] = {
        {"large screen", {0, 0, 1920, 1080}, {1, 30, 1, 1}, {1000, 700}, {200, 100}, 0, 0},
        {"1366x768, top panel", {0, 28, 1366, 740}, {0, 30, 0, 0}, {1000, 700}, {200, 38}, 0, 0},
        {"1366x768, bottom panel", {0, 0, 1366, 720}, {0, 30, 0, 0}, {1000, 690}, {200, 0}, 1, 0},
        {"1366x768 at 125 %", {0, 0, 1093, 614}, {0, 30, 0, 0}, {1000, 584}, {93, 0}, 1, -1},
        {"800x600", {0, 0, 800, 600}, {2, 2, 2, 2}, {796, 596}, {0, 0}, 0, 0},
        {"second monitor", {1920, 0, 1280, 1024}, {0, 30, 0, 0}, {1000, 700}, {1920, 100}, 0, 0},
        {"left panel", {250, 0, 1670, 1080}, {0, 30, 0, 0}, {1000, 700}, {250, 100}, 0, 0},
        {"tiny", {0, 0, 200, 100}, {0, 0, 0, 0}, {320, 240}, {0, 0}, 0, 0},
    };
    for (const auto& c : cases) {
        CMainFrame frame(doc_, params_, prompts_);
        const int bar = frame.ViewArea()->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        const QSize size(c.size.width() + c.barsInWidth * bar, c.size.height());
        frame.FitInto(c.available, c.frame);
        EXPECT_EQ(frame.size(), size) << c.what;
        EXPECT_EQ(frame.minimumSize(), size) << c.what;
        EXPECT_EQ(frame.maximumSize(), size) << c.what;
        EXPECT_EQ(frame.pos(), c.pos + QPoint(c.barsInX * bar, 0)) << c.what;
    }
}

TEST_F(MainFrameTest, ShownWindowLiesInsideItsScreen)
{
    frame_.show();
    QScreen* screen = frame_.screen();
    ASSERT_NE(screen, nullptr);
    const QRect available = screen->availableGeometry();
    const QRect outer = frame_.frameGeometry();
    EXPECT_TRUE(available.contains(outer))
        << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
}

// 1366x768 at 125 % text leaves 1093x614: every control can be scrolled
// into view, and Tab scrolls the focused one in on its own.
TEST_F(MainFrameTest, SmallScreenScrollsEveryControlIntoReach)
{
    ASSERT_TRUE(test::ShowActive(&frame_));
    frame_.FitInto(QRect(0, 0, 1093, 614), QMargins(0, 30, 0, 0));
    QApplication::processEvents();
    QScrollArea* area = frame_.ViewArea();
    QWidget* viewport = area->viewport();
    EXPECT_TRUE(area->verticalScrollBar()->isVisible());
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
    // The status line stays in the window.
    EXPECT_TRUE(frame_.rect().contains(frame_.StatusLine()->geometry()));
    EXPECT_TRUE(frame_.StatusLine()->isVisible());

    const auto shownRect = [&](QWidget* w) { return QRect(w->mapTo(viewport, QPoint(0, 0)), w->size()); };
    for (const ControlRow& row : MainScreenControls()) {
        QWidget* w = frame_.View()->Control(row.id);
        if (row.hidden || row.type == ControlType::Group)
            continue;
        area->ensureWidgetVisible(w, 0, 0);
        EXPECT_TRUE(viewport->rect().contains(shownRect(w))) << row.id;
    }

    area->verticalScrollBar()->setValue(0);
    frame_.View()->Focus(idc::RollTotal, false);
    QWidget* focused = QApplication::focusWidget();
    ASSERT_EQ(focused, frame_.View()->Control(idc::RollTotal));
    bool reachedBottom = false;
    for (int i = 0; i < 80 && !reachedBottom; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        ASSERT_NE(now, nullptr);
        if (frame_.View()->isAncestorOf(now)) {
            EXPECT_TRUE(viewport->rect().contains(shownRect(now)))
                << frame_.View()->IdOf(now) << " focused out of sight";
            reachedBottom = frame_.View()->IdOf(now) == idc::MotorConfiguration;
        }
    }
    EXPECT_TRUE(reachedBottom);
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

namespace qav {
namespace {

struct WindowEndRow
{
    const char* name;
    bool confirmed;
    const char* text; // left in the first exchanged box
    bool settingsWritten;
    std::size_t messages; // shown while the window is still whole
};

class WindowEndRows : public ::testing::TestWithParam<WindowEndRow>
{
};

TEST_P(WindowEndRows, ConfirmedCloseReadsTheBoxesAndStoresTheSettingsOnce)
{
    const WindowEndRow& row = GetParam();
    test::TempDir dir;
    const std::string startup = dir.path().string() + "/";
    CUARTDoc doc;
    ControllerParams params;
    test::FakePrompts prompts;
    prompts.confirmExit = row.confirmed;
    bool windowWholeAtMessage = true;
    {
        CMainFrame frame(doc, params, prompts, nullptr, startup);
        prompts.onMessage = [&] {
            windowWholeAtMessage = frame.View()->Control(kExchangeOrder[0].box) != nullptr;
        };
        frame.show();
        qobject_cast<QLineEdit*>(frame.View()->Control(kExchangeOrder[0].box))
            ->setText(QString::fromUtf8(row.text));
        EXPECT_EQ(frame.close(), row.confirmed);
        EXPECT_EQ(std::filesystem::exists(SettingsFilePath(startup)), row.settingsWritten);
        EXPECT_EQ(prompts.messages.size(), row.messages);
        prompts.onMessage = nullptr;
    }
    // Destroying the window keeps the COM choice but reads no box.
    EXPECT_TRUE(std::filesystem::exists(SettingsFilePath(startup)));
    EXPECT_EQ(prompts.messages.size(), row.messages);
    EXPECT_TRUE(windowWholeAtMessage);
}

INSTANTIATE_TEST_SUITE_P(Closes, WindowEndRows,
                         ::testing::Values(WindowEndRow{"Declined", false, "12", false, 0},
                                           WindowEndRow{"Confirmed", true, "12", true, 0},
                                           WindowEndRow{"ConfirmedWithABadBox", true, "x", true, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qav
