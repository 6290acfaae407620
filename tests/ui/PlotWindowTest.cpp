// The live plot window's charts on their own: one time at one x in all
// three, whatever their legends and values, and the readout on the axes'
// time base.
#include "ui/PlotWindow.h"

#include "gui_support/FakePrompts.h"

#include <QTest>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <gtest/gtest.h>

#include <cmath>

namespace qav {
namespace {

using namespace std::chrono_literals;

// Three charts whose labels and legends differ in width: attitude in the
// hundreds, RC channels with five legend entries, accelerations in hundredths.
TelemetrySample SampleAt(int i)
{
    TelemetrySample s;
    s.roll = static_cast<float>(170.0 * std::sin(i * 0.05));
    s.tilt = -90.0f;
    s.pan = static_cast<float>(i % 360 - 180);
    s.live.rcRoll = static_cast<std::int8_t>(i % 200 - 100);
    s.live.rcMode = -100;
    s.live.accX = static_cast<std::int16_t>(i % 7);
    s.live.accZ = 100;
    return s;
}

struct AlignRow
{
    const char* name;
    int width;
    int windowSeconds;
};
void PrintTo(const AlignRow& row, std::ostream* os)
{
    *os << row.name;
}

class PlotAlignment : public ::testing::TestWithParam<AlignRow>
{
};

TEST_P(PlotAlignment, OneTimeLiesAtOneXInAllThreeCharts)
{
    const AlignRow row = GetParam();
    test::FakePrompts prompts;
    PlotWindow plots(prompts);
    plots.resize(row.width, 760);
    plots.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plots));
    const auto start = PlotWindow::Clock::now();
    for (int i = 0; i < 600; ++i)
        plots.AddSample(SampleAt(i), start + i * 20ms);
    plots.SetWindowSeconds(row.windowSeconds);
    plots.Refresh();

    // Where the time -2 s and the newest answer are drawn, in the window.
    auto windowX = [&](int group, double t) {
        QChart* chart = plots.Chart(group);
        auto* view = qobject_cast<QChartView*>(chart->scene()->views().front());
        const QPointF inChart = chart->mapToPosition(QPointF(t, 0), chart->series().front());
        return view->mapTo(&plots, view->mapFromScene(chart->mapToScene(inChart))).x();
    };
    for (double t : {-2.0, 0.0}) {
        for (int g = 1; g < PlotWindow::kGroups; ++g)
            EXPECT_NEAR(windowX(g, t), windowX(0, t), 1) << "chart " << g << " at t " << t;
    }
    for (int g = 1; g < PlotWindow::kGroups; ++g) {
        EXPECT_DOUBLE_EQ(plots.Chart(g)->plotArea().left(), plots.Chart(0)->plotArea().left());
        EXPECT_DOUBLE_EQ(plots.Chart(g)->plotArea().right(), plots.Chart(0)->plotArea().right());
    }

    // The readout names a point by the time its axis shows.
    const QPointF point = plots.Series(0)->at(plots.Series(0)->count() / 2);
    plots.ShowValuesAt(point.x());
    EXPECT_TRUE(plots.ValuesText().startsWith(QStringLiteral("t %1 s").arg(point.x(), 0, 'f', 2)))
        << plots.ValuesText().toStdString();
    EXPECT_LT(point.x(), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, PlotAlignment,
                         ::testing::Values(AlignRow{"Default", 900, 30}, AlignRow{"Narrow", 640, 10},
                                           AlignRow{"Wide", 1400, 60}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qav
