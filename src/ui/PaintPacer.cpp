#include "ui/PaintPacer.h"

#include <QCoreApplication>
#include <QTimerEvent>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace qav {
namespace {

constexpr std::size_t Index(PaintPacer::Pace pace)
{
    return static_cast<std::size_t>(pace);
}

constexpr std::chrono::milliseconds Period(PaintPacer::Pace pace)
{
    return pace == PaintPacer::Pace::Motion ? PaintPacer::kMotionPeriod : PaintPacer::kReadingPeriod;
}

} // namespace

PaintPacer& PaintPacer::Instance()
{
    // A child of the application: gone with it, never after it.
    static QPointer<PaintPacer> pacer;
    if (!pacer)
        pacer = new PaintPacer(QCoreApplication::instance());
    return *pacer;
}

PaintPacer::Entry& PaintPacer::EntryFor(QWidget* widget, Pace pace)
{
    Entry& entry = pending_[widget];
    if (!entry.widget)
        entry = Entry{widget, QRect(), pace, {}};
    entry.pace = std::min(entry.pace, pace); // the quicker pace, if asked for both
    return entry;
}

void PaintPacer::Update(QWidget* widget, const QRect& rect, Pace pace)
{
    if (!widget || rect.isEmpty())
        return;
    Entry& entry = EntryFor(widget, pace);
    entry.rect |= rect;
    Schedule();
}

void PaintPacer::Update(QWidget* widget, Pace pace, std::function<QRect()> dirty)
{
    if (!widget)
        return;
    EntryFor(widget, pace).dirty = std::move(dirty);
    Schedule();
}

PaintPacer::Clock::time_point PaintPacer::Due(Pace pace) const
{
    return lastRound_[Index(pace)] + Period(pace);
}

void PaintPacer::Schedule()
{
    if (pending_.isEmpty())
        return;
    Clock::time_point due = Clock::time_point::max();
    for (const Entry& entry : std::as_const(pending_))
        due = std::min(due, Due(entry.pace));
    // Due already: once the events at hand are handled (never at once, so
    // that what the same answer changes is painted together). Not yet: the
    // next value asked for after that time brings the round, in the same
    // wake-up as its answer; the timer only catches the last of a series.
    const Clock::time_point now = now_();
    const Clock::time_point wake = due <= now ? now : due + kLastValueWait;
    // A motion waits no longer than its own pace, behind readings.
    if (timer_.isActive() && wake >= wakeAt_)
        return;
    wakeAt_ = wake;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
    timer_.start(
        static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, kReadingPeriod.count())),
        Qt::PreciseTimer, this);
}

void PaintPacer::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != timer_.timerId()) {
        QObject::timerEvent(event);
        return;
    }
    timer_.stop();
    ++turns_;
    const Clock::time_point now = now_();
    // The paces due now; with any of them, those due before the next
    // motion round, so that they share this paint.
    std::array<bool, 2> goes{};
    bool any = false;
    for (const Entry& entry : std::as_const(pending_))
        any = any || now >= Due(entry.pace);
    for (const Pace pace : {Pace::Motion, Pace::Reading})
        goes[Index(pace)] = any && now + kMotionPeriod > Due(pace);
    if (any) {
        ++rounds_;
        std::array<bool, 2> went{};
        std::vector<Entry> due;
        for (auto it = pending_.begin(); it != pending_.end();) {
            if (!goes[Index(it->pace)]) {
                ++it;
                continue;
            }
            went[Index(it->pace)] = true;
            due.push_back(std::move(it.value()));
            it = pending_.erase(it);
        }
        // Out of the table first: a widget asked may ask again.
        for (Entry& entry : due) {
            if (entry.widget && entry.dirty)
                entry.rect |= entry.dirty();
            if (entry.widget && !entry.rect.isEmpty())
                entry.widget->update(entry.rect);
        }
        for (const Pace pace : {Pace::Motion, Pace::Reading})
            if (went[Index(pace)])
                lastRound_[Index(pace)] = now;
    }
    Schedule(); // woken early (or by a clock of the tests'), or a pace still waits
}

} // namespace qav
