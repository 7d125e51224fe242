#include "hostapp/window/view_navigation.h"

#include <algorithm>
#include <cmath>

#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"

namespace hostapp {

namespace {

constexpr double kDegreesPerPixel = 0.5;
constexpr double kMaxPitch = 89.0;

// Rotates v about the unit axis by the angle in radians.
host::Vector rotate(const host::Vector& v, const host::Vector& axis, double angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  return v * c + host::cross(axis, v) * s + axis * (host::dot(axis, v) * (1 - c));
}

}  // namespace

host::Vector ViewCamera::pivot() const {
  return matrix.off + host::normalize(matrix.v3) * distance;
}

void ViewCamera::orbit(double dx, double dy) {
  const host::Vector centre = pivot();
  host::Vector forward = host::normalize(matrix.v3);
  // The pitch stays short of straight up or down, where "up" would lose its meaning.
  const double pitch = std::asin(std::clamp(-forward.y, -1.0, 1.0)) * 180.0 / M_PI;
  const double turnPitch = std::clamp(pitch + dy * kDegreesPerPixel, -kMaxPitch, kMaxPitch) - pitch;
  const host::Vector up(0, 1, 0);
  host::Vector right = host::normalize(host::cross(up, forward));
  if (host::dot(right, right) == 0) right = host::normalize(matrix.v1);
  forward = rotate(forward, right, turnPitch * M_PI / 180.0);
  forward = rotate(forward, up, dx * kDegreesPerPixel * M_PI / 180.0);
  const RenderCamera cam = lookAt(centre - forward * distance, centre, 36.0);
  matrix = cam.matrix;
}

void ViewCamera::pan(double dx, double dy, double viewWidth) {
  const double unitsPerPixel = distance * halfFov / std::max(viewWidth / 2, 1.0);
  matrix.off = matrix.off - host::normalize(matrix.v1) * (dx * unitsPerPixel) +
               host::normalize(matrix.v2) * (dy * unitsPerPixel);
}

void ViewCamera::zoom(double steps) {
  const double before = distance;
  distance = std::max(distance * std::pow(0.9, steps), 1e-3);
  matrix.off = matrix.off + host::normalize(matrix.v3) * (before - distance);
}

ViewCamera frameAll(const DocumentImpl& doc, double aspect) {
  const RenderCamera framed = editorCamera(doc, aspect);
  ViewCamera view;
  view.matrix = framed.matrix;
  view.halfFov = framed.aperture * 0.5 / std::max(framed.focalLength, 1e-6);
  // The framing looks at the objects' centre: the pivot.
  host::Vector lo, hi;
  const host::Vector centre = sceneBounds(doc, lo, hi) ? (lo + hi) * 0.5 : host::Vector(0, 0, 0);
  view.distance = std::max(host::length(centre - view.matrix.off), 1e-3);
  return view;
}

}  // namespace hostapp
