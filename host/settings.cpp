#include "host/settings.h"

#include <algorithm>

#include "host/node.h"

namespace host {

double Spline::evaluate(double x) const {
  if (knots.empty()) return 0.0;
  // NaN takes the first knot's value, as the start of the curve.
  if (!(x > knots.front().x)) return knots.front().y;
  if (x >= knots.back().x) return knots.back().y;
  auto hi = std::upper_bound(knots.begin(), knots.end(), x,
                             [](double v, const Knot& k) { return v < k.x; });
  // Knots out of order may leave the search at either end; the pair read stays inside the list.
  if (hi == knots.begin()) ++hi;
  if (hi == knots.end()) --hi;
  auto lo = hi - 1;
  const double span = hi->x - lo->x;
  if (span <= 0.0) return hi->y;
  const double t = (x - lo->x) / span;
  return lo->y + (hi->y - lo->y) * t;
}

Value Value::ofBool(bool v) {
  Value r;
  r.type_ = ValueType::kBool;
  r.integer_ = v ? 1 : 0;
  return r;
}
Value Value::ofInt32(int32_t v) {
  Value r;
  r.type_ = ValueType::kInt32;
  r.integer_ = v;
  return r;
}
Value Value::ofInt64(int64_t v) {
  Value r;
  r.type_ = ValueType::kInt64;
  r.integer_ = v;
  return r;
}
Value Value::ofReal(double v) {
  Value r;
  r.type_ = ValueType::kReal;
  r.real_ = v;
  return r;
}
Value Value::ofString(std::string v) {
  Value r;
  r.type_ = ValueType::kString;
  r.text_ = std::move(v);
  return r;
}
Value Value::ofFilename(std::string v) {
  Value r;
  r.type_ = ValueType::kFilename;
  r.text_ = std::move(v);
  return r;
}
Value Value::ofVector(const Vector& v) {
  Value r;
  r.type_ = ValueType::kVector;
  r.vector_ = v;
  return r;
}
Value Value::ofMatrix(const Matrix& v) {
  Value r;
  r.type_ = ValueType::kMatrix;
  r.matrix_ = v;
  return r;
}
Value Value::ofContainer(const Settings& v) {
  Value r;
  r.type_ = ValueType::kContainer;
  r.container_ = std::make_unique<Settings>(v);
  return r;
}
Value Value::ofLink(Node* v) {
  Value r;
  r.type_ = ValueType::kLink;
  r.link_.set(v);
  return r;
}
Value Value::ofSpline(Spline v) {
  Value r;
  r.type_ = ValueType::kSpline;
  r.spline_ = std::move(v);
  return r;
}

Value::Value(const Value& o)
    : type_(o.type_),
      integer_(o.integer_),
      real_(o.real_),
      text_(o.text_),
      vector_(o.vector_),
      matrix_(o.matrix_),
      container_(o.container_ ? std::make_unique<Settings>(*o.container_) : nullptr),
      link_(o.link_),
      spline_(o.spline_) {}

Value& Value::operator=(const Value& o) {
  if (this != &o) {
    Value copy(o);
    *this = std::move(copy);
  }
  return *this;
}

Value::~Value() = default;

bool Value::isNumeric() const {
  return type_ == ValueType::kBool || type_ == ValueType::kInt32 || type_ == ValueType::kInt64 ||
         type_ == ValueType::kReal;
}

int64_t Value::toInt64() const {
  if (type_ == ValueType::kReal) return static_cast<int64_t>(real_);
  return isNumeric() ? integer_ : 0;
}

double Value::toReal() const {
  if (type_ == ValueType::kReal) return real_;
  return isNumeric() ? static_cast<double>(integer_) : 0.0;
}

bool Value::operator==(const Value& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case ValueType::kNone:
      return true;
    case ValueType::kBool:
    case ValueType::kInt32:
    case ValueType::kInt64:
      return integer_ == o.integer_;
    case ValueType::kReal:
      return real_ == o.real_;
    case ValueType::kString:
    case ValueType::kFilename:
      return text_ == o.text_;
    case ValueType::kVector:
      return vector_ == o.vector_;
    case ValueType::kMatrix:
      return matrix_ == o.matrix_;
    case ValueType::kContainer:
      return *container_ == *o.container_;
    case ValueType::kLink:
      return link_ == o.link_;
    case ValueType::kSpline:
      return spline_ == o.spline_;
  }
  return false;
}

ValueType Settings::typeOf(int32_t key) const {
  const Value* v = find(key);
  return v ? v->type() : ValueType::kNone;
}

const Value* Settings::find(int32_t key) const {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

Value* Settings::find(int32_t key) {
  auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

bool Settings::getBool(int32_t key, bool fallback) const {
  const Value* v = find(key);
  return v && v->isNumeric() ? v->toBool() : fallback;
}
int32_t Settings::getInt32(int32_t key, int32_t fallback) const {
  const Value* v = find(key);
  return v && v->isNumeric() ? v->toInt32() : fallback;
}
int64_t Settings::getInt64(int32_t key, int64_t fallback) const {
  const Value* v = find(key);
  return v && v->isNumeric() ? v->toInt64() : fallback;
}
double Settings::getReal(int32_t key, double fallback) const {
  const Value* v = find(key);
  return v && v->isNumeric() ? v->toReal() : fallback;
}
std::string Settings::getString(int32_t key, const std::string& fallback) const {
  const Value* v = find(key);
  return v && (v->type() == ValueType::kString || v->type() == ValueType::kFilename) ? v->toString()
                                                                                     : fallback;
}
std::string Settings::getFilename(int32_t key, const std::string& fallback) const {
  return getString(key, fallback);
}
Vector Settings::getVector(int32_t key, const Vector& fallback) const {
  const Value* v = find(key);
  return v && v->type() == ValueType::kVector ? v->toVector() : fallback;
}
Matrix Settings::getMatrix(int32_t key, const Matrix& fallback) const {
  const Value* v = find(key);
  return v && v->type() == ValueType::kMatrix ? v->toMatrix() : fallback;
}
Node* Settings::getLink(int32_t key) const {
  const Value* v = find(key);
  return v && v->type() == ValueType::kLink ? v->toLink() : nullptr;
}
const Spline* Settings::getSpline(int32_t key) const {
  const Value* v = find(key);
  return v && v->type() == ValueType::kSpline ? &v->toSpline() : nullptr;
}
Settings* Settings::getContainer(int32_t key) {
  Value* v = find(key);
  return v && v->type() == ValueType::kContainer ? v->toContainer() : nullptr;
}
const Settings* Settings::getContainer(int32_t key) const {
  const Value* v = find(key);
  return v && v->type() == ValueType::kContainer ? v->toContainer() : nullptr;
}

}  // namespace host
