// qav-nuva: the gimbal configuration tool.
#include "app/MainFrame.h"
#include "app/ShellPrompts.h"
#include "app/UARTApp.h"
#include "platform/CommandLine.h"
#include "serial/PortList.h"
#include "view/UARTView.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // Answered before any window system is needed; options this program
    // does not know are left to Qt.
    enum class Answer { None, Version, Help } answer = Answer::None;
    std::optional<std::string> connect;
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
        std::printf("usage: qav-nuva [--connect COM<n>]\n"
                    "The QAV-NUVA gimbal configuration tool. --connect chooses that port and opens it at "
                    "start.\n--version prints the version.\n");
        return 0;
    }
    QApplication app(argc, argv);
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

    // For the documentation: QAV_NUVA_SCREENSHOT=<file.png> saves the window
    // as it appears on screen once it has settled, then quits.
    const QString shot = qEnvironmentVariable("QAV_NUVA_SCREENSHOT");
    if (!shot.isEmpty()) {
        QTimer::singleShot(1500, &app, [&] {
            if (qav::CMainFrame* frame = uartApp.MainFrame()) {
                const QRect area = frame->frameGeometry();
                QPixmap image =
                    frame->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
                if (image.isNull())
                    image = frame->grab();
                image.save(shot);
            }
            QApplication::exit(0);
        });
    }
    return app.exec();
}
