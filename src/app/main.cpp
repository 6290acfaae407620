// qav-nuva: the gimbal configuration tool.
#include "app/MainFrame.h"
#include "app/ShellPrompts.h"
#include "app/UARTApp.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qav::ShellPrompts prompts;
    qav::CUARTApp uartApp(prompts, qav::DefaultInstanceName());
    if (!uartApp.InitInstance())
        return 0;

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
