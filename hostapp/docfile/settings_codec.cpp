#include "hostapp/docfile/settings_codec.h"

#include "hostapp/docfile/format.h"

namespace hostapp::docfile {

namespace {
// Every entry takes at least its key and its type byte.
constexpr uint64_t kMinEntryBytes = 5;
constexpr uint64_t kKnotBytes = 16;

void writeValue(ByteWriter& w, const host::Value& v, const NodeRefs& refs) {
  w.u8(static_cast<uint8_t>(v.type()));
  switch (v.type()) {
    case host::ValueType::kNone:
      break;
    case host::ValueType::kBool:
      w.u8(v.toBool() ? 1 : 0);
      break;
    case host::ValueType::kInt32:
      w.i32(v.toInt32());
      break;
    case host::ValueType::kInt64:
      w.i64(v.toInt64());
      break;
    case host::ValueType::kReal:
      w.f64(v.toReal());
      break;
    case host::ValueType::kString:
    case host::ValueType::kFilename:
      w.text(v.toString());
      break;
    case host::ValueType::kVector:
      w.vector(v.toVector());
      break;
    case host::ValueType::kMatrix:
      w.matrix(v.toMatrix());
      break;
    case host::ValueType::kContainer:
      writeSettings(w, *v.toContainer(), refs);
      break;
    case host::ValueType::kLink: {
      NodeRef ref;
      if (auto it = refs.find(v.toLink()); v.toLink() && it != refs.end()) ref = it->second;
      w.u8(ref.kind);
      w.i32(ref.a);
      w.i32(ref.b);
      break;
    }
    case host::ValueType::kSpline:
      w.u32(static_cast<uint32_t>(v.toSpline().knots.size()));
      for (const auto& k : v.toSpline().knots) {
        w.f64(k.x);
        w.f64(k.y);
      }
      break;
  }
}
}  // namespace

void writeSettings(ByteWriter& w, const host::Settings& s, const NodeRefs& refs, int32_t skip) {
  uint32_t count = 0;
  for (const auto& [key, value] : s.entries()) count += (skip == 0 || key != skip) ? 1 : 0;
  w.i32(s.id());
  w.u32(count);
  for (const auto& [key, value] : s.entries()) {
    if (skip != 0 && key == skip) continue;
    w.i32(key);
    writeValue(w, value, refs);
  }
}

bool readSettings(ByteReader& r, host::Settings& s, std::vector<PendingLink>& links, int depth) {
  int32_t id = 0;
  uint32_t count = 0;
  if (depth > kMaxSettingsDepth || !r.i32(id) || !r.u32(count) || !r.fits(count, kMinEntryBytes))
    return r.fail();
  s.clear();
  s.setId(id);
  for (uint32_t i = 0; i < count; ++i) {
    int32_t key = 0;
    uint8_t type = 0;
    if (!r.i32(key) || !r.u8(type)) return false;
    // A key given twice would replace a container whose links are already listed.
    if (s.has(key)) return r.fail();
    switch (static_cast<host::ValueType>(type)) {
      case host::ValueType::kNone:
        s.set(key, host::Value());
        break;
      case host::ValueType::kBool: {
        uint8_t v = 0;
        if (!r.u8(v) || v > 1) return r.fail();
        s.setBool(key, v != 0);
        break;
      }
      case host::ValueType::kInt32: {
        int32_t v = 0;
        if (!r.i32(v)) return false;
        s.setInt32(key, v);
        break;
      }
      case host::ValueType::kInt64: {
        int64_t v = 0;
        if (!r.i64(v)) return false;
        s.setInt64(key, v);
        break;
      }
      case host::ValueType::kReal: {
        double v = 0;
        if (!r.f64(v)) return false;
        s.setReal(key, v);
        break;
      }
      case host::ValueType::kString:
      case host::ValueType::kFilename: {
        std::string v;
        if (!r.text(v)) return false;
        if (static_cast<host::ValueType>(type) == host::ValueType::kString)
          s.setString(key, std::move(v));
        else
          s.setFilename(key, std::move(v));
        break;
      }
      case host::ValueType::kVector: {
        host::Vector v;
        if (!r.vector(v)) return false;
        s.setVector(key, v);
        break;
      }
      case host::ValueType::kMatrix: {
        host::Matrix v;
        if (!r.matrix(v)) return false;
        s.setMatrix(key, v);
        break;
      }
      case host::ValueType::kContainer: {
        s.setContainer(key, host::Settings());
        if (!readSettings(r, *s.getContainer(key), links, depth + 1)) return false;
        break;
      }
      case host::ValueType::kLink: {
        NodeRef ref;
        if (!r.u8(ref.kind) || !r.i32(ref.a) || !r.i32(ref.b)) return false;
        s.setLink(key, nullptr);
        if (ref.kind != NodeRef::kNone) links.push_back({&s, key, ref});
        break;
      }
      case host::ValueType::kSpline: {
        uint32_t n = 0;
        if (!r.u32(n) || !r.fits(n, kKnotBytes)) return r.fail();
        host::Spline spline;
        spline.knots.resize(n);
        for (auto& k : spline.knots)
          if (!r.f64(k.x) || !r.f64(k.y)) return false;
        s.setSpline(key, std::move(spline));
        break;
      }
      default:
        return r.fail();
    }
  }
  return true;
}

}  // namespace hostapp::docfile
