#include "ui/PaintPacer.h"

#include "gui_support/WaitUntil.h"

#include <QEvent>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <map>

namespace qav {
namespace {

using namespace std::chrono_literals;
using Pace = PaintPacer::Pace;

// Counts the paints of the widgets it watches.
class Paints : public QObject
{
public:
    std::map<QObject*, int> count;
    void Watch(QWidget* w) { w->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count[watched];
        return false;
    }
};

TEST(PaintPacer, MotionAndReadingsKeepTheirPacesAndShareRounds)
{
    PaintPacer pacer;
    // The pacer's clock moves only when the test moves it.
    PaintPacer::Clock::time_point now = PaintPacer::Clock::now();
    pacer.SetClock([&] { return now; });
    constexpr auto motionPeriod = PaintPacer::kMotionPeriod, readingPeriod = PaintPacer::kReadingPeriod;
    // The steps below need a reading's period to span two motion rounds
    // and a little more.
    static_assert(2 * motionPeriod + 30ms <= readingPeriod);
    QWidget screen;
    screen.resize(200, 100);
    auto* attitude = new QWidget(&screen);
    auto* reading = new QWidget(&screen);
    attitude->setGeometry(0, 0, 100, 100);
    reading->setGeometry(100, 0, 100, 100);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen, static_cast<int>(test::kPatience.count())));
    Paints paints;
    paints.Watch(attitude);
    paints.Watch(reading);
    const auto ask = [&] {
        pacer.Update(attitude, attitude->rect(), Pace::Motion);
        pacer.Update(reading, reading->rect(), Pace::Reading);
    };
    const auto settle = [&] {
        // A turn of the pacer's timer at the time set, then the paints it asked for.
        const int turns = pacer.Turns();
        EXPECT_TRUE(test::WaitUntil([&] { return pacer.Turns() > turns; }));
        QCoreApplication::processEvents();
    };

    // Both at once, first: one round.
    ask();
    EXPECT_TRUE(test::WaitUntil([&] { return paints.count[attitude] == 1 && paints.count[reading] == 1; }));
    EXPECT_EQ(pacer.Rounds(), 1);

    const struct
    {
        std::chrono::milliseconds later; // the clock moved before the timer's next turn
        int attitudePaints, readingPaints, pending;
    } steps[] = {
        {0ms, 1, 1, 2},                // too soon for either
        {motionPeriod - 1ms, 1, 1, 2}, // the motion's period not yet over
        {1ms, 2, 1, 1},                // the motion goes; the reading waits
        {readingPeriod - motionPeriod - 30ms, 2, 1,
         1}, // nothing asked of the motion: the reading waits for its own time
        {29ms, 2, 1, 1},
        {1ms, 2, 2, 0}, // a reading's period after the last reading
    };
    ask();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.later.count());
        now += step.later;
        settle();
        EXPECT_EQ(paints.count[attitude], step.attitudePaints);
        EXPECT_EQ(paints.count[reading], step.readingPaints);
        EXPECT_EQ(pacer.Pending(), step.pending);
    }

    // A reading due before the motion's next round goes with this one.
    now += motionPeriod; // the reading is due after the next motion round
    ask();
    EXPECT_TRUE(test::WaitUntil([&] { return paints.count[attitude] == 3; }));
    EXPECT_EQ(paints.count[reading], 2);
    now += readingPeriod - motionPeriod - 30ms; // the reading is due in 30 ms, before the next motion round
    ask();
    EXPECT_TRUE(test::WaitUntil([&] { return paints.count[attitude] == 4; }));
    EXPECT_EQ(paints.count[reading], 3);
    EXPECT_EQ(pacer.Pending(), 0);

    // A widget gone while it waits is left out.
    pacer.Update(reading, reading->rect(), Pace::Reading);
    delete reading;
    now += 200ms;
    EXPECT_TRUE(test::WaitUntil([&] { return pacer.Pending() == 0; }));
}

} // namespace
} // namespace qav
