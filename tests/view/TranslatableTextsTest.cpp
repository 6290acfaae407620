// The screens' words reach a translator only if lupdate collects them from
// the sources: run it over the GUI's folders and look for them in its file.
// The windows are then built under a translation of everything collected,
// and every word they show must come out of it.
#include "app/Dialogs.h"
#include "app/LoadReviewDlg.h"
#include "app/MainFrame.h"
#include "app/UARTDoc.h"
#include "files/ParamReference.h"
#include "protocol/ControllerParamTable.h"
#include "serial/PortList.h"
#include "ui/InkStatusBar.h"
#include "ui/PlotWindow.h"
#include "upgrade/UpgradeOutcome.h"
#include "view/MotorConfigDlg.h"
#include "view/ParamTips.h"
#include "view/UARTView.h"
#include "view/UpgradeWords.h"

#include "gui_support/FakePrompts.h"
#include "support/TempDir.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

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

// The .ts lupdate writes for the GUI's folders, and for the parameter
// table whose list items the GUI shows (marked with QAV_TRANSLATE_NOOP, as
// Qt-free code cannot use Qt's macro). The include path lets it see the
// classes' namespace, as moc names a class's context.
QString RunLupdate(const QString& lupdate, const QString& ts)
{
    const QString src = QStringLiteral(QT_TESTCASE_SOURCEDIR "/../src");
    QProcess run;
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(lupdate,
              {"-silent", "-no-obsolete", "-tr-function-alias", "QT_TRANSLATE_NOOP+=QAV_TRANSLATE_NOOP", "-I",
               src, src + "/app", src + "/view", src + "/ui", src + "/protocol", "-ts", ts});
    EXPECT_TRUE(run.waitForFinished(-1));
    EXPECT_EQ(run.exitCode(), 0) << run.readAll().toStdString();
    return ts;
}

struct Collected
{
    QString context, source;
};

std::vector<Collected> ReadTs(const QString& ts)
{
    QFile file(ts);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << ts.toStdString();
    std::vector<Collected> found;
    QXmlStreamReader xml(&file);
    QString current;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"name")
            current = xml.readElementText();
        else if (xml.name() == u"source")
            found.push_back({current, xml.readElementText()});
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return found;
}

// Every <source> of `context` in the .ts lupdate writes for the GUI's folders.
QSet<QString> CollectedSources(const QString& lupdate, const QString& context)
{
    QTemporaryDir dir;
    QSet<QString> sources;
    for (const Collected& c : ReadTs(RunLupdate(lupdate, dir.filePath("qav-nuva.ts"))))
        if (c.context == context)
            sources.insert(c.source);
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

// ---- the windows, under a translation of everything lupdate collected -------

// Each collected source translates to itself between these marks, so a
// shown text tells which pieces of it went through a translation: only a
// source lupdate collected under the very context the code asks with.
constexpr char16_t kOpen = u'\u27E6', kClose = u'\u27E7';

QString Lrelease(const QString& lupdate)
{
    const QString path = QFileInfo(lupdate).absolutePath() + "/lrelease";
    return QFileInfo(path).isExecutable() ? path : QString();
}

// Writes the marked translation of `collected` as a .ts.
void WriteMarkedTs(const std::vector<Collected>& collected, const QString& ts)
{
    QFile file(ts);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QXmlStreamWriter xml(&file);
    xml.writeStartDocument();
    xml.writeDTD(QStringLiteral("<!DOCTYPE TS>"));
    xml.writeStartElement("TS");
    xml.writeAttribute("version", "2.1");
    for (const Collected& c : collected) {
        xml.writeStartElement("context");
        xml.writeTextElement("name", c.context);
        xml.writeStartElement("message");
        xml.writeTextElement("source", c.source);
        xml.writeTextElement("translation", QString(QChar(kOpen)) + c.source + QChar(kClose));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
}

// The words of a shown text that no translation gave: what is left once
// the values the window was given are taken out and every marked span,
// innermost first, is cut away. A text made of numbers, signs and
// punctuation only leaves no word and passes; a letter left over is a word
// that lupdate never collected (or the code translates under a context it
// was not collected in).
QString WordsOutsideTranslations(QString text, QStringList values)
{
    // Longest first: a value may hold a shorter one ("ROLL_TOTL: did you
    // mean ROLL_TOTAL?" holds the key).
    std::sort(values.begin(), values.end(),
              [](const QString& x, const QString& y) { return x.size() > y.size(); });
    for (const QString& v : values)
        if (!v.isEmpty())
            text.replace(v, QStringLiteral(" "));
    static const QRegularExpression innermost(QStringLiteral("\u27E6[^\u27E6\u27E7]*\u27E7"));
    for (QString before; before != text;) {
        before = text;
        text.replace(innermost, QStringLiteral(" "));
    }
    for (const QChar c : text)
        if (c.isLetter())
            return text.simplified();
    return {};
}

// Every text a user reads or hears from a widget: its window title, its
// tooltip, accessible name and description, and the caption, text, title
// or list items its kind has. Hidden widgets count: they show later.
QStringList ShownTexts(const QWidget* w)
{
    QStringList texts{w->toolTip(), w->accessibleName(), w->accessibleDescription()};
    if (w->isWindow())
        texts << w->windowTitle();
    if (auto* label = qobject_cast<const QLabel*>(w))
        texts << label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        texts << button->text();
    if (auto* group = qobject_cast<const QGroupBox*>(w))
        texts << group->title();
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        texts << edit->text() << edit->placeholderText();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    if (auto* table = qobject_cast<const QTableWidget*>(w))
        for (int col = 0; col < table->columnCount(); ++col)
            if (const QTableWidgetItem* header = table->horizontalHeaderItem(col))
                texts << header->text();
    return texts;
}

// A window built for the walk: what owns it, where the walk starts, the
// widgets another row walks, and the values it was given (port names, paths,
// keys, and texts made by the Qt-free parameter table), which are no words
// of the program's.
struct Built
{
    std::shared_ptr<void> owner;
    QWidget* root = nullptr;
    std::vector<const QWidget*> elsewhere;
    QStringList values;
};

void Walk(const QWidget* w, const Built& built, QStringList& untranslated)
{
    if (std::find(built.elsewhere.begin(), built.elsewhere.end(), w) != built.elsewhere.end())
        return;
    for (const QString& text : ShownTexts(w))
        if (const QString words = WordsOutsideTranslations(text, built.values); !words.isEmpty())
            untranslated << QStringLiteral("%1 \"%2\": %3").arg(w->metaObject()->className(), text, words);
    for (const QObject* child : w->children())
        if (child->isWidgetType())
            Walk(static_cast<const QWidget*>(child), built, untranslated);
}

// The texts the parameter table makes for tooltips, and the ports the lists
// offer: values to the walk.
QStringList GivenValues()
{
    QStringList values;
    for (const auto& reference : {ControllerReference(), MotorReference()})
        for (const ParamFacts& facts : reference)
            values << ParamTipText(facts);
    for (const std::string& port : ListSerialPorts())
        values << QString::fromStdString(port);
    return values;
}

struct Shared
{
    CUARTDoc doc;
    ControllerParams controllerParams;
    MotorParams motorParams;
    FrameReceiver receiver{kMotorHeader0, kMotorHeader1};
    test::FakePrompts prompts;
    test::TempDir dir;
};

template <class W> Built Own(std::shared_ptr<Shared> shared, std::unique_ptr<W> window)
{
    Built built;
    built.root = window.get();
    built.owner = std::shared_ptr<void>(new std::pair(shared, std::move(window)));
    built.values = GivenValues();
    return built;
}

struct WindowRow
{
    const char* name;
    std::function<Built()> build;
    // Set while the window's texts are not all marked yet: why the row waits.
    const char* waitsFor = nullptr;
};

void PrintTo(const WindowRow& row, std::ostream* os)
{
    *os << row.name;
}

LoadReview SampleReview()
{
    LoadReview review;
    review.file = QStringLiteral("/tmp/gimbal/roll.ini");
    review.board = QStringLiteral("controller");
    review.changes = {{"ROLL_TOTAL", "Total Gain", "100", "120"}};
    review.kept = QStringList{"PITCH_TOTAL"};
    review.unknown = QStringList{"ROLL_TOTL"};
    review.nearest = QStringList{"ROLL_TOTL: did you mean ROLL_TOTAL?"};
    return review;
}

const WindowRow kWindows[] = {
    {"MotorConfigDialog",
     [] {
         auto s = std::make_shared<Shared>();
         return Own(s, std::make_unique<CMotorConfigDlg>(s->motorParams, s->receiver, s->prompts,
                                                         s->dir.path().string() + "/"));
     }},
    {"MainFrame",
     [] {
         auto s = std::make_shared<Shared>();
         auto frame = std::make_unique<CMainFrame>(s->doc, s->controllerParams, s->prompts);
         const QWidget* screen = frame->View();
         Built built = Own(s, std::move(frame));
         built.elsewhere.push_back(screen); // the main screen's own row
         return built;
     }},
    {"MainScreen",
     [] {
         auto s = std::make_shared<Shared>();
         auto frame = std::make_unique<CMainFrame>(s->doc, s->controllerParams, s->prompts);
         QWidget* screen = frame->View();
         Built built = Own(s, std::move(frame));
         built.root = screen;
         return built;
     }},
    {"ExitConfirmDialog",
     [] { return Own(std::make_shared<Shared>(), std::make_unique<CExitConfirmDlg>()); }},
    {"AboutDialog", [] { return Own(std::make_shared<Shared>(), std::make_unique<CAboutDlg>()); }},
    {"ReceiverTypeDialog",
     [] { return Own(std::make_shared<Shared>(), std::make_unique<CReceiverTypeDlg>()); }},
    {"LoadReviewDialog",
     [] {
         const LoadReview review = SampleReview();
         Built built = Own(std::make_shared<Shared>(), std::make_unique<CLoadReviewDlg>(review));
         built.values << review.file << review.board << review.kept << review.unknown << review.nearest;
         return built;
     }},
    {"PlotWindow",
     [] {
         auto s = std::make_shared<Shared>();
         return Own(s, std::make_unique<PlotWindow>(s->prompts));
     }},
};

class TranslatedWindows : public ::testing::TestWithParam<WindowRow>
{
protected:
    static void SetUpTestSuite()
    {
        const QString lupdate = Lupdate();
        const QString lrelease = lupdate.isEmpty() ? QString() : Lrelease(lupdate);
        if (lrelease.isEmpty())
            return;
        dir_ = new QTemporaryDir;
        const std::vector<Collected> collected = ReadTs(RunLupdate(lupdate, dir_->filePath("collected.ts")));
        const QString marked = dir_->filePath("marked.ts"), qm = dir_->filePath("marked.qm");
        WriteMarkedTs(collected, marked);
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(lrelease, {"-silent", marked, "-qm", qm});
        ASSERT_TRUE(run.waitForFinished(-1));
        ASSERT_EQ(run.exitCode(), 0) << run.readAll().toStdString();
        translator_ = new QTranslator;
        ASSERT_TRUE(translator_->load(qm));
        ASSERT_FALSE(translator_->isEmpty());
        QCoreApplication::installTranslator(translator_);
    }
    static void TearDownTestSuite()
    {
        if (translator_)
            QCoreApplication::removeTranslator(translator_);
        delete translator_;
        translator_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }

    static inline QTemporaryDir* dir_ = nullptr;
    static inline QTranslator* translator_ = nullptr;
};

TEST(TranslatableTexts, WalkerTellsTranslatedWordsFromOthers)
{
    const QString open(QChar{kOpen}), close(QChar{kClose});
    const struct
    {
        QString text;
        QStringList values;
        QString left;
    } cases[] = {
        {"0.000", {}, ""},
        {"-12 %", {}, ""},
        {open + "Open COM Port" + close, {}, ""},
        {open + "Roll" + close + " " + open + "Total Gain" + close, {}, ""},
        {open + "Firmware Version:V1.2" + close, {}, ""},
        {open + "Loading roll.ini changes " + open + "1 value" + close + " on the controller." + close,
         {},
         ""},
        {"Open COM Port", {}, "Open COM Port"},
        {open + "Roll" + close + " Total Gain", {}, "Total Gain"},
        {open + "Kept (1): " + close + "PITCH_TOTAL", {"PITCH_TOTAL"}, ""},
        {open + "Kept (1): " + close + "PITCH_TOTAL, ROLL", {"PITCH_TOTAL"}, ", ROLL"},
        {"电机1反向", {}, "电机1反向"},
        {open + "Not a parameter (1): " + close + "ROLL_TOTL\nROLL_TOTL: did you mean ROLL_TOTAL?",
         {"ROLL_TOTL", "ROLL_TOTL: did you mean ROLL_TOTAL?"},
         ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WordsOutsideTranslations(c.text, c.values), c.left) << c.text.toStdString();
}

TEST_P(TranslatedWindows, EveryWordComesFromACollectedSource)
{
    if (!translator_)
        GTEST_SKIP() << "lupdate or lrelease is not installed (Debian package qt6-l10n-tools)";
    if (GetParam().waitsFor)
        GTEST_SKIP() << GetParam().waitsFor;
    const Built built = GetParam().build();
    QStringList untranslated;
    Walk(built.root, built, untranslated);
    EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join('\n').toStdString();
    // The walk saw the window's words: its title came through the translation.
    EXPECT_TRUE(ShownTexts(built.root->window()).join(' ').contains(QChar(kOpen)));
}

// The main screen's status line and choosers, driven without a port: the
// prompt of a save with nothing read, and the status line (its words, and
// the details in its tooltip) after an .ini file without most keys loaded.
TEST_F(TranslatedWindows, MainScreenStatusLineAndPromptsComeFromCollectedSources)
{
    if (!translator_)
        GTEST_SKIP() << "lupdate or lrelease is not installed (Debian package qt6-l10n-tools)";
    auto s = std::make_shared<Shared>();
    CMainFrame frame(s->doc, s->controllerParams, s->prompts);
    CUARTView& view = *frame.View();
    // The kept keys the details list are values.
    QStringList keys;
    for (const ControllerParamRow& row : ControllerParamTable())
        keys << QString::fromUtf8(row.key.data(), static_cast<qsizetype>(row.key.size()));

    view.OnSaveIniCommand();
    ASSERT_EQ(s->prompts.messages.size(), 1);
    const QString path = QString::fromStdString(s->dir.File("tilt-only.ini"));
    test::WriteWholeFile(path.toStdString(), "[PARAMETERS]\nPITCH_TOTAL=77\n");
    s->prompts.openPath = path;
    view.OnLoadIniCommand();
    ASSERT_EQ(s->prompts.fileTitles.size(), 1);

    const CInkStatusBar* line = frame.StatusLine();
    const QString shown = InkPlainText(line->StatusText());
    const QStringList texts{s->prompts.messages.first().text, s->prompts.fileTitles.first(),
                            s->prompts.fileFilters.first(), shown};
    for (const QString& text : texts) {
        // Each went through a translation, and left no word outside it.
        EXPECT_TRUE(text.contains(QChar(kOpen))) << text.toStdString();
        EXPECT_EQ(WordsOutsideTranslations(text, keys), QString()) << text.toStdString();
    }
    Built built;
    built.values = keys;
    QStringList untranslated;
    Walk(line, built, untranslated);
    EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join('\n').toStdString();
    // The walk saw the details: the keys the file lacks, not the one it has.
    EXPECT_TRUE(line->toolTip().contains(QStringLiteral("ROLL_TOTAL"))) << line->toolTip().toStdString();
    EXPECT_FALSE(line->toolTip().contains(QStringLiteral("PITCH_TOTAL")));
}

INSTANTIATE_TEST_SUITE_P(Windows, TranslatedWindows, ::testing::ValuesIn(kWindows),
                         [](const ::testing::TestParamInfo<WindowRow>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace qav
