// How the components of the paintable colour modes hold their values: 8 and 16-bit integers
// and 32-bit floats. Shared by the blend and the blur; private to the rasterisers.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace pigmora {

// Alpha of 16-bit pixels is normalised by 65536 and stored back limited to 65535, so a fully
// painted pixel ends opaque rather than wrapping to 0.
template <class T>
struct Component;
template <>
struct Component<uint8_t> {
  static constexpr float kMax = 255.f;
  static constexpr float kAlphaUnit = 255.f;
  static constexpr float kBrightnessUnit = 765.f;
};
template <>
struct Component<uint16_t> {
  static constexpr float kMax = 65535.f;
  static constexpr float kAlphaUnit = 65536.f;
  static constexpr float kBrightnessUnit = 196608.f;
};
template <>
struct Component<float> {
  static constexpr float kMax = 1.f;
  static constexpr float kAlphaUnit = 1.f;
  static constexpr float kBrightnessUnit = 3.f;
};

template <class T>
inline float load(const uint8_t* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return static_cast<float>(v);
}

// i / 255 for every byte: alpha of 8-bit pixels normalised without a division per pixel.
struct ByteUnits {
  float v[256];
  constexpr ByteUnits() : v() {
    for (int i = 0; i < 256; ++i) v[i] = static_cast<float>(i) / 255.f;
  }
};
inline constexpr ByteUnits kByteUnits;

// i / 765 for every sum of three bytes: the brightness of 8-bit pixels without a division.
struct ByteSumUnits {
  float v[766];
  constexpr ByteSumUnits() : v() {
    for (int i = 0; i < 766; ++i)
      v[i] = static_cast<float>(i) / Component<uint8_t>::kBrightnessUnit;
  }
};
inline constexpr ByteSumUnits kByteSumUnits;

// Alpha as a fraction of opaque.
template <class T>
inline float loadAlpha(const uint8_t* p) {
  if constexpr (std::is_same_v<T, uint8_t>)
    return kByteUnits.v[*p];
  else
    return load<T>(p) / Component<T>::kAlphaUnit;
}

// Integer components are truncated; the limits keep rounding noise from wrapping around.
template <class T>
inline void store(uint8_t* p, float v) {
  if constexpr (std::is_same_v<T, float>) {
    std::memcpy(p, &v, sizeof v);
  } else {
    v = v > 0.f ? v : 0.f;
    v = v < Component<T>::kMax ? v : Component<T>::kMax;
    const T t = static_cast<T>(v);
    std::memcpy(p, &t, sizeof t);
  }
}

// Integer components rounded to the nearest value, for averages that must give back the value
// of a uniform neighbourhood exactly.
template <class T>
inline void storeRounded(uint8_t* p, double v) {
  if constexpr (std::is_same_v<T, float>) {
    store<T>(p, static_cast<float>(v));
  } else {
    store<T>(p, static_cast<float>(v + 0.5));
  }
}

}  // namespace pigmora
