// The screens' words reach a translator only if lupdate collects them from
// the sources: run it over the GUI's folders and look for them in its file.
#include "upgrade/UpgradeOutcome.h"
#include "view/UpgradeWords.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

namespace qav {
namespace {

QString Lupdate()
{
    const QString path = QLibraryInfo::path(QLibraryInfo::BinariesPath) + "/lupdate";
    if (QFileInfo(path).isExecutable())
        return path;
    return QFileInfo("/usr/lib/qt6/bin/lupdate").isExecutable() ? QStringLiteral("/usr/lib/qt6/bin/lupdate")
                                                                : QString();
}

// Every <source> of `context` in the .ts lupdate writes for the GUI's folders.
QSet<QString> CollectedSources(const QString& lupdate, const QString& context)
{
    QTemporaryDir dir;
    const QString ts = dir.filePath("qav-nuva.ts");
    const QString src = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../src");
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(lupdate, {"-silent", "-no-obsolete", src + "/app", src + "/view", src + "/ui", "-ts", ts});
    EXPECT_TRUE(run.waitForFinished(-1));
    EXPECT_EQ(run.exitCode(), 0) << run.readAll().toStdString();
    QFile file(ts);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << ts.toStdString();
    QSet<QString> sources;
    QXmlStreamReader xml(&file);
    QString current;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name")
            current = xml.readElementText();
        else if (xml.name() == u"source" && current == context)
            sources.insert(xml.readElementText());
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return sources;
}

TEST(TranslatableTexts, LupdateCollectsEveryUpgradeSentence)
{
    const QString lupdate = Lupdate();
    if (lupdate.isEmpty())
        GTEST_SKIP() << "lupdate is not installed (Debian package qt6-l10n-tools)";
    const QSet<QString> sources = CollectedSources(lupdate, "UpgradeWords");
    // With its places as facts, each reason's sentence comes back as written
    // in the table.
    const std::vector<std::string> places{"%1", "%2", "%3", "%4"};
    int checked = 0;
    for (int i = static_cast<int>(UpgradeWhy::None) + 1; i <= static_cast<int>(UpgradeWhy::ImageEmpty); ++i) {
        const std::string format = UpgradeWhyText({1, static_cast<UpgradeWhy>(i), places});
        EXPECT_TRUE(sources.contains(QString::fromStdString(format))) << "not collected: " << format;
        ++checked;
    }
    EXPECT_EQ(checked, sources.size() - 1) << "the table and the collected sentences differ in number";
    EXPECT_TRUE(sources.contains(" The line brought more than could be read: %1 bytes were dropped unread."));
}

} // namespace
} // namespace qav
