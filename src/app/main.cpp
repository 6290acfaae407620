// qav-nuva: the gimbal configuration tool.
#include "app/MainFrame.h"
#include "app/ShellPrompts.h"
#include "app/UARTApp.h"
#include "platform/CommandLine.h"
#include "serial/PortList.h"
#include "ui/PlotWindow.h"
#include "view/UARTView.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>
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
    // Answered before any window system is needed; options this program
    // does not know are left to Qt.
    enum class Answer { None, Version, Help } answer = Answer::None;
    std::optional<std::string> connect;
    bool plots = false;
    auto answerWith = [&answer](Answer a) {
        return [&answer, a](const std::string&) {
            if (answer == Answer::None)
                answer = a;
            return true;
        };
    };
    const qav::OptionRow rows[] = {
        {"--version", {}, false, answerWith(Answer::Version)},
        {"--help", {}, false, answerWith(Answer::Help)},
        {"--connect",
         {},
         true,
         [&connect](const std::string& port) {
             if (!connect)
                 connect = port;
             return true;
         }},
        {"--plots",
         {},
         false,
         [&plots](const std::string&) {
             plots = true;
             return true;
         }},
    };
    qav::OptionStyle style;
    style.ignoreUnknown = true;
    // A --connect without a port is ignored.
    (void)qav::ParseOptionRows(std::vector<std::string>(argv, argv + argc), 1, rows, style);
    if (answer == Answer::Version) {
        std::printf("qav-nuva %s\n", QAV_VERSION);
        return 0;
    }
    if (answer == Answer::Help) {
        std::printf("usage: qav-nuva [--connect COM<n>] [--plots]\n"
                    "The QAV-NUVA gimbal configuration tool. --connect chooses that port and opens it at "
                    "start.\n--plots opens the live plot window at start. --version prints the version.\n");
        return 0;
    }

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
    if (connect) {
        const int number = qav::PortNumberFromEntry(*connect);
        if (!uartApp.MainFrame()->View()->ConnectTo(number))
            std::fprintf(stderr, "qav-nuva: %s is not in the port list.\n", connect->c_str());
    }

    if (plots)
        uartApp.MainFrame()->View()->OpenPlotWindow();

    // For the documentation: QAV_NUVA_SCREENSHOT=<file.png> saves the window
    // (the plot window with --plots) as it appears on screen once it has
    // settled, then quits.
    const QString shot = qEnvironmentVariable("QAV_NUVA_SCREENSHOT");
    if (!shot.isEmpty()) {
        QTimer::singleShot(plots ? 12000 : 1500, &app, [&] {
            if (qav::CMainFrame* frame = uartApp.MainFrame()) {
                QWidget* window = plots ? static_cast<QWidget*>(frame->View()->Plots()) : frame;
                const QRect area = window->frameGeometry();
                QPixmap image =
                    window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
                if (image.isNull())
                    image = window->grab();
                image.save(shot);
                frame->View()->FinishSession();
            }
            QApplication::exit(0);
        });
    }
    return app.exec();
}
