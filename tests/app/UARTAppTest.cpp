#include "app/UARTApp.h"
#include "app/MainFrame.h"

#include "gui_support/FakePrompts.h"
#include "gui_support/WaitUntil.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace qav {
namespace {

std::string TestInstanceName(const char* what)
{
    return "qav-app-test-" + std::string(what) + "-" + std::to_string(QCoreApplication::applicationPid());
}

TEST(UARTApp, FirstCopyOpensTheMainWindow)
{
    test::FakePrompts prompts;
    CUARTApp app(prompts, TestInstanceName("first"));
    ASSERT_TRUE(app.InitInstance());
    ASSERT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->isVisible());
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(app.StartupDirectory(),
              (QDir::toNativeSeparators(QDir::currentPath()) + QDir::separator()).toStdString());
}

TEST(UARTApp, SecondCopyRaisesTheFirstSaysSoAndMakesNoWindow)
{
    const std::string name = TestInstanceName("second");
    test::FakePrompts firstPrompts, secondPrompts;
    CUARTApp first(firstPrompts, name);
    ASSERT_TRUE(first.InitInstance());
    first.MainFrame()->showMinimized();
    ASSERT_TRUE(first.MainFrame()->isMinimized());

    CUARTApp second(secondPrompts, name);
    EXPECT_FALSE(second.InitInstance());
    EXPECT_EQ(second.MainFrame(), nullptr);
    ASSERT_EQ(secondPrompts.messages.size(), 1);
    EXPECT_EQ(secondPrompts.messages[0].text, "Program has exised!");
    EXPECT_EQ(secondPrompts.messages[0].caption, "QAV-NUVA");
    EXPECT_EQ(secondPrompts.messages[0].buttons, MessageButtons::Ok);

    // The first copy hears about it through its event loop.
    EXPECT_TRUE(test::WaitUntil([&] { return !first.MainFrame()->isMinimized(); }));
    EXPECT_TRUE(first.MainFrame()->isVisible());
    EXPECT_TRUE(firstPrompts.messages.isEmpty());
}

TEST(UARTApp, ClosingTheWindowAnsweredYesDestroysIt)
{
    test::FakePrompts prompts;
    CUARTApp app(prompts, TestInstanceName("close"));
    ASSERT_TRUE(app.InitInstance());
    QPointer<CMainFrame> frame = app.MainFrame();
    prompts.confirmExit = false;
    frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(frame.isNull());
    prompts.confirmExit = true;
    frame->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.isNull());
    EXPECT_EQ(app.MainFrame(), nullptr);
}

TEST(UARTApp, AboutCommandShowsTheAboutBox)
{
    test::FakePrompts prompts;
    CUARTApp app(prompts, TestInstanceName("about"));
    ASSERT_TRUE(app.InitInstance());
    app.OnAppAbout();
    EXPECT_EQ(prompts.abouts, 1);
}

} // namespace
} // namespace qav
