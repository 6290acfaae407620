#include "ui/Show3D.h"

#include <QAccessible>
#include <QFrame>
#include <QImage>

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <memory>
#include <tuple>

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

namespace qav {
namespace {

// The shown view draws the model anew only where it moved; what it shows
// must match a fresh view given the same attitude, or the last one drawn
// when the turn since is too small to see.
TEST(Show3D, ShownPictureMatchesAFreshDrawing)
{
    struct Case
    {
        const char* name;
        std::array<double, 3> from, to;
        bool sameAsFrom; // the turn moves no corner by half a pixel
    };
    const Case cases[] = {
        {"large roll", {0, 0, 0}, {35, 0, 0}, false},
        {"tilt and pan", {10, -5, 20}, {10, 30, -60}, false},
        {"back and forth", {-40, 25, -90}, {0, 0, 0}, false},
        {"a hundredth of a degree", {5, 5, 5}, {5.01, 5.01, 5}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto draw = [](std::initializer_list<std::array<double, 3>> attitudes) {
            QFrame host;
            host.resize(320, 260);
            QAVShow3DLibExp display;
            display.Init(&host, 0, 0.8);
            host.show();
            QImage last;
            for (const auto& a : attitudes) {
                display.Update(a[0], a[1], a[2]);
                last = Render(display);
            }
            return last;
        };
        const QImage stepped = draw({c.from, c.to});
        EXPECT_EQ(stepped, draw({c.sameAsFrom ? c.from : c.to}));
        if (!c.sameAsFrom) {
            EXPECT_NE(stepped, draw({c.from}));
        }
    }
}

TEST(Show3D, HiddenViewShowsTheLatestAttitudeWhenShown)
{
    QFrame host;
    host.resize(240, 200);
    QAVShow3DLibExp display;
    display.Init(&host, 0, 0.8);
    host.show();
    display.Update(0, 0, 0);
    Render(display);
    host.hide();
    display.Update(30, -20, 45);
    host.show();
    const QImage shown = Render(display);

    QFrame freshHost;
    freshHost.resize(240, 200);
    QAVShow3DLibExp fresh;
    fresh.Init(&freshHost, 0, 0.8);
    freshHost.show();
    fresh.Update(30, -20, 45);
    EXPECT_EQ(shown, Render(fresh));
}

TEST(Show3D, AssistiveToolsReadTheAttitudeShown)
{
    QFrame host;
    host.resize(240, 200);
    QAVShow3DLibExp display;
    display.Init(&host, 0, 0.8);
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(display.View());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), QStringLiteral("3D attitude display"));
    for (const auto& [roll, tilt, pan, said] :
         {std::tuple{0.0, 0.0, 0.0, "Roll 0.0, tilt 0.0, pan 0.0 degrees"},
          std::tuple{12.34, -40.05, 179.96, "Roll 12.3, tilt -40.0, pan 180.0 degrees"}}) {
        display.Update(roll, tilt, pan);
        EXPECT_EQ(a->text(QAccessible::Description), QString::fromUtf8(said));
    }
}

} // namespace
} // namespace qav
