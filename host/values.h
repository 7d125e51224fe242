// Small value types shared by the host and the plug-in: vectors, matrices, polygons.
#pragma once

#include <cmath>
#include <cstdint>

namespace host {

struct Vector {
  double x = 0.0, y = 0.0, z = 0.0;

  constexpr Vector() = default;
  constexpr Vector(double ax, double ay, double az) : x(ax), y(ay), z(az) {}

  constexpr Vector operator+(const Vector& o) const { return {x + o.x, y + o.y, z + o.z}; }
  constexpr Vector operator-(const Vector& o) const { return {x - o.x, y - o.y, z - o.z}; }
  constexpr Vector operator-() const { return {-x, -y, -z}; }
  constexpr Vector operator*(double s) const { return {x * s, y * s, z * s}; }
  constexpr Vector operator/(double s) const { return {x / s, y / s, z / s}; }
  Vector& operator+=(const Vector& o) { return *this = *this + o; }
  Vector& operator-=(const Vector& o) { return *this = *this - o; }
  Vector& operator*=(double s) { return *this = *this * s; }
  constexpr bool operator==(const Vector& o) const = default;
};

constexpr double dot(const Vector& a, const Vector& b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}
constexpr Vector cross(const Vector& a, const Vector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double length(const Vector& v) {
  return std::sqrt(dot(v, v));
}
// A zero vector stays zero.
inline Vector normalize(const Vector& v) {
  const double len = length(v);
  return len > 0.0 ? v / len : v;
}

// Offset and three axes; a point p maps to off + p.x * v1 + p.y * v2 + p.z * v3.
struct Matrix {
  Vector off{0, 0, 0}, v1{1, 0, 0}, v2{0, 1, 0}, v3{0, 0, 1};

  constexpr Vector operator*(const Vector& p) const { return off + v1 * p.x + v2 * p.y + v3 * p.z; }
  constexpr Matrix operator*(const Matrix& m) const {
    return {*this * m.off, transformDirection(m.v1), transformDirection(m.v2),
            transformDirection(m.v3)};
  }
  constexpr Vector transformDirection(const Vector& d) const {
    return v1 * d.x + v2 * d.y + v3 * d.z;
  }
  constexpr bool operator==(const Matrix& o) const = default;
};

// A polygon's four point indices; c == d marks a triangle.
struct Polygon {
  int32_t a = 0, b = 0, c = 0, d = 0;
  constexpr bool isTriangle() const { return c == d; }
  constexpr int32_t corner(int i) const { return i == 0 ? a : i == 1 ? b : i == 2 ? c : d; }
  constexpr bool operator==(const Polygon& o) const = default;
};
static_assert(sizeof(Polygon) == 16);

// The UVW coordinates of one polygon's four corners.
struct UVWPolygon {
  Vector a, b, c, d;
  constexpr Vector& corner(int i) { return i == 0 ? a : i == 1 ? b : i == 2 ? c : d; }
  constexpr const Vector& corner(int i) const { return i == 0 ? a : i == 1 ? b : i == 2 ? c : d; }
};
static_assert(sizeof(UVWPolygon) == 4 * 3 * sizeof(double));

}  // namespace host
