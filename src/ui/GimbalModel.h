#pragma once
// The gimbal the 3D attitude display draws: its faces, each on the moving
// part that carries it, and the little vector algebra that turns them.
// Model axes: x forward (where the camera looks), y to the left, z up.
#include <QColor>

#include <array>
#include <cmath>
#include <vector>

namespace qav::gimbal {

struct Vec3
{
    double x = 0, y = 0, z = 0;
};
inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 Cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Normalised(Vec3 a)
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

inline Mat3 Transposed(const Mat3& a)
{
    return {{a.m[0], a.m[3], a.m[6], a.m[1], a.m[4], a.m[7], a.m[2], a.m[5], a.m[8]}};
}

inline constexpr double kDegree = 3.14159265358979323846 / 180.0;

inline Mat3 AboutX(double deg)
{
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {{1, 0, 0, 0, c, -s, 0, s, c}};
}
inline Mat3 AboutY(double deg)
{
    const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
    return {{c, 0, s, 0, 1, 0, -s, 0, c}};
}
inline Mat3 AboutZ(double deg)
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

// The faces of the top mount, the roll frame and the camera.
std::vector<PartFace> BuildGimbal();

} // namespace qav::gimbal
