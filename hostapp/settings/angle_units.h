// Angles: settings hold radians, as the host does internally; people read and type degrees. The
// conversions happen only where a person meets a value: a description written by hand, the
// command line.
#pragma once

#include <cmath>

#include "host/description.h"
#include "host/settings.h"

namespace hostapp {

inline double radiansFromDegrees(double degrees) {
  return degrees * (M_PI / 180.0);
}

inline double degreesFromRadians(double radians) {
  return radians * (180.0 / M_PI);
}

// The value to store for a parameter from what a person gave for it: a number for an angle is
// taken in degrees and stored as a real in radians; anything else is stored as given.
inline host::Value storedFromTyped(const host::DescriptionParameter* param,
                                   const host::Value& typed) {
  if (!param || !param->angle || !typed.isNumeric()) return typed;
  return host::Value::ofReal(radiansFromDegrees(typed.toReal()));
}

// What a person reads for a stored value: angles back in degrees.
inline host::Value typedFromStored(const host::DescriptionParameter* param,
                                   const host::Value& stored) {
  if (!param || !param->angle || !stored.isNumeric()) return stored;
  return host::Value::ofReal(degreesFromRadians(stored.toReal()));
}

}  // namespace hostapp
