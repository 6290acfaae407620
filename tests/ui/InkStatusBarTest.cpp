#include "ui/InkStatusBar.h"

#include "gui_support/QtPrinters.h"
#include "ui/InkMarkup.h"

#include <QFontDatabase>
#include <QImage>
#include <QProgressBar>
#include <QSet>
#include <gtest/gtest.h>

namespace qav {
namespace {

const QColor kBlack(0, 0, 0), kBlue(0, 0, 255), kRed(255, 0, 0), kGreen(0, 85, 0);

// ---- parsing, as rows -----------------------------------------------------

struct InkRow
{
    const char* message;
    QList<InkRun> runs;
};

void PrintTo(const InkRow& row, std::ostream* os)
{
    *os << row.message;
}

class InkParse : public ::testing::TestWithParam<InkRow>
{
};

TEST_P(InkParse, Runs)
{
    EXPECT_EQ(ParseInk(QString::fromUtf8(GetParam().message)), GetParam().runs);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, InkParse,
    ::testing::Values(
        InkRow{"", {}}, InkRow{"plain", {{"plain", kBlack}}},
        InkRow{"$INKblue$Gains uploaded successfully!", {{"Gains uploaded successfully!", kBlue}}},
        InkRow{"Plain $INKred$alarm", {{"Plain ", kBlack}, {"alarm", kRed}}},
        InkRow{"$INKgreen$one$INKpurple$two", {{"one", kGreen}, {"two", kGreen}}}, InkRow{"$INKred", {}},
        InkRow{"before $INKred", {{"before ", kBlack}}},
        InkRow{"$INKRed$stays black", {{"stays black", kBlack}}},
        InkRow{"$INK$empty name", {{"empty name", kBlack}}},
        InkRow{"$INKred$a$INKblack$b$INKblue$c$INKgreen$d",
               {{"a", kRed}, {"b", kBlack}, {"c", kBlue}, {"d", kGreen}}},
        InkRow{"$INKblue$", {}}, InkRow{"a$b$INKred$c", {{"a$b", kBlack}, {"c", kRed}}},
        InkRow{"$INK red$x", {{"x", kBlack}}},
        InkRow{"$INKgreen$指向位置感度系数修改中...", {{"指向位置感度系数修改中...", kGreen}}}));

TEST(InkPlainText, IsWhatIsDrawn)
{
    EXPECT_EQ(InkPlainText("$INKred$QAV-NUVA not connected!"), "QAV-NUVA not connected!");
    EXPECT_EQ(InkPlainText("a $INKblue$b$INKnope$c $INKred"), "a bc ");
}

// ---- painting, checked on rendered pixels ---------------------------------

class StatusBarPixels : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar_.resize(900, 30);
        // Aliased glyphs: every text pixel is exactly the pen colour.
        QFont font = bar_.font();
        font.setPixelSize(16);
        font.setStyleStrategy(QFont::NoAntialias);
        bar_.setFont(font);
        bar_.Pane(0)->setFont(font);
        bar_.show();
    }

    // Pane 0 as drawn, left of where the progress bar starts.
    QImage Render(const QString& message)
    {
        bar_.SetStatusText(message);
        QWidget* pane = bar_.Pane(0);
        const int visible = bar_.ProgressBar()->geometry().left() - pane->geometry().left();
        return pane->grab(QRect(0, 0, std::min(pane->width(), visible), pane->height()))
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    static QColor Background(const QImage& img) { return img.pixelColor(img.width() - 1, img.height() - 1); }

    static QSet<QRgb> InkColours(const QImage& img)
    {
        QSet<QRgb> colours;
        const QRgb bg = Background(img).rgb();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixel(x, y) != bg)
                    colours.insert(img.pixel(x, y));
        return colours;
    }

    static int LeftmostInk(const QImage& img)
    {
        const QRgb bg = Background(img).rgb();
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                if (img.pixel(x, y) != bg)
                    return x;
        return -1;
    }

    CInkStatusBar bar_;
};

TEST_F(StatusBarPixels, BlueMessageIsAllBlueFromTwoPixelsIn)
{
    const QImage img = Render("$INKblue$Gains uploaded successfully!");
    EXPECT_EQ(InkColours(img), QSet<QRgb>{kBlue.rgb()});
    const int left = LeftmostInk(img);
    EXPECT_GE(left, CInkStatusBar::kTextIndent);
    EXPECT_LE(left, CInkStatusBar::kTextIndent + 2); // the first glyph's own bearing
}

TEST_F(StatusBarPixels, PlainWordsBlackThenTaggedWordsRedOnTheSameLine)
{
    const QImage mixed = Render("Plain words $INKred$red words");
    EXPECT_EQ(InkColours(mixed), (QSet<QRgb>{kBlack.rgb(), kRed.rgb()}));
    // Same shapes as the text all in black: the red words follow directly.
    QImage plain = Render("Plain words $INKblack$red words");
    QImage recoloured = mixed;
    for (int y = 0; y < recoloured.height(); ++y)
        for (int x = 0; x < recoloured.width(); ++x)
            if (recoloured.pixel(x, y) == kRed.rgb())
                recoloured.setPixel(x, y, kBlack.rgb());
    EXPECT_EQ(recoloured, plain);
    // And the red part lies right of every black pixel.
    int lastBlack = -1, firstRed = mixed.width();
    for (int y = 0; y < mixed.height(); ++y)
        for (int x = 0; x < mixed.width(); ++x) {
            if (mixed.pixel(x, y) == kBlack.rgb())
                lastBlack = std::max(lastBlack, x);
            if (mixed.pixel(x, y) == kRed.rgb())
                firstRed = std::min(firstRed, x);
        }
    EXPECT_LT(lastBlack, firstRed);
}

TEST_F(StatusBarPixels, UnknownTagIsNeitherDrawnNorAColourChange)
{
    const QImage tagged = Render("$INKgreen$Hello $INKpurple$World");
    EXPECT_EQ(InkColours(tagged), QSet<QRgb>{kGreen.rgb()});
    EXPECT_EQ(tagged, Render("$INKgreen$Hello $INKgreen$World"));
}

TEST_F(StatusBarPixels, MiscasedNameLeavesTheTextBlack)
{
    const QImage img = Render("$INKRed$Not red");
    EXPECT_EQ(InkColours(img), QSet<QRgb>{kBlack.rgb()});
    EXPECT_EQ(img, Render("Not red"));
}

TEST_F(StatusBarPixels, UnclosedTagEndsTheDrawing)
{
    EXPECT_TRUE(InkColours(Render("$INKred")).isEmpty());
    const QImage cut = Render("Before $INKblue and after");
    EXPECT_EQ(InkColours(cut), QSet<QRgb>{kBlack.rgb()});
    EXPECT_EQ(cut, Render("Before "));
}

TEST_F(StatusBarPixels, EmptyMessageLeavesThePaneBlank)
{
    Render("$INKred$something");
    EXPECT_TRUE(InkColours(Render("")).isEmpty());
}

TEST_F(StatusBarPixels, ChineseTextIsDrawnWithGlyphs)
{
    // With a CJK font present the characters are real shapes, not the
    // same empty box repeated: two different characters draw differently.
    // Without one every character is the same box, which says nothing
    // about the drawing.
    if (QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty())
        GTEST_SKIP() << "No font with Chinese characters is installed (Debian: fonts-wqy-microhei).";
    const QImage a = Render("$INKgreen$指");
    const QImage b = Render("$INKgreen$向");
    EXPECT_FALSE(InkColours(a).isEmpty());
    EXPECT_NE(a, b);
}

// ---- panes, progress and what screen readers get -------------------------

TEST(InkStatusBar, ProgressBarCoversPaneOneAndThreeHundredPixelsMore)
{
    CInkStatusBar bar;
    bar.resize(1000, 26);
    bar.show();
    QWidget* pane1 = bar.Pane(1);
    EXPECT_GE(pane1->width(), bar.fontMetrics().horizontalAdvance(QStringLiteral("进度")));
    EXPECT_EQ(bar.ProgressBar()->geometry(), pane1->geometry().adjusted(-300, 0, 0, 0));
    EXPECT_EQ(bar.ProgressBar()->objectName(), "123");
    // It follows pane 1 when the bar changes width.
    bar.resize(800, 26);
    EXPECT_EQ(bar.ProgressBar()->geometry(), pane1->geometry().adjusted(-300, 0, 0, 0));
}

TEST(InkStatusBar, ProgressRunsFromEmptyToFull)
{
    CInkStatusBar bar;
    EXPECT_EQ(bar.ProgressBar()->minimum(), 0);
    EXPECT_EQ(bar.ProgressBar()->maximum(), 100);
    EXPECT_EQ(bar.ProgressBar()->value(), 0);
    bar.SetProgress(100);
    EXPECT_EQ(bar.ProgressBar()->value(), 100);
    bar.SetProgress(0);
    EXPECT_EQ(bar.ProgressBar()->value(), 0);
}

TEST(InkStatusBar, AccessibleNameFollowsEachMessageWithoutTags)
{
    CInkStatusBar bar;
    bar.SetStatusText("$INKred$QAV-NUVA not connected!");
    EXPECT_EQ(bar.accessibleName(), "QAV-NUVA not connected!");
    bar.SetStatusText("$INKblue$COM port open successfully, please connect QAV-NUVA!");
    EXPECT_EQ(bar.accessibleName(), "COM port open successfully, please connect QAV-NUVA!");
    EXPECT_EQ(bar.StatusText(), "$INKblue$COM port open successfully, please connect QAV-NUVA!");
    bar.SetStatusText("");
    EXPECT_EQ(bar.accessibleName(), "");
}

// A message's details are its tooltip and accessible description, after
// the whole text when that is cut; the next message goes without them.
TEST(InkStatusBar, DetailsFollowTheirMessageOnly)
{
    CInkStatusBar bar;
    bar.resize(1000, 26);
    bar.show();
    const QString details = QStringLiteral("Not in the file, kept as they were: ROLL_ACC, ROLL_VEL");
    bar.SetStatusText(QStringLiteral("$INKblue$Config file loaded. 2 values not in the file kept."));
    bar.SetStatusDetails(details);
    EXPECT_EQ(bar.toolTip(), details);
    EXPECT_EQ(bar.Pane(0)->accessibleDescription(), details);
    const QString longer = QStringLiteral("$INKblue$Config file uploaded successfully! 1 value changed. Previous set "
                                          "kept in ~/.local/share/qav-nuva/backups/and/a/long/way/further/down 2 "
                                          "values not in the file kept.");
    bar.SetStatusText(longer);
    EXPECT_TRUE(bar.toolTip().isEmpty() || bar.Elided());
    bar.SetStatusDetails(details);
    ASSERT_TRUE(bar.Elided());
    EXPECT_EQ(bar.toolTip(), InkPlainText(longer) + "\n" + details);
    bar.SetStatusText(QStringLiteral("$INKblue$Gains uploaded successfully!"));
    EXPECT_TRUE(bar.toolTip().isEmpty());
    EXPECT_TRUE(bar.accessibleDescription().isEmpty());
}

// ---- a message longer than the room left to it ------------------------------

struct ElideRow
{
    const char* name;
    const char* message;
    bool elided;
    QList<QColor> colours; // of the runs drawn
};
void PrintTo(const ElideRow& row, std::ostream* os)
{
    *os << row.name;
}

class StatusElision : public ::testing::TestWithParam<ElideRow>
{
};

TEST_P(StatusElision, CutWithAnEllipsisAndWholeInTheTooltip)
{
    const ElideRow row = GetParam();
    CInkStatusBar bar;
    bar.resize(1000, 26);
    bar.show();
    const QString message = QString::fromUtf8(row.message);
    bar.SetStatusText(message);
    const QString plain = InkPlainText(message);
    QString shown;
    QList<QColor> colours;
    for (const InkRun& run : bar.ShownRuns()) {
        shown += run.text;
        colours << run.color;
    }
    EXPECT_EQ(bar.Elided(), row.elided);
    EXPECT_EQ(colours, row.colours);
    EXPECT_EQ(bar.accessibleName(), plain);
    // Up to the progress bar, which lies over the rest of pane 0.
    const int room = bar.ProgressBar()->x() - bar.Pane(0)->x() - CInkStatusBar::kTextIndent;
    EXPECT_LE(QFontMetrics(bar.Pane(0)->font()).horizontalAdvance(shown), room);
    if (row.elided) {
        EXPECT_TRUE(shown.endsWith(QStringLiteral("…"))) << shown.toStdString();
        EXPECT_TRUE(plain.startsWith(shown.chopped(1))) << shown.toStdString();
        EXPECT_EQ(bar.toolTip(), plain);
        EXPECT_EQ(bar.accessibleDescription(), plain);
    } else {
        EXPECT_EQ(shown, plain);
        EXPECT_TRUE(bar.toolTip().isEmpty());
        EXPECT_TRUE(bar.accessibleDescription().isEmpty());
    }
    // Wide enough, the same message is drawn whole and the tooltip goes.
    bar.resize(4000, 26);
    EXPECT_FALSE(bar.Elided());
    EXPECT_TRUE(bar.toolTip().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StatusElision,
    ::testing::Values(
        ElideRow{"ShortFits", "$INKblue$COM port open successfully, please connect QAV-NUVA!", false, {kBlue}},
        ElideRow{"LongOneColour",
                 "$INKred$Cannot open COM5: COM5 (/dev/serial/by-id/usb-Silicon_Labs_CP2102_USB_to_UART_"
                 "Bridge_Controller_0001-if00-port0) is busy: it is already open in this or another program.",
                 true,
                 {kRed}},
        ElideRow{"LongCutInItsSecondColour",
                 "Plain start $INKred$and then a very long red tail that goes on and on well past the end of the "
                 "room the progress bar leaves for the message, much longer than any screen shows",
                 true,
                 {kBlack, kRed}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace qav
