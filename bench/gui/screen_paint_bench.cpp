// What the live parts of the main screen cost to paint, one new telemetry
// value at a time, with the program's skin and without a display
// (QT_QPA_PLATFORM=offscreen): the 3D attitude display turning and a live
// box showing a new number. Not a test; figures vary with the machine.
#include "ui/LiveBox.h"
#include "ui/Show3D.h"
#include "ui/Skin.h"

#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A gimbal swaying as the simulator's does, one answer per step.
void ShowTurningAttitude(benchmark::State& state)
{
    QFrame host;
    host.resize(300, 260);
    qav::QAVShow3DLibExp display;
    display.Init(&host, 0, 0.8);
    QImage target(host.size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        const double t = ++step * 0.02;
        display.Update(12 * std::sin(t * 1.3), 20 * std::sin(t * 0.7), 40 * std::sin(t * 0.2));
        display.View()->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(ShowTurningAttitude);

// A live box given a new value and repainted where its text is, as on
// screen.
void ShowNewLiveValue(benchmark::State& state)
{
    QWidget screen;
    screen.setStyleSheet(qav::SkinStyleSheet());
    auto* box = new qav::CLiveBox(&screen);
    qav::SetSkinKind(box, qav::SkinKind::EditBox);
    box->resize(72, 24);
    box->ensurePolished();
    QImage target(box->size(), QImage::Format_ARGB32_Premultiplied);
    box->render(&target);
    int step = 0;
    for (auto _ : state) {
        box->SetLiveText(QString::asprintf("%+.2f", std::sin(++step * 0.1)));
        box->render(&target, box->TextArea().topLeft(), QRegion(box->TextArea()));
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(ShowNewLiveValue);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
