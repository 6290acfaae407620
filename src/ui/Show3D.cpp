#include "ui/Show3D.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace qav {
namespace {

struct Vec3
{
    double x = 0, y = 0, z = 0;
};
Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Normalised(Vec3 a)
{
    const double n = std::sqrt(Dot(a, a));
    return n > 0 ? Vec3{a.x / n, a.y / n, a.z / n} : a;
}

// Row-major 3x3 rotation.
struct Mat3
{
    std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3 operator*(Vec3 v) const
    {
        return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
                m[6] * v.x + m[7] * v.y + m[8] * v.z};
    }
    Mat3 operator*(const Mat3& o) const
    {
        Mat3 r;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                r.m[i * 3 + j] = m[i * 3] * o.m[j] + m[i * 3 + 1] * o.m[3 + j] + m[i * 3 + 2] * o.m[6 + j];
        return r;
    }
};

Mat3 Transposed(const Mat3& a)
{
    return {{a.m[0], a.m[3], a.m[6], a.m[1], a.m[4], a.m[7], a.m[2], a.m[5], a.m[8]}};
}

constexpr double kDegree = 3.14159265358979323846 / 180.0;

// Model axes: x forward (where the camera looks), y to the left, z up.
Mat3 AboutX(double deg)
{
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {{1, 0, 0, 0, c, -s, 0, s, c}};
}
Mat3 AboutY(double deg)
{
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {{c, 0, s, 0, 1, 0, -s, 0, c}};
}
Mat3 AboutZ(double deg)
{
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {{c, -s, 0, s, c, 0, 0, 0, 1}};
}

struct Face
{
    std::vector<Vec3> points; // counter-clockwise seen from outside
    QColor colour;
};

// Which moving part of the gimbal a face belongs to.
enum class Part { Base, RollFrame, Camera };

struct PartFace
{
    Part part;
    Face face;
};

void AddBox(std::vector<PartFace>& out, Part part, Vec3 centre, Vec3 half, QColor colour)
{
    const double x0 = centre.x - half.x, x1 = centre.x + half.x;
    const double y0 = centre.y - half.y, y1 = centre.y + half.y;
    const double z0 = centre.z - half.z, z1 = centre.z + half.z;
    const std::array<std::array<Vec3, 4>, 6> faces{{
        {{{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}}, // front
        {{{x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}}}, // back
        {{{x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}}}, // left
        {{{x0, y0, z1}, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}}}, // right
        {{{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}}, // top
        {{{x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}}}, // bottom
    }};
    for (const auto& f : faces)
        out.push_back({part, {{f.begin(), f.end()}, colour}});
}

// A cylinder along the given axis ('x' or 'y'), as a prism of `sides` faces.
void AddCylinder(std::vector<PartFace>& out, Part part, Vec3 centre, char axis, double radius,
                 double halfLength, QColor side, QColor cap, int sides = 16)
{
    auto point = [&](double angle, double along) {
        const double a = std::cos(angle) * radius, b = std::sin(angle) * radius;
        return axis == 'x' ? centre + Vec3{along, a, b} : centre + Vec3{b, along, a};
    };
    std::vector<Vec3> front, back;
    for (int i = 0; i < sides; ++i) {
        const double a0 = 2 * 3.14159265358979323846 * i / sides;
        const double a1 = 2 * 3.14159265358979323846 * (i + 1) / sides;
        out.push_back(
            {part,
             {{point(a0, -halfLength), point(a1, -halfLength), point(a1, halfLength), point(a0, halfLength)},
              side}});
        front.push_back(point(a0, halfLength));
        back.insert(back.begin(), point(a0, -halfLength));
    }
    out.push_back({part, {front, cap}});
    out.push_back({part, {back, side.darker(120)}});
}

std::vector<PartFace> BuildGimbal()
{
    std::vector<PartFace> faces;
    const QColor frame(72, 78, 90), motor(40, 44, 52), camera(34, 120, 196), lens(20, 22, 26),
        glass(90, 170, 230);
    // Top mount and the roll motor behind the camera.
    AddBox(faces, Part::Base, {-0.55, 0, 0.62}, {0.45, 0.35, 0.05}, frame);
    AddBox(faces, Part::Base, {-0.95, 0, 0.36}, {0.05, 0.06, 0.26}, frame);
    AddCylinder(faces, Part::Base, {-0.9, 0, 0.05}, 'x', 0.16, 0.08, motor, motor.lighter(140));
    // Roll frame: a U from the roll motor around to both sides of the camera.
    AddBox(faces, Part::RollFrame, {-0.78, 0, -0.05}, {0.04, 0.62, 0.05}, frame.lighter(115));
    AddBox(faces, Part::RollFrame, {-0.4, 0.6, -0.05}, {0.38, 0.04, 0.05}, frame.lighter(115));
    AddBox(faces, Part::RollFrame, {-0.4, -0.6, -0.05}, {0.38, 0.04, 0.05}, frame.lighter(115));
    AddCylinder(faces, Part::RollFrame, {0, -0.55, 0}, 'y', 0.14, 0.07, motor, motor.lighter(140));
    // Camera body with its lens, turned by tilt inside the roll frame.
    AddBox(faces, Part::Camera, {0, 0, 0}, {0.3, 0.45, 0.25}, camera);
    AddCylinder(faces, Part::Camera, {0.38, 0.12, 0.02}, 'x', 0.15, 0.09, lens, glass);
    AddBox(faces, Part::Camera, {0.05, 0.0, 0.29}, {0.1, 0.12, 0.04}, camera.darker(130));
    return faces;
}

} // namespace

class AttitudeView : public QWidget
{
public:
    AttitudeView(QWidget* host, double scale) : QWidget(host), scale_(scale), model_(BuildGimbal())
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
        setAccessibleName(tr("3D attitude display"));
        host->installEventFilter(this);
        setGeometry(host->contentsRect());
        // Every paint covers the whole area.
        setAttribute(Qt::WA_OpaquePaintEvent);
        show();
    }

    // What assistive tools read, made when they ask rather than with each
    // of the 50 attitudes a second.
    QString Description() const
    {
        return QStringLiteral("Roll %1, tilt %2, pan %3 degrees")
            .arg(roll_, 0, 'f', 1)
            .arg(tilt_, 0, 'f', 1)
            .arg(pan_, 0, 'f', 1);
    }

    void SetAttitude(double roll, double tilt, double pan)
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
        // A turn that moves no corner by half a pixel or more changes
        // nothing visibly: the picture already drawn is shown again, only
        // where the model is. Measured against the drawn model, so such
        // turns cannot add up unseen.
        Project(next_);
        if (stale_ || !projected_ || projected_->size != size() || MovedVisibly(projected_->faces, next_)) {
            stale_ = true;
            const QRect before = modelRect_;
            modelRect_ = Bounds(next_);
            if (!projected_)
                projected_.emplace();
            projected_->size = size();
            // The faces drawn before become the buffers of the next turn.
            std::swap(projected_->faces, next_);
            update(before | modelRect_);
        } else {
            update(modelRect_);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->contentsRect());
        return false;
    }

    void paintEvent(QPaintEvent* event) override
    {
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

private:
    struct Shaded
    {
        QColor fill;
        QColor edge;
    };
    struct Drawn
    {
        QPolygonF polygon;
        double depth;
        Shaded colour;
        int face;
    };

    // The visible faces, far to near, at the widget's present size. Runs
    // for every attitude given (50 a second): each part's pose is combined
    // with the view once, hidden faces are dropped before their corners are
    // turned, and the shades come from a table.
    void Project(std::vector<Drawn>& drawn)
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
            d.colour = Shade(f, factor);
            d.face = static_cast<int>(f);
        }
        drawn.resize(visible);
        std::sort(drawn.begin(), drawn.end(),
                  [](const Drawn& a, const Drawn& b) { return a.depth < b.depth; });
    }

    // A face's colour lit by `factor` per cent, with its darker edge; each
    // base colour and factor is worked out once.
    const Shaded& Shade(size_t face, int factor)
    {
        auto& byFactor = shades_[colourOf_[face]];
        const auto i = static_cast<size_t>(std::clamp(factor - kDarkest, 0, kBrightest - kDarkest));
        if (!byFactor[i]) {
            const QColor c = model_[face].face.colour;
            const QColor fill = QColor::fromRgbF(std::min(1.0, c.redF() * factor / 100.0),
                                                 std::min(1.0, c.greenF() * factor / 100.0),
                                                 std::min(1.0, c.blueF() * factor / 100.0));
            byFactor[i] = Shaded{fill, fill.darker(135)};
        }
        return *byFactor[i];
    }

    static bool MovedVisibly(const std::vector<Drawn>& drawn, const std::vector<Drawn>& next)
    {
        if (drawn.size() != next.size())
            return true;
        for (size_t i = 0; i < drawn.size(); ++i) {
            const QPolygonF& a = drawn[i].polygon;
            const QPolygonF& b = next[i].polygon;
            if (a.size() != b.size() || drawn[i].face != next[i].face || drawn[i].colour.fill != next[i].colour.fill)
                return true;
            for (qsizetype j = 0; j < a.size(); ++j) {
                const QPointF d = a[j] - b[j];
                if (d.x() * d.x() + d.y() * d.y() >= 0.25)
                    return true;
            }
        }
        return false;
    }

    // The area the faces cover, with room for their antialiased edges.
    static QRect Bounds(const std::vector<Drawn>& drawn)
    {
        QRectF r;
        for (const auto& d : drawn)
            r |= d.polygon.boundingRect();
        return r.toAlignedRect().adjusted(-2, -2, 2, 2);
    }

    // Draws the sky and the model into the picture the paints copy from.
    void Draw(QSize pixels, qreal ratio)
    {
        // The sky is drawn once per size; the model whenever it turned.
        if (sky_.size() != pixels) {
            sky_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
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
            // smooths it as before. A cosmetic hairline: drawn directly, where
            // a scaled pen would be stroked into a path for every face.
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(Qt::NoPen);
            p.setBrush(d.colour.fill);
            p.drawPolygon(d.polygon);
            p.setRenderHint(QPainter::Antialiasing, true);
            QPen edge(d.colour.edge, 0);
            edge.setCosmetic(true);
            p.setPen(edge);
            p.setBrush(Qt::NoBrush);
            p.drawPolygon(d.polygon);
        }
        modelRect_ = area;
    }

    double scale_;
    std::vector<PartFace> model_;
    std::vector<Vec3> normals_;
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
    double roll_ = 0, tilt_ = 0, pan_ = 0;
};

namespace {

class AttitudeAccessible : public QAccessibleWidget
{
public:
    explicit AttitudeAccessible(AttitudeView* view) : QAccessibleWidget(view, QAccessible::Graphic) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<const AttitudeView*>(widget())->Description();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* AttitudeAccessibleFactory(const QString&, QObject* object)
{
    if (auto* view = dynamic_cast<AttitudeView*>(object))
        return new AttitudeAccessible(view);
    return nullptr;
}

} // namespace

QAVShow3DLibExp::QAVShow3DLibExp()
{
    static const bool installed = [] {
        QAccessible::installFactory(AttitudeAccessibleFactory);
        return true;
    }();
    (void)installed;
}

QAVShow3DLibExp::~QAVShow3DLibExp()
{
    // The host may already have deleted its children; the guard knows.
    delete view_.data();
}

void QAVShow3DLibExp::Init(QWidget* host, int /*style*/, double scale)
{
    if (!host || view_)
        return;
    view_ = new AttitudeView(host, scale > 0 ? scale : 0.8);
}

void QAVShow3DLibExp::Update(double roll, double tilt, double pan)
{
    if (view_)
        view_->SetAttitude(roll, tilt, pan);
}

QWidget* QAVShow3DLibExp::View() const
{
    return view_.data();
}

} // namespace qav
