#include "ui/AttitudeView.h"

#include "ui/PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qav {

using namespace gimbal;

AttitudeView::AttitudeView(QWidget* host, double scale) : QWidget(host), scale_(scale), model_(BuildGimbal())
{
    // Outward normals, from the corners' counter-clockwise order, and
    // which of the model's few colours each face has.
    std::vector<QRgb> colours;
    for (const PartFace& pf : model_) {
        const auto& pts = pf.face.points;
        normals_.push_back(Normalised(Cross(pts[1] - pts[0], pts[2] - pts[0])));
        const QRgb c = pf.face.colour.rgb();
        const auto known = std::find(colours.begin(), colours.end(), c);
        colourOf_.push_back(static_cast<size_t>(known - colours.begin()));
        if (known == colours.end())
            colours.push_back(c);
    }
    shades_.resize(colours.size());
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Not a QObject class of its own: tr() would look under QWidget.
    setAccessibleName(QCoreApplication::translate("AttitudeView", "3D attitude display"));
    host->installEventFilter(this);
    setGeometry(host->contentsRect());
    // Every paint covers the whole area.
    setAttribute(Qt::WA_OpaquePaintEvent);
    show();
}

QString AttitudeView::Description() const
{
    return QCoreApplication::translate("AttitudeView", "Roll %1, tilt %2, pan %3 degrees")
        .arg(roll_, 0, 'f', 1)
        .arg(tilt_, 0, 'f', 1)
        .arg(pan_, 0, 'f', 1);
}

void AttitudeView::SetAttitude(double roll, double tilt, double pan)
{
    if (roll == roll_ && tilt == tilt_ && pan == pan_)
        return;
    roll_ = roll, tilt_ = tilt, pan_ = pan;
    // Hidden: nothing is drawn now; showing it paints the whole area.
    if (!isVisible()) {
        stale_ = true;
        projected_.reset();
        return;
    }
    // Weighed when the next paint of the motion's pace comes, not with
    // every attitude given.
    turned_ = true;
    PaintPacer::Instance().Update(this, PaintPacer::Pace::Motion, [this] { return CatchUp(); });
}

QRect AttitudeView::CatchUp()
{
    if (!std::exchange(turned_, false))
        return {};
    // A turn that moves no corner by half a pixel or more changes
    // nothing visibly and is not painted. Measured against the drawn
    // model, so such turns cannot add up unseen.
    Project(next_);
    if (!stale_ && projected_ && projected_->size == size() && !MovedVisibly(projected_->faces, next_))
        return {};
    stale_ = true;
    const QRect before = modelRect_;
    modelRect_ = Bounds(next_);
    if (!projected_)
        projected_.emplace();
    projected_->size = size();
    // The faces drawn before become the buffers of the next turn.
    std::swap(projected_->faces, next_);
    return before | modelRect_;
}

bool AttitudeView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->contentsRect());
    return false;
}

void AttitudeView::paintEvent(QPaintEvent* event)
{
    // Painted before the pacer's round (shown, exposed or grabbed): the
    // model as last given; what lies outside this paint follows.
    const QRect turned = CatchUp();
    if (!turned.isEmpty() && !event->rect().contains(turned))
        update(turned);
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (stale_ || picture_.size() != pixels) {
        Draw(pixels, ratio);
        stale_ = false;
    }
    QPainter p(this);
    const QRect dirty = event->rect();
    const QRectF source(QPointF(dirty.topLeft()) * ratio, QSizeF(dirty.size()) * ratio);
    p.drawImage(QRectF(dirty), picture_, source);
    // Disabled (the attitude is no longer live): shown behind a veil.
    if (!isEnabled())
        p.fillRect(rect(), QColor(236, 240, 246, 170));
}

void AttitudeView::Project(std::vector<Drawn>& drawn)
{
    const Mat3 base = AboutZ(pan_);
    const Mat3 rollFrame = base * AboutX(roll_);
    const Mat3 cameraPose = rollFrame * AboutY(-tilt_); // positive tilt lifts the lens
    // Seen from the front right, a little from above.
    const Mat3 view = AboutY(20) * AboutZ(-35);
    const Vec3 light = Normalised({-0.4, 0.5, 0.9});
    const std::array<Mat3, 3> poses{base, rollFrame, cameraPose};
    std::array<Mat3, 3> seen;
    std::array<Vec3, 3> lightInPart; // the light as the part's own axes see it
    for (size_t i = 0; i < poses.size(); ++i) {
        seen[i] = view * poses[i];
        lightInPart[i] = Transposed(poses[i]) * light;
    }
    const double size = std::min(width(), height()) * scale_ * 0.55;
    const QPointF centre(width() / 2.0, height() / 2.0 + size * 0.05);

    // The polygons of `drawn` are refilled in place: those left from the
    // last turn keep their memory.
    drawn.resize(model_.size());
    size_t visible = 0;
    for (size_t f = 0; f < model_.size(); ++f) {
        const PartFace& pf = model_[f];
        const auto part = static_cast<size_t>(pf.part);
        const Mat3& m = seen[part];
        const Vec3 normal = normals_[f];
        // Screen depth runs along the view's x axis (towards the viewer).
        if (m.m[0] * normal.x + m.m[1] * normal.y + m.m[2] * normal.z <= 0)
            continue;
        Drawn& d = drawn[visible++];
        d.polygon.resize(static_cast<qsizetype>(pf.face.points.size()));
        double depth = 0;
        QPointF* corner = d.polygon.data();
        for (const auto& point : pf.face.points) {
            const Vec3 v = m * point;
            const double perspective = 3.5 / (3.5 - v.x);
            *corner++ = QPointF(centre.x() + v.y * size * perspective, centre.y() - v.z * size * perspective);
            depth += v.x;
        }
        const double lambert = std::max(0.0, Dot(normal, lightInPart[part]));
        const int factor = static_cast<int>(55 + 75 * lambert);
        d.depth = depth / static_cast<double>(pf.face.points.size());
        d.colour = &Shade(f, factor);
        d.face = static_cast<int>(f);
    }
    drawn.resize(visible);
    std::sort(drawn.begin(), drawn.end(), [](const Drawn& a, const Drawn& b) { return a.depth < b.depth; });
}

const AttitudeView::Shaded& AttitudeView::Shade(size_t face, int factor)
{
    auto& byFactor = shades_[colourOf_[face]];
    const auto i = static_cast<size_t>(std::clamp(factor - kDarkest, 0, kBrightest - kDarkest));
    if (!byFactor[i]) {
        const QColor c = model_[face].face.colour;
        const QColor fill = QColor::fromRgbF(std::min(1.0, c.redF() * factor / 100.0),
                                             std::min(1.0, c.greenF() * factor / 100.0),
                                             std::min(1.0, c.blueF() * factor / 100.0));
        // A cosmetic hairline: drawn directly, where a scaled pen would be
        // stroked into a path for every face.
        QPen edge(fill.darker(135), 0);
        edge.setCosmetic(true);
        byFactor[i] = Shaded{QBrush(fill), edge};
    }
    return *byFactor[i];
}

bool AttitudeView::MovedVisibly(const std::vector<Drawn>& drawn, const std::vector<Drawn>& next)
{
    if (drawn.size() != next.size())
        return true;
    for (size_t i = 0; i < drawn.size(); ++i) {
        const QPolygonF& a = drawn[i].polygon;
        const QPolygonF& b = next[i].polygon;
        if (a.size() != b.size() || drawn[i].face != next[i].face || drawn[i].colour != next[i].colour)
            return true;
        for (qsizetype j = 0; j < a.size(); ++j) {
            const QPointF d = a[j] - b[j];
            if (d.x() * d.x() + d.y() * d.y() >= 0.25)
                return true;
        }
    }
    return false;
}

QRect AttitudeView::Bounds(const std::vector<Drawn>& drawn)
{
    QRectF r;
    for (const auto& d : drawn)
        r |= d.polygon.boundingRect();
    return r.toAlignedRect().adjusted(-2, -2, 2, 2);
}

void AttitudeView::Draw(QSize pixels, qreal ratio)
{
    // The sky is drawn once per size; the model whenever it turned.
    if (sky_.size() != pixels) {
        // Opaque: copied and painted on without blending.
        sky_ = QImage(pixels, QImage::Format_RGB32);
        sky_.setDevicePixelRatio(ratio);
        QPainter sp(&sky_);
        QLinearGradient sky(0, 0, 0, height());
        sky.setColorAt(0, QColor(236, 240, 246));
        sky.setColorAt(1, QColor(206, 213, 224));
        sp.fillRect(rect(), sky);
    }
    if (!projected_ || projected_->size != size()) {
        projected_.emplace();
        projected_->size = size();
        Project(projected_->faces);
    }
    const std::vector<Drawn>& drawn = projected_->faces;
    const QRect area = Bounds(drawn);
    if (picture_.size() != pixels) {
        picture_ = sky_.copy();
        picture_.setDevicePixelRatio(ratio);
    }
    QPainter p(&picture_);
    // Only where the model was or is now needs the sky again.
    const QRect redo = (drawnRect_ | area) & rect();
    // Clipped, the antialiased edges are drawn much faster.
    p.setClipRect(redo);
    p.drawImage(redo, sky_, QRectF(QPointF(redo.topLeft()) * ratio, QSizeF(redo.size()) * ratio));
    drawnRect_ = area;
    p.setRenderHint(QPainter::Antialiasing);
    for (const auto& d : drawn) {
        // The face is filled without antialiasing, the costly part of
        // drawing it; its antialiased edge, drawn over the fill's border,
        // smooths it as before.
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(d.colour->brush);
        p.drawPolygon(d.polygon);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(d.colour->edge);
        p.setBrush(Qt::NoBrush);
        p.drawPolygon(d.polygon);
    }
    modelRect_ = area;
}

} // namespace qav
