#include "ui/ImageBar.h"

#include <QImage>
#include <gtest/gtest.h>

namespace qav {
namespace {

class ImageBarPixels : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar_.setFrameStyle(QFrame::NoFrame); // client area = whole control
        bar_.resize(300, 20);
        bar_.SetRange(0, 200);
        light_ = bar_.Background().toImage().convertToFormat(QImage::Format_RGB32);
        dark_ = bar_.Fill().toImage().convertToFormat(QImage::Format_RGB32);
    }

    QImage Render() { return bar_.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // Columns, from the left, drawn from the dark picture. The top rows of
    // both pictures are plain field, dark in one and light in the other.
    int DarkColumns(const QImage& img)
    {
        const QRgb darkField = dark_.pixel(0, 1), lightField = light_.pixel(0, 1);
        int columns = 0;
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, 1);
            EXPECT_TRUE(p == darkField || p == lightField) << "column " << x;
            if (p != darkField)
                break;
            ++columns;
        }
        for (int x = columns; x < img.width(); ++x)
            EXPECT_EQ(img.pixel(x, 1), lightField) << "dark again at column " << x;
        return columns;
    }

    CImageBar bar_;
    QImage light_, dark_;
};

TEST_F(ImageBarPixels, PicturesAreTheirSizeAndDiffer)
{
    EXPECT_EQ(light_.size(), QSize(150, 20));
    EXPECT_EQ(dark_.size(), QSize(150, 20));
    EXPECT_NE(light_, dark_);
}

TEST_F(ImageBarPixels, HalfwayShowsTheDarkPicturesLeftHalfOverTheLeftHalf)
{
    bar_.SetPos(100);
    EXPECT_EQ(bar_.FillSourceColumns(), 75);
    const QImage img = Render();
    EXPECT_EQ(DarkColumns(img), 150);
    // Every pixel: the left 75 picture columns stretched twice as wide,
    // then the light picture stretched the same way.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 300; ++x)
            ASSERT_EQ(img.pixel(x, y), (x < 150 ? dark_ : light_).pixel(x / 2, y)) << x << "," << y;
}

TEST_F(ImageBarPixels, LoweringThePositionShrinksTheFillAtOnce)
{
    bar_.SetPos(150);
    EXPECT_EQ(DarkColumns(Render()), 225);
    bar_.SetPos(50);
    EXPECT_EQ(DarkColumns(Render()), 75);
}

TEST_F(ImageBarPixels, ChannelExtremesAreAllLightAndAllDark)
{
    // The RC mode channel -100..100 arrives as 0..200.
    bar_.SetPos(0);
    EXPECT_EQ(DarkColumns(Render()), 0);
    bar_.SetPos(200);
    EXPECT_EQ(DarkColumns(Render()), 300);
}

TEST_F(ImageBarPixels, PositionAboveTheMaximumIsLimitedAndFillsTheBar)
{
    EXPECT_FALSE(bar_.SetPos(250));
    EXPECT_EQ(bar_.Position(), 200);
    EXPECT_EQ(DarkColumns(Render()), 300);
    EXPECT_TRUE(bar_.SetPos(200));
}

TEST_F(ImageBarPixels, PositionBelowTheMinimumIsKeptButShowsNoFill)
{
    EXPECT_TRUE(bar_.SetPos(-5));
    EXPECT_EQ(bar_.Position(), -5);
    EXPECT_EQ(DarkColumns(Render()), 0);
}

TEST_F(ImageBarPixels, EmptyRangeDrawsOnlyTheBackground)
{
    bar_.SetRange(50, 50);
    bar_.SetPos(50);
    EXPECT_EQ(DarkColumns(Render()), 0);
}

TEST(ImageBar, RangeIsTakenInEitherOrder)
{
    CImageBar bar;
    EXPECT_EQ(bar.Minimum(), 1);
    EXPECT_EQ(bar.Maximum(), 100);
    EXPECT_EQ(bar.Position(), 0);
    bar.SetRange(200, 0);
    EXPECT_EQ(bar.Minimum(), 0);
    EXPECT_EQ(bar.Maximum(), 200);
}

TEST(ImageBar, FillNeverReachesPastTheControl)
{
    // With the default range 1..100 a position of 100 gives a ratio above 1.
    CImageBar bar;
    bar.SetPos(100);
    EXPECT_EQ(bar.FillWidth(300), 300);
    EXPECT_EQ(bar.FillSourceColumns(), 150);
}

} // namespace
} // namespace qav
