// Measures how closely the main screen follows the simulated controller
// (a measuring program for scripts/measure-link.sh, not a test; figures vary
// with the machine):
//  - "Open COM Port" to "QAV-NUVA connected successfully!" and to "All
//    parameters updated!", as the screen shows them;
//  - over the following seconds, telemetry answers dispatched against new
//    values painted by the live boxes and by the 3D attitude display.
// Usage: link_follow [SECONDS] [--pace]   (needs a display or
// QT_QPA_PLATFORM=offscreen; uses $QAV_NUVA_PORTS_DIR for the alias)
#include "Simulator.h"
#include "app/ShellPrompts.h"
#include "protocol/ControllerResults.h"
#include "ui/LiveBox.h"
#include "ui/Skin.h"
#include "ui/StatusLine.h"
#include "view/ControlIds.h"
#include "view/UARTView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cstdio>
#include <string>

namespace {

using namespace qav;

constexpr int kCom = 213;

class TimedStatus : public IStatusLine
{
public:
    explicit TimedStatus(const QElapsedTimer& clock) : clock_(clock) {}
    void SetStatusText(const QString& text) override
    {
        if (!seen.contains(text))
            seen.insert(text, clock_.nsecsElapsed());
    }
    void SetProgress(int) override {}
    void SetStatusDetails(const QString&) override {}
    QMap<QString, qint64> seen; // first time each message was shown, ns

private:
    const QElapsedTimer& clock_;
};

// The main screen with a count of the telemetry answers it dispatched and
// of the answers that brought a value other than the one before (what a
// screen that follows every answer would show anew).
class CountingView : public CUARTView
{
public:
    using CUARTView::CUARTView;
    int telemetry = 0;
    int newAccel = 0;
    int newRoll = 0;
    int newAttitude = 0;

protected:
    void OnTelemetry(const ControllerTelemetry& t) override
    {
        ++telemetry;
        const ControllerLinkState& s = Link();
        const std::string accel = ChannelText(kChannelAx, t.Value(kChannelAx));
        const std::string roll = ChannelText(kChannelRoll, s.roll);
        newAccel += accel != lastAccel_;
        newRoll += roll != lastRoll_;
        newAttitude += s.roll != lastAttitude_[0] || s.tilt != lastAttitude_[1] || s.pan != lastAttitude_[2];
        lastAccel_ = accel;
        lastRoll_ = roll;
        lastAttitude_ = {s.roll, s.tilt, s.pan};
        CUARTView::OnTelemetry(t);
    }

private:
    std::string lastAccel_, lastRoll_;
    std::array<float, 3> lastAttitude_{};
};

// Counts paints of a widget, and of a box the paints that showed a text
// other than the one painted before.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* w) : widget_(w) { w->installEventFilter(this); }
    int paints = 0;
    int newValues = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            ++paints;
            // A live box paints the value it was given last.
            QString shown;
            if (auto* live = qobject_cast<CLiveBox*>(widget_))
                shown = live->LiveText();
            else if (auto* box = qobject_cast<QLineEdit*>(widget_))
                shown = box->text();
            if (shown != last_)
                ++newValues;
            last_ = shown;
        }
        return false;
    }

private:
    QWidget* widget_;
    QString last_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ApplySkin(); // painting costs what it costs in the program
    double seconds = 10;
    bool pace = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--pace")
            pace = true;
        else
            seconds = QByteArray(argv[i]).toDouble();
    }
    QTemporaryDir dir;
    sim::SimulatorConfig config;
    config.controllerCom = kCom;
    config.paceOutput = pace;
    config.flashPath = dir.filePath(QStringLiteral("flash.bgsc")).toStdString();
    sim::Simulator simulator(config);
    if (const Result started = simulator.Start(); !started) {
        std::fprintf(stderr, "link_follow: %s\n", started.message.c_str());
        return 1;
    }

    QElapsedTimer clock;
    TimedStatus status(clock);
    ControllerParams params;
    ShellPrompts prompts; // never asked: nothing here prompts
    CountingView view(params, &status, prompts);
    view.OnInitialUpdate();
    view.show();
    QTest::qWait(500); // first paints done

    PaintCounter accel(view.Control(idc::AccelX));
    PaintCounter rcMode(view.Control(idc::RcMode));
    PaintCounter roll(view.Control(idc::AttitudeRoll));
    QWidget* area = view.Control(idc::AttitudeArea);
    QWidget* display = area ? area->findChild<QWidget*>() : nullptr;
    PaintCounter show3d(display ? display : area);

    const QString connected = QStringLiteral("$INKblue$QAV-NUVA connected successfully!");
    const QString updated = QStringLiteral("$INKblue$All parameters updated!");
    clock.start();
    if (!view.ConnectTo(kCom)) {
        std::fprintf(stderr, "link_follow: COM%d is not listed\n", kCom);
        return 1;
    }
    if (!QTest::qWaitFor([&] { return status.seen.contains(updated); }, 5000)) {
        std::fprintf(stderr, "link_follow: the read-back never ended\n");
        return 1;
    }
    QTest::qWait(300); // past the first polls
    const int telemetry0 = view.telemetry;
    const int offeredAccel0 = view.newAccel, offeredRoll0 = view.newRoll, offered3d0 = view.newAttitude;
    const int accel0 = accel.newValues, roll0 = roll.newValues;
    rcMode.paints = 0;
    const int show0 = show3d.paints;
    const auto answers0 = simulator.Stats(sim::DeviceKind::Controller).answersSent;
    QElapsedTimer window;
    window.start();
    QTest::qWait(static_cast<int>(seconds * 1000));
    const double secs = static_cast<double>(window.nsecsElapsed()) / 1e9;
    const auto answers = simulator.Stats(sim::DeviceKind::Controller).answersSent - answers0;
    const int telemetry = view.telemetry - telemetry0;

    std::printf("Open COM Port to \"QAV-NUVA connected successfully!\": %.1f ms\n",
                static_cast<double>(status.seen.value(connected)) / 1e6);
    std::printf("Open COM Port to \"All parameters updated!\": %.1f ms\n",
                static_cast<double>(status.seen.value(updated)) / 1e6);
    std::printf("over %.1f s: controller answers %.1f/s, telemetry answers dispatched %.1f/s\n", secs,
                static_cast<double>(answers) / secs, telemetry / secs);
    // Shown: new values painted; offered: answers whose value differed from
    // the answer before.
    auto row = [&](const char* what, int shown, int offered) {
        std::printf("  %-28s shown %5.1f/s of %5.1f/s offered (%.0f %%)\n", what, shown / secs,
                    offered / secs, offered ? 100.0 * shown / offered : 0.0);
    };
    row("AX box", accel.newValues - accel0, view.newAccel - offeredAccel0);
    row("roll attitude box", roll.newValues - roll0, view.newRoll - offeredRoll0);
    row("3D attitude display", show3d.paints - show0, view.newAttitude - offered3d0);
    std::printf("  RC mode box paints %.1f/s\n", (rcMode.paints) / secs);
    return 0;
}
