#include "ui/Show3D.h"

#include <QFrame>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>

namespace qav {
namespace {

QImage Render(QAVShow3DLibExp& display)
{
    return display.View()->grab().toImage();
}

TEST(Show3D, DrawsInsideItsHostAndFollowsTheAttitude)
{
    QFrame host;
    host.resize(240, 200);
    QAVShow3DLibExp display;
    display.Init(&host, 0, 0.8);
    ASSERT_NE(display.View(), nullptr);
    EXPECT_EQ(display.View()->parentWidget(), &host);

    display.Update(0, 0, 0);
    const QImage level = Render(display);
    display.Update(30, 0, 0);
    const QImage rolled = Render(display);
    display.Update(0, -40, 0);
    const QImage tilted = Render(display);
    display.Update(360, 0, 0);
    const QImage fullTurn = Render(display);

    EXPECT_NE(level, rolled);
    EXPECT_NE(level, tilted);
    EXPECT_NE(rolled, tilted);
    EXPECT_EQ(level, fullTurn);
    // Something other than the background is drawn in the middle.
    EXPECT_NE(level.pixelColor(120, 100), level.pixelColor(2, 2));
}

TEST(Show3D, FollowsHostResizeAndSurvivesHostDeletion)
{
    auto host = std::make_unique<QFrame>();
    host->resize(100, 80);
    QAVShow3DLibExp display;
    display.Init(host.get(), 0, 0.8);
    host->show();
    host->resize(300, 150);
    EXPECT_EQ(display.View()->size(), host->contentsRect().size());
    host.reset();
    EXPECT_EQ(display.View(), nullptr);
    display.Update(10, 10, 10); // must not touch the deleted view
}

TEST(Show3D, UpdateBeforeInitIsHarmless)
{
    QAVShow3DLibExp display;
    display.Update(1, 2, 3);
    EXPECT_EQ(display.View(), nullptr);
}

} // namespace
} // namespace qav
