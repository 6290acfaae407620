#pragma once
// The RC mode bar: a light picture ("Mode1", "Mode2") covered from the left
// by its dark twin in proportion to the position. Both 150 x 20 pictures are
// stretched to the control's client area. A disabled bar (its position no
// longer live) is drawn faded.
#include <QFrame>
#include <QPixmap>

namespace qav {

class CImageBar : public QFrame
{
    Q_OBJECT
public:
    static constexpr double kDisabledOpacity = 0.35;

    explicit CImageBar(QWidget* parent = nullptr);

    // The smaller of the two becomes the minimum.
    void SetRange(int a, int b);
    // Stores the position, limited to the maximum (not to the minimum: a
    // position below it just shows no fill). Returns false when it was
    // limited. Repaints when the position changed.
    bool SetPos(int value);

    int Minimum() const { return minimum_; }
    int Maximum() const { return maximum_; }
    int Position() const { return position_; }

    const QPixmap& Background() const { return background_; }
    const QPixmap& Fill() const { return fill_; }

    // Width in pixels the dark picture covers in a client area `width` wide,
    // and how many of its source columns are used for that.
    int FillWidth(int width) const;
    int FillSourceColumns() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double FillRatio() const;

    int minimum_ = 1;
    int maximum_ = 100;
    int position_ = 0;
    QPixmap background_;
    QPixmap fill_;
};

} // namespace qav
