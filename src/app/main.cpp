// qav-nuva: the gimbal configuration tool.
#include "app/MainFrame.h"
#include "app/ShellPrompts.h"
#include "app/StartupOptions.h"
#include "app/UARTApp.h"
#include "ui/InkStatusBar.h"
#include "ui/PlotWindow.h"
#include "view/UARTView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

// Qt ends the program with abort() when it finds no display. While the
// application object is made, its messages are held back; a fatal one is
// replaced by one line that says what is wrong, and the program exits 1.
std::vector<std::pair<QtMsgType, QString>> g_heldMessages;

void HoldStartupMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        g_heldMessages.emplace_back(type, text);
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    if (display.isEmpty() && wayland.isEmpty())
        std::fputs("qav-nuva: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "start it in a desktop session.\n",
                   stderr);
    else
        std::fprintf(stderr, "qav-nuva: cannot open the display %s.\n",
                     (display.isEmpty() ? wayland : display).constData());
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before any window system is needed; Qt's own options are
    // left to Qt, anything else unknown ends the program.
    qav::StartupOptions options;
    if (const qav::Result parsed =
            qav::ParseStartupOptions(std::vector<std::string>(argv, argv + argc), options);
        !parsed) {
        std::fprintf(stderr, "qav-nuva: %s\n", parsed.message.c_str());
        return qav::kBadOptionExit;
    }
    if (options.version) {
        std::printf("qav-nuva %s\n", QAV_VERSION);
        return 0;
    }
    if (options.help) {
        std::fputs(qav::StartupUsage().c_str(), stdout);
        return 0;
    }
    const bool plots = options.plots;

    const QtMessageHandler previous = qInstallMessageHandler(HoldStartupMessage);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const auto& [type, text] : std::exchange(g_heldMessages, {}))
        qt_message_output(type, QMessageLogContext(), text);

    qav::ShellPrompts prompts;
    qav::CUARTApp uartApp(prompts, qav::DefaultInstanceName());
    if (!uartApp.InitInstance())
        return 0;

    // --connect COM<n>: choose that port and press "Open COM Port" at start,
    // as the demonstration with the simulated gimbal does.
    // A port that does not open says why in the status line.
    if (options.connect)
        uartApp.MainFrame()->View()->ConnectTo(*options.connect);

    if (plots)
        uartApp.MainFrame()->View()->OpenPlotWindow();

    // For the documentation: QAV_NUVA_SCREENSHOT=<file.png> saves the window
    // (the plot window with --plots) as it appears on screen once it has
    // settled (with --connect, once the controller's set has been read back
    // too), prints the status line for scripts that check it, then quits.
    // With QAV_NUVA_SCREENSHOT_LOAD=<config file> it saves the review that
    // loading the file shows instead (cancelled).
    const QString shot = qEnvironmentVariable("QAV_NUVA_SCREENSHOT");
    const QString load = qEnvironmentVariable("QAV_NUVA_SCREENSHOT_LOAD");
    const auto save = [&shot](QWidget* window) {
        const QRect area = window->frameGeometry();
        QPixmap image = window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        if (image.isNull())
            image = window->grab();
        image.save(shot);
    };
    if (!shot.isEmpty() && !load.isEmpty()) {
        QTimer::singleShot(3000, &app, [&] {
            qav::CMainFrame* frame = uartApp.MainFrame();
            if (!frame)
                return QApplication::exit(1);
            // The review is modal: it is saved and closed from inside its loop.
            QTimer::singleShot(1500, &app, [&] {
                if (QWidget* review = QApplication::activeModalWidget()) {
                    save(review);
                    review->close();
                }
            });
            frame->View()->LoadConfigFile(load);
            frame->View()->FinishSession();
            QApplication::exit(0);
        });
    } else if (!shot.isEmpty()) {
        // A port that never answers is pictured after a while all the same.
        const int settleMs = plots ? 12000 : 1500;
        const int readBackLimitMs = 30000;
        auto* settle = new QTimer(&app);
        QElapsedTimer since;
        since.start();
        QObject::connect(settle, &QTimer::timeout, &app, [&, settle, settleMs] {
            qav::CMainFrame* frame = uartApp.MainFrame();
            const bool readBack = !options.connect || (frame && frame->View()->ValuesKnown());
            if (frame && (since.elapsed() < settleMs || (!readBack && since.elapsed() < readBackLimitMs)))
                return;
            settle->stop();
            if (frame) {
                save(plots ? static_cast<QWidget*>(frame->View()->Plots()) : frame);
                std::printf("%s\n", frame->StatusLine()->StatusText().toUtf8().constData());
                std::fflush(stdout);
                frame->View()->FinishSession();
            }
            QApplication::exit(0);
        });
        settle->start(100);
    }
    return app.exec();
}
