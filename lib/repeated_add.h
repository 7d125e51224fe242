// The value a single-precision running sum reaches after many equal steps, without taking them
// one by one. The scan-line walks use it to start below rows they do not draw: the rows they do
// draw must see exactly the sums a row-by-row walk would have.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace pigmora {

// What `for (n times) t += step;` leaves in t, for t >= 0 and step > 0, in float arithmetic
// rounded to nearest. Between two powers of two every float is a whole number of ulps, so
// each addition adds the same whole number of ulps as long as the exact sum stays below the next
// power of two. A step of exactly an odd number of half ulps is the exception: each sum then
// rounds to an even mantissa, so the increment is constant only from a sum that was itself
// rounded inside the binade. Steps that cross a power of two, and the first step after one, are
// taken one by one.
inline float addRepeatedly(float t, float step, int64_t n) {
  if (!(t >= 0.f) || !(step > 0.f) || !std::isfinite(t) || !std::isfinite(step)) {
    for (; n > 0; --n) t += step;
    return t;
  }
  while (n > 0) {
    const float before = t;
    t += step;
    --n;
    if (t == before || n == 0) return t;  // a sum that stops moving stays where it is
    if (!(t >= std::numeric_limits<float>::min()) || !std::isfinite(t)) continue;
    int exponent = 0;
    std::frexp(t, &exponent);  // t lies in [2^(exponent - 1), 2^exponent)
    if (before < std::ldexp(1.f, exponent - 1)) continue;
    const float ulp = std::ldexp(1.f, exponent - 24);
    const float next = t + step;
    const float top = std::ldexp(1.f, exponent);
    if (!(next < top)) continue;
    const int64_t mantissa = static_cast<int64_t>(t / ulp);
    const int64_t increment = static_cast<int64_t>((next - t) / ulp);
    if (increment <= 0) continue;
    // Steps whose exact sum stays at least one ulp below the power of two.
    int64_t steps = ((int64_t{1} << 24) - 1 - mantissa) / increment;
    if (steps > n) steps = n;
    if (steps <= 0) continue;
    t = std::ldexp(static_cast<float>(mantissa + steps * increment), exponent - 24);
    n -= steps;
  }
  return t;
}

}  // namespace pigmora
