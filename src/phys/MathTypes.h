#pragma once

#include <cmath>
#include <cstdint>

// Plain value types of the physics layer: vectors, rotations, rigid transforms and boxes.
// Conversions to the engine's own types live in the game, not here.

namespace phys {

inline constexpr float Pi = 3.14159265358979f;

struct Vec3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr Vec3() = default;
    constexpr Vec3(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}
    explicit constexpr Vec3(float v) : x(v), y(v), z(v) {}

    constexpr Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vec3 operator-() const { return {-x, -y, -z}; }
    constexpr Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    constexpr Vec3 operator/(float s) const { return {x / s, y / s, z / s}; }
    Vec3& operator+=(const Vec3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Vec3& operator-=(const Vec3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Vec3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    constexpr bool operator==(const Vec3& o) const { return x == o.x && y == o.y && z == o.z; }
    constexpr bool operator!=(const Vec3& o) const { return !(*this == o); }

    constexpr float dot(const Vec3& o) const { return x * o.x + y * o.y + z * o.z; }
    constexpr Vec3 cross(const Vec3& o) const {
        return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x};
    }
    // Component-wise product.
    constexpr Vec3 multiply(const Vec3& o) const { return {x * o.x, y * o.y, z * o.z}; }
    constexpr float magnitudeSquared() const { return dot(*this); }
    float magnitude() const { return std::sqrt(magnitudeSquared()); }
    Vec3 getNormalized() const {
        const float m = magnitude();
        return m > 0.0f ? *this / m : Vec3();
    }
    constexpr bool isZero() const { return x == 0.0f && y == 0.0f && z == 0.0f; }
    bool isFinite() const { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }
    constexpr float minElement() const { return x < y ? (x < z ? x : z) : (y < z ? y : z); }
    constexpr float maxElement() const { return x > y ? (x > z ? x : z) : (y > z ? y : z); }
};

constexpr Vec3 operator*(float s, const Vec3& v) { return v * s; }

// Double-precision position, as the character controllers keep it.
struct ExtVec3 {
    double x = 0.0, y = 0.0, z = 0.0;

    constexpr ExtVec3() = default;
    constexpr ExtVec3(double vx, double vy, double vz) : x(vx), y(vy), z(vz) {}
};

// Unit quaternion (x, y, z, w).
struct Quat {
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

    constexpr Quat() = default;
    constexpr Quat(float qx, float qy, float qz, float qw) : x(qx), y(qy), z(qz), w(qw) {}

    // Rotation of angle radians about a unit axis.
    static Quat fromAxisAngle(const Vec3& unitAxis, float angle) {
        const float s = std::sin(angle * 0.5f);
        return {unitAxis.x * s, unitAxis.y * s, unitAxis.z * s, std::cos(angle * 0.5f)};
    }

    constexpr Quat operator*(const Quat& q) const {
        return {w * q.x + q.w * x + y * q.z - q.y * z, w * q.y + q.w * y + z * q.x - q.z * x,
                w * q.z + q.w * z + x * q.y - q.x * y, w * q.w - x * q.x - y * q.y - z * q.z};
    }
    constexpr bool operator==(const Quat& o) const {
        return x == o.x && y == o.y && z == o.z && w == o.w;
    }
    constexpr bool operator!=(const Quat& o) const { return !(*this == o); }

    constexpr Quat getConjugate() const { return {-x, -y, -z, w}; }
    constexpr float magnitudeSquared() const { return x * x + y * y + z * z + w * w; }
    float magnitude() const { return std::sqrt(magnitudeSquared()); }
    Quat getNormalized() const {
        const float m = magnitude();
        return m > 0.0f ? Quat(x / m, y / m, z / m, w / m) : Quat();
    }
    bool isFinite() const {
        return std::isfinite(x) && std::isfinite(y) && std::isfinite(z) && std::isfinite(w);
    }
    // Unit length within the given tolerance of the length (not of its square).
    bool isUnit(float tolerance = 1e-3f) const {
        return isFinite() && std::fabs(magnitude() - 1.0f) <= tolerance;
    }
    bool isIdentity() const { return x == 0.0f && y == 0.0f && z == 0.0f && w == 1.0f; }

    constexpr Vec3 rotate(const Vec3& v) const {
        const float vx = 2.0f * v.x, vy = 2.0f * v.y, vz = 2.0f * v.z;
        const float w2 = w * w - 0.5f;
        const float dot2 = x * vx + y * vy + z * vz;
        return {vx * w2 + (y * vz - z * vy) * w + x * dot2, vy * w2 + (z * vx - x * vz) * w + y * dot2,
                vz * w2 + (x * vy - y * vx) * w + z * dot2};
    }
    constexpr Vec3 rotateInv(const Vec3& v) const { return getConjugate().rotate(v); }
};

// Rigid transform: rotation q then translation p (q is applied first).
struct Transform {
    Quat q;
    Vec3 p;

    constexpr Transform() = default;
    explicit constexpr Transform(const Vec3& position) : p(position) {}
    explicit constexpr Transform(const Quat& rotation) : q(rotation) {}
    constexpr Transform(const Vec3& position, const Quat& rotation) : q(rotation), p(position) {}

    static constexpr Transform identity() { return Transform(); }

    constexpr Vec3 transform(const Vec3& v) const { return q.rotate(v) + p; }
    constexpr Vec3 transformInv(const Vec3& v) const { return q.rotateInv(v - p); }
    constexpr Vec3 rotate(const Vec3& v) const { return q.rotate(v); }
    constexpr Vec3 rotateInv(const Vec3& v) const { return q.rotateInv(v); }

    // this * other: other is expressed in this frame.
    constexpr Transform operator*(const Transform& o) const { return {transform(o.p), q * o.q}; }
    constexpr Transform getInverse() const {
        const Quat inv = q.getConjugate();
        return {inv.rotate(-p), inv};
    }
    constexpr bool operator==(const Transform& o) const { return q == o.q && p == o.p; }
    constexpr bool operator!=(const Transform& o) const { return !(*this == o); }

    bool isFinite() const { return q.isFinite() && p.isFinite(); }
    // Finite with a rotation within tolerance of unit length.
    bool isValid(float tolerance = 1e-3f) const { return p.isFinite() && q.isUnit(tolerance); }
    bool isIdentity() const { return q.isIdentity() && p.isZero(); }
};

// Axis-aligned box; empty when min > max.
struct Bounds3 {
    Vec3 minimum{1e30f, 1e30f, 1e30f};
    Vec3 maximum{-1e30f, -1e30f, -1e30f};

    constexpr Bounds3() = default;
    constexpr Bounds3(const Vec3& mn, const Vec3& mx) : minimum(mn), maximum(mx) {}

    static constexpr Bounds3 empty() { return Bounds3(); }
    static constexpr Bounds3 centerExtents(const Vec3& c, const Vec3& e) { return {c - e, c + e}; }

    constexpr bool isEmpty() const {
        return minimum.x > maximum.x || minimum.y > maximum.y || minimum.z > maximum.z;
    }
    void include(const Vec3& v) {
        minimum = {std::fmin(minimum.x, v.x), std::fmin(minimum.y, v.y), std::fmin(minimum.z, v.z)};
        maximum = {std::fmax(maximum.x, v.x), std::fmax(maximum.y, v.y), std::fmax(maximum.z, v.z)};
    }
    void include(const Bounds3& b) {
        if (b.isEmpty())
            return;
        include(b.minimum);
        include(b.maximum);
    }
    constexpr bool intersects(const Bounds3& b) const {
        return !(b.minimum.x > maximum.x || minimum.x > b.maximum.x || b.minimum.y > maximum.y ||
                 minimum.y > b.maximum.y || b.minimum.z > maximum.z || minimum.z > b.maximum.z);
    }
    constexpr bool contains(const Vec3& v) const {
        return v.x >= minimum.x && v.x <= maximum.x && v.y >= minimum.y && v.y <= maximum.y &&
               v.z >= minimum.z && v.z <= maximum.z;
    }
    constexpr Vec3 getCenter() const { return (minimum + maximum) * 0.5f; }
    constexpr Vec3 getExtents() const { return (maximum - minimum) * 0.5f; }
    constexpr Vec3 getDimensions() const { return maximum - minimum; }
};

} // namespace phys
