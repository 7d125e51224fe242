#include "hostapp/ui/gadget_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace hostapp {

std::string formatNumber(const Widget& w) {
  const double v = w.value.isNumeric() ? w.value.toReal() : 0.0;
  char buffer[64];
  if (w.format == host::kNumberInteger) {
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(std::llround(v)));
  } else if (w.format == host::kNumberPercent) {
    std::snprintf(buffer, sizeof buffer, "%.0f %%", v * 100.0);
  } else {
    const int decimals =
        w.step > 0.0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(w.step) - 1e-9)), 0, 6)
                     : 2;
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  }
  return buffer;
}

}  // namespace hostapp
