// GUI tests need a QApplication alive before any widget is made.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Backups of configuration loads land in a scratch folder, not in the
    // home of whoever runs the tests (on Windows, in the user's local data
    // folder).
    QTemporaryDir data;
    if (data.isValid()) {
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        qputenv("LOCALAPPDATA", QDir::toNativeSeparators(data.path()).toUtf8());
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
