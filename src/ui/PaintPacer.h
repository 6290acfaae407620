#pragma once
// Live values arrive up to 50 times a second, more often than anyone can
// read them, and every repaint of a window costs a round trip to the
// display server besides the painting. Widgets that show live values ask
// for their repaints here instead of calling update(), at one of two
// paces: motion (the attitude) at most every 50 ms, readings (numbers) at
// most every 150 ms, a little less often than the boards' first program
// showed them (about every 100 ms) and more often than a changing number
// can be read. Repaints asked for go out together, once the events at hand
// are handled, and a reading nearly due goes out with the motion's round,
// so one answer's changes make one paint. Anything else repaints as usual.
//
// A round due waits up to kLastValueWait for the next value asked for,
// which comes with an answer taken by the link's tick, so painting adds no
// wake-up of its own while answers flow. Measured: at 50 answers a second
// from the simulated gimbal swinging freely, the main window paints about
// 16 times a second instead of 50, the 3D view 14 times.
#include <QBasicTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <array>
#include <chrono>
#include <functional>

class QWidget;

namespace qav {

class PaintPacer : public QObject
{
public:
    enum class Pace { Motion, Reading };
    static constexpr std::chrono::milliseconds kMotionPeriod{50};
    static constexpr std::chrono::milliseconds kReadingPeriod{150};
    // How long after its time a repaint waits for a value that would bring
    // it without a wake-up of its own.
    static constexpr std::chrono::milliseconds kLastValueWait{20};
    using Clock = std::chrono::steady_clock;

    // The GUI thread's pacer (made on first use, owned by the application).
    static PaintPacer& Instance();
    explicit PaintPacer(QObject* parent = nullptr) : QObject(parent) {}

    // `rect` of `widget` is repainted with the next round of its pace.
    void Update(QWidget* widget, const QRect& rect, Pace pace);
    // At the next round of its pace, `widget` is asked what to repaint
    // (for work that only a paint needs, done then rather than with every
    // value).
    void Update(QWidget* widget, Pace pace, std::function<QRect()> dirty);

    // Widgets waiting for a round.
    int Pending() const { return static_cast<int>(pending_.size()); }
    // Rounds that sent repaints out, and turns of the timer (tests).
    int Rounds() const { return rounds_; }
    int Turns() const { return turns_; }
    // Where the pacer reads the time (tests move a clock of their own).
    void SetClock(std::function<Clock::time_point()> now) { now_ = std::move(now); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    struct Entry
    {
        QPointer<QWidget> widget;
        QRect rect;
        Pace pace = Pace::Motion;
        std::function<QRect()> dirty;
    };
    Entry& EntryFor(QWidget* widget, Pace pace);
    Clock::time_point Due(Pace pace) const;
    void Schedule();

    QHash<QWidget*, Entry> pending_;
    QBasicTimer timer_;
    std::function<Clock::time_point()> now_ = [] { return Clock::now(); };
    std::array<Clock::time_point, 2> lastRound_{}; // by pace
    Clock::time_point wakeAt_{};                   // of the timer running
    int rounds_ = 0;
    int turns_ = 0;
};

} // namespace qav
