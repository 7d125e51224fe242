#include "hostapp/sculpt/dab.h"

#include <algorithm>
#include <cmath>

namespace hostapp {

int32_t BrushDabImpl::pointIndex(int32_t e) const {
  return e >= 0 && e < pointCount() ? points_[static_cast<size_t>(e)].first : -1;
}

double BrushDabImpl::pointFalloff(int32_t e) const {
  return e >= 0 && e < pointCount() ? points_[static_cast<size_t>(e)].second : 0.0;
}

double BrushDabImpl::curve(double t) const {
  t = std::clamp(t, 0.0, 1.0);
  if (falloff_ && !falloff_->knots.empty()) return std::clamp(falloff_->evaluate(t), 0.0, 1.0);
  // Without a curve the brush fades smoothly to its rim.
  const double s = 1.0 - t;
  return s * s;
}

double BrushDabImpl::falloffAt(const host::Vector& p) const {
  // A radius whose square underflows covers nothing.
  if (!(radius_ * radius_ > 0)) return 0.0;
  const host::Vector d = p - centre_;
  const double t = host::dot(d, d) / (radius_ * radius_);
  return t >= 1.0 ? 0.0 : curve(t);
}

bool BrushDabImpl::pointTest(const host::Vector& p) const {
  const host::Vector d = p - centre_;
  const double along = host::dot(d, normal_);
  switch (brushMode_) {
    case 4:  // inside the brush sphere
      return host::dot(d, d) <= radius_ * radius_;
    case 5: {  // inside the brush cylinder along the normal
      const host::Vector across = d - normal_ * along;
      return host::dot(across, across) <= radius_ * radius_;
    }
    case 6:  // within a thin slab around the brush plane
      return std::abs(along) <= radius_ * 0.25;
    default:
      return true;
  }
}

bool BrushDabImpl::stampCoordinates(const host::Vector& p, float& sx, float& sy) const {
  const ImagePlacement& place = stamp_.image ? stamp_ : stencil_;
  if (!place.image || place.halfWidth <= 0) return false;
  const host::Vector d = p - place.centre;
  const double w = place.image->width(), h = place.image->height();
  // The image keeps its aspect: half its width spans halfWidth object units.
  const double scale = (w / 2) / place.halfWidth;
  sx = static_cast<float>(w / 2 + host::dot(d, place.u) * scale);
  sy = static_cast<float>(h / 2 + host::dot(d, place.v) * scale);
  return true;
}

void BrushDabImpl::offsetPoint(int32_t index, const host::Vector& offset) {
  if (!object_ || index < 0 || index >= object_->pointCount()) return;
  object_->writablePoints()[index] += offset;
  moved_ = true;
}

void BrushDabImpl::offsetPoint(int32_t index, const host::Vector& offset, int32_t a, int32_t b) {
  (void)a;
  (void)b;
  offsetPoint(index, offset);
}

}  // namespace hostapp
