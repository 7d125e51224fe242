#include "hostapp/scene/tags.h"

namespace hostapp {

host::UVWPolygon UVWTagImpl::get(int32_t polygon) const {
  if (polygon < 0 || polygon >= count()) return {};
  return uvw_[static_cast<size_t>(polygon)];
}

void UVWTagImpl::set(int32_t polygon, const host::UVWPolygon& uvw) {
  if (polygon >= 0 && polygon < count()) uvw_[static_cast<size_t>(polygon)] = uvw;
}

bool UVWTagImpl::resize(int32_t count) {
  if (count < 0) return false;
  uvw_.resize(static_cast<size_t>(count));
  return true;
}

TextureTagImpl::TextureTagImpl() {
  data().setInt32(host::kTexProjection, 6);
  data().setString(host::kTexRestriction, "");
  data().setBool(host::kTexTiling, true);
}

int32_t DataTagImpl::count() const {
  auto* obj = object_ && object_->type() == host::kTypePolygonObject
                  ? static_cast<host::PolygonObject*>(object_)
                  : nullptr;
  if (!obj) return 0;
  return type_ == host::kTypePointTag ? obj->pointCount() : obj->polygonCount();
}

}  // namespace hostapp
