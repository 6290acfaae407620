// The real file choosers behind the configuration-file commands, driven as a
// user would: what they are set up with, which names they accept and when
// they ask before replacing a file.
#include "app/ShellPrompts.h"

#include "support/TempDir.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace qav {
namespace {

// Acts on the modal windows that come up, one step per new window, in
// order. Steps may open further modal windows themselves (a chooser that
// warns), which the next steps then handle. A window no step is left for is
// closed and counted.
class ModalScript : public QObject
{
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::vector<Step> steps) : steps_(std::move(steps))
    {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &ModalScript::Poll);
        timer_.start();
    }
    std::size_t StepsRun() const { return next_; }
    int unexpected = 0;

private:
    void Poll()
    {
        // Every visible dialog counts, not only the one the platform calls
        // modal: a nested box is not always reported as such offscreen.
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!qobject_cast<QDialog*>(w) || !w->isVisible() || Seen(w))
                continue;
            seen_.push_back(w);
            if (next_ >= steps_.size()) {
                ++unexpected;
                w->close();
                continue;
            }
            // Run outside this timer's call: a step that opens a nested
            // modal loop would otherwise keep this timer from firing in it.
            const Step step = steps_[next_++];
            QTimer::singleShot(0, this, [step, target = QPointer<QWidget>(w)] {
                if (target)
                    step(target);
            });
        }
    }
    bool Seen(QWidget* w) const
    {
        for (const QPointer<QWidget>& seen : seen_)
            if (seen == w)
                return true;
        return false;
    }

    std::vector<Step> steps_;
    std::size_t next_ = 0;
    std::vector<QPointer<QWidget>> seen_;
    QTimer timer_;
};

// The chooser's accept, as its own "Save" or "Open" button runs it (the
// override is protected; QDialog's is the public way in).
void Accept(QFileDialog* d)
{
    static_cast<QDialog*>(d)->accept();
}

// Types a name into the chooser's file name box, as a user does.
// (selectFile leaves a box that has the focus alone.)
void TypeName(QFileDialog* d, const QString& name)
{
    auto* edit = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(edit, nullptr);
    edit->setText(name);
}

QFileDialog* AsChooser(QWidget* w)
{
    auto* dialog = qobject_cast<QFileDialog*>(w);
    EXPECT_NE(dialog, nullptr) << "expected a file chooser";
    return dialog;
}

void AnswerBox(QWidget* w, QMessageBox::StandardButton answer, QString* text)
{
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << "expected a message box";
    *text = box->text();
    box->button(answer)->click();
}

class ShellPromptsTest : public ::testing::Test
{
protected:
    QString Path(const char* name) const { return QString::fromStdString(dir_.File(name)); }
    QString Dir() const { return QString::fromStdString(dir_.path().string()); }

    test::TempDir dir_;
    ShellPrompts prompts_;
};

TEST_F(ShellPromptsTest, ConfigSaveChooserTakesANewNameAndAddsTheSuffix)
{
    QString title;
    QStringList filters;
    ModalScript script({[&](QWidget* w) {
        QFileDialog* d = AsChooser(w);
        ASSERT_NE(d, nullptr);
        title = d->windowTitle();
        filters = d->nameFilters();
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d->defaultSuffix(), "bgsc");
        d->setDirectory(Dir());
        TypeName(d, QStringLiteral("fresh"));
        Accept(d);
    }});
    const QString chosen =
        prompts_.SaveFileName(nullptr, QStringLiteral("Save config file"),
                              QStringLiteral("Config File (*.bgsc)"), QStringLiteral("bgsc"));
    EXPECT_EQ(chosen, Path("fresh.bgsc"));
    EXPECT_EQ(title, "Save config file");
    EXPECT_EQ(filters, QStringList{"Config File (*.bgsc)"});
    EXPECT_EQ(script.StepsRun(), 1u);
    EXPECT_EQ(script.unexpected, 0);
}

TEST_F(ShellPromptsTest, ReplacingAFileIsAskedWhenWanted)
{
    test::WriteWholeFile(dir_.File("old.bgsc"), "x");
    QString question;
    const auto choose = [&](QWidget* w) {
        QFileDialog* d = AsChooser(w);
        ASSERT_NE(d, nullptr);
        d->setDirectory(Dir());
        TypeName(d, QStringLiteral("old.bgsc"));
        Accept(d);
    };
    {
        // "No" keeps the chooser open; the second try is answered "Yes".
        ModalScript script({[&](QWidget* w) {
                                choose(w);
                                EXPECT_TRUE(w->isVisible());
                                choose(w);
                            },
                            [&](QWidget* w) { AnswerBox(w, QMessageBox::No, &question); },
                            [&](QWidget* w) { AnswerBox(w, QMessageBox::Yes, &question); }});
        const QString chosen =
            prompts_.SaveFileName(nullptr, QStringLiteral("Save config file"),
                                  QStringLiteral("Config File (*.bgsc)"), QStringLiteral("bgsc"));
        EXPECT_EQ(chosen, Path("old.bgsc"));
        EXPECT_EQ(script.StepsRun(), 3u);
        EXPECT_TRUE(question.contains("already exists")) << question.toStdString();
    }
    {
        // Without the question the name comes back at once.
        ModalScript script({choose});
        const QString chosen = prompts_.SaveFileName(nullptr, QStringLiteral("Save config file"),
                                                     QStringLiteral("Config File (*.ini)"), QString(), false);
        EXPECT_EQ(chosen, Path("old.bgsc"));
        EXPECT_EQ(script.StepsRun(), 1u);
        EXPECT_EQ(script.unexpected, 0);
    }
}

TEST_F(ShellPromptsTest, OpenChooserOnlyTakesAnExistingFile)
{
    test::WriteWholeFile(dir_.File("there.ini"), "[PARAMETERS]\n");
    QString warning;
    QString title;
    ModalScript script({[&](QWidget* w) {
                            QFileDialog* d = AsChooser(w);
                            ASSERT_NE(d, nullptr);
                            title = d->windowTitle();
                            EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
                            EXPECT_EQ(d->nameFilters(), QStringList{"Config File (*.ini)"});
                            d->setDirectory(Dir());
                            TypeName(d, QStringLiteral("nothere.ini"));
                            Accept(d); // refused with a warning
                            EXPECT_TRUE(w->isVisible());
                            TypeName(d, QStringLiteral("there.ini"));
                            Accept(d);
                        },
                        [&](QWidget* w) { AnswerBox(w, QMessageBox::Ok, &warning); }});
    const QString chosen = prompts_.OpenFileName(nullptr, QStringLiteral("Select config file"),
                                                 QStringLiteral("Config File (*.ini)"));
    EXPECT_EQ(chosen, Path("there.ini"));
    EXPECT_EQ(title, "Select config file");
    EXPECT_TRUE(warning.contains("not found")) << warning.toStdString();
    EXPECT_EQ(script.unexpected, 0);
}

TEST_F(ShellPromptsTest, OpenChooserOffersTheGivenPlaces)
{
    test::WriteWholeFile(dir_.File("kept.bgsc"), "[PARAMETERS]\n");
    QList<QUrl> places;
    bool nativeAllowed = false;
    ModalScript script({[&](QWidget* w) {
        QFileDialog* d = AsChooser(w);
        ASSERT_NE(d, nullptr);
        places = d->sidebarUrls();
        nativeAllowed = !d->testOption(QFileDialog::DontUseNativeDialog);
        d->setDirectory(Dir());
        TypeName(d, QStringLiteral("kept.bgsc"));
        Accept(d);
    }});
    const QString chosen = prompts_.OpenFileName(nullptr, QStringLiteral("Select config file"),
                                                 QStringLiteral("Config File (*.bgsc)"), QStringList{Dir()});
    EXPECT_EQ(chosen, Path("kept.bgsc"));
    // Windows' own chooser stays, without them.
    EXPECT_EQ(places.contains(QUrl::fromLocalFile(Dir())), !kNativeChooserAlways) << places.size();
    EXPECT_GT(places.size(), 1); // beside the usual places, not instead of them
    EXPECT_EQ(nativeAllowed, kNativeChooserAlways);
    EXPECT_EQ(script.unexpected, 0);
}

TEST_F(ShellPromptsTest, CancelGivesNoName)
{
    ModalScript script({[](QWidget* w) { static_cast<QDialog*>(w)->reject(); },
                        [](QWidget* w) { static_cast<QDialog*>(w)->reject(); }});
    EXPECT_TRUE(prompts_.SaveFileName(nullptr, "t", "Config File (*.bgsc)", "bgsc").isEmpty());
    EXPECT_TRUE(prompts_.OpenFileName(nullptr, "t", "Config File (*.bgsc)").isEmpty());
    EXPECT_EQ(script.StepsRun(), 2u);
}

} // namespace
} // namespace qav
