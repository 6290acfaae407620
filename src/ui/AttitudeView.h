#pragma once
// The drawing surface of the 3D attitude display: the gimbal turned by the
// attitude, projected, shaded and painted over a sky, redrawn only where
// and when a turn shows.
//
// GUI thread only.
#include "ui/GimbalModel.h"

#include <QBrush>
#include <QColor>
#include <QImage>
#include <QPen>
#include <QPolygonF>
#include <QWidget>

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace qav {

class AttitudeView : public QWidget
{
public:
    // Covers `host`'s contents and follows its size; `scale` is the share of
    // its smaller side the model spans.
    AttitudeView(QWidget* host, double scale);

    // What assistive tools read, made when they ask rather than with each
    // of the 50 attitudes a second.
    QString Description() const;
    // Degrees; repaints only what a visible change needs.
    void SetAttitude(double roll, double tilt, double pan);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // A face's fill, and the pen of its darker edge, made once per shade:
    // a pen or brush made anew for every face costs an allocation each.
    struct Shaded
    {
        QBrush brush;
        QPen edge;
    };
    struct Drawn
    {
        QPolygonF polygon;
        double depth;
        const Shaded* colour; // in shades_, which never moves
        int face;
    };

    // The visible faces, far to near, at the widget's present size. Runs
    // up to 25 times a second: each part's pose is combined
    // with the view once, hidden faces are dropped before their corners are
    // turned, and the shades come from a table.
    void Project(std::vector<Drawn>& drawn);
    // Weighs the attitude last given against the model drawn: where to
    // repaint, empty when nothing visible changed or nothing was given.
    QRect CatchUp();

    // A face's colour lit by `factor` per cent, with its darker edge; each
    // base colour and factor is worked out once.
    const Shaded& Shade(size_t face, int factor);

    // Whether some corner of `next` lies half a pixel or more from where
    // `drawn` has it.
    static bool MovedVisibly(const std::vector<Drawn>& drawn, const std::vector<Drawn>& next);

    // The area the faces cover, with room for their antialiased edges.
    static QRect Bounds(const std::vector<Drawn>& drawn);

    // Draws the sky and the model into the picture the paints copy from.
    void Draw(QSize pixels, qreal ratio);

    double scale_;
    std::vector<gimbal::PartFace> model_;
    std::vector<gimbal::Vec3> normals_;
    static constexpr int kDarkest = 55, kBrightest = 130;
    std::vector<size_t> colourOf_;
    std::vector<std::array<std::optional<Shaded>, kBrightest - kDarkest + 1>> shades_;
    QImage sky_;
    // Sky and model as last drawn; `drawnRect_` is where that model lies.
    QImage picture_;
    QRect drawnRect_;
    // Where the model is now, for the areas to repaint.
    QRect modelRect_;
    // The faces as projected for the model drawn next or last, and the
    // widget size they were projected for.
    struct Projected
    {
        QSize size;
        std::vector<Drawn> faces;
    };
    std::optional<Projected> projected_;
    std::vector<Drawn> next_; // the faces of the turn being weighed
    bool stale_ = true;
    bool turned_ = false; // an attitude given since the model was last weighed
    double roll_ = 0, tilt_ = 0, pan_ = 0;
};

} // namespace qav
