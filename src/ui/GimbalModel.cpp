#include "ui/GimbalModel.h"

namespace qav::gimbal {
namespace {

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

} // namespace

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

} // namespace qav::gimbal
