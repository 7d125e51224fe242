// Typed settings containers addressed by integer ids; containers nest.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/link.h"
#include "host/values.h"

namespace host {

enum class ValueType : int32_t {
  kNone = 0,
  kBool,
  kInt32,
  kInt64,
  kReal,
  kString,
  kFilename,
  kVector,
  kMatrix,
  kContainer,
  kLink,
  kSpline,
};

// A curve from knots (x, y) in [0, 1] x [0, 1], evaluated piecewise linearly between knots and
// held flat outside them. The brushes use it as their falloff curve.
struct Spline {
  struct Knot {
    double x = 0.0, y = 0.0;
    bool operator==(const Knot&) const = default;
  };
  std::vector<Knot> knots;

  double evaluate(double x) const;
  bool operator==(const Spline&) const = default;
};

class Settings;

// One stored value. Integers, booleans and reals convert into each other on reading, as users of
// a settings container expect; strings, file names, vectors, matrices, links and splines do not.
class Value {
 public:
  Value() = default;
  static Value ofBool(bool v);
  static Value ofInt32(int32_t v);
  static Value ofInt64(int64_t v);
  static Value ofReal(double v);
  static Value ofString(std::string v);
  static Value ofFilename(std::string v);
  static Value ofVector(const Vector& v);
  static Value ofMatrix(const Matrix& v);
  static Value ofContainer(const Settings& v);
  static Value ofLink(Node* v);
  static Value ofSpline(Spline v);

  Value(const Value& o);
  Value& operator=(const Value& o);
  Value(Value&&) noexcept = default;
  Value& operator=(Value&&) noexcept = default;
  ~Value();

  ValueType type() const { return type_; }
  bool isNumeric() const;
  bool toBool() const { return toInt64() != 0; }
  int32_t toInt32() const { return static_cast<int32_t>(toInt64()); }
  int64_t toInt64() const;
  double toReal() const;
  const std::string& toString() const { return text_; }  // strings and file names
  const Vector& toVector() const { return vector_; }
  const Matrix& toMatrix() const { return matrix_; }
  const Settings* toContainer() const { return container_.get(); }
  Settings* toContainer() { return container_.get(); }
  Node* toLink() const { return link_.get(); }
  const Spline& toSpline() const { return spline_; }

  bool operator==(const Value& o) const;

 private:
  ValueType type_ = ValueType::kNone;
  int64_t integer_ = 0;
  double real_ = 0.0;
  std::string text_;
  Vector vector_;
  Matrix matrix_;
  std::unique_ptr<Settings> container_;
  Link link_;
  Spline spline_;
};

class Settings {
 public:
  explicit Settings(int32_t id = 0) : id_(id) {}

  int32_t id() const { return id_; }
  void setId(int32_t id) { id_ = id; }

  bool has(int32_t key) const { return values_.count(key) != 0; }
  ValueType typeOf(int32_t key) const;
  const Value* find(int32_t key) const;
  Value* find(int32_t key);
  void set(int32_t key, Value v) { values_[key] = std::move(v); }
  void remove(int32_t key) { values_.erase(key); }
  void clear() { values_.clear(); }
  size_t size() const { return values_.size(); }
  const std::map<int32_t, Value>& entries() const { return values_; }

  bool getBool(int32_t key, bool fallback = false) const;
  int32_t getInt32(int32_t key, int32_t fallback = 0) const;
  int64_t getInt64(int32_t key, int64_t fallback = 0) const;
  double getReal(int32_t key, double fallback = 0.0) const;
  std::string getString(int32_t key, const std::string& fallback = {}) const;
  std::string getFilename(int32_t key, const std::string& fallback = {}) const;
  Vector getVector(int32_t key, const Vector& fallback = {}) const;
  Matrix getMatrix(int32_t key, const Matrix& fallback = {}) const;
  Node* getLink(int32_t key) const;
  const Spline* getSpline(int32_t key) const;
  // The nested container stored under key, or null. Owned by this container.
  Settings* getContainer(int32_t key);
  const Settings* getContainer(int32_t key) const;

  void setBool(int32_t key, bool v) { set(key, Value::ofBool(v)); }
  void setInt32(int32_t key, int32_t v) { set(key, Value::ofInt32(v)); }
  void setInt64(int32_t key, int64_t v) { set(key, Value::ofInt64(v)); }
  void setReal(int32_t key, double v) { set(key, Value::ofReal(v)); }
  void setString(int32_t key, std::string v) { set(key, Value::ofString(std::move(v))); }
  void setFilename(int32_t key, std::string v) { set(key, Value::ofFilename(std::move(v))); }
  void setVector(int32_t key, const Vector& v) { set(key, Value::ofVector(v)); }
  void setMatrix(int32_t key, const Matrix& v) { set(key, Value::ofMatrix(v)); }
  void setLink(int32_t key, Node* v) { set(key, Value::ofLink(v)); }
  void setSpline(int32_t key, Spline v) { set(key, Value::ofSpline(std::move(v))); }
  void setContainer(int32_t key, const Settings& v) { set(key, Value::ofContainer(v)); }

  bool operator==(const Settings& o) const { return id_ == o.id_ && values_ == o.values_; }

 private:
  int32_t id_ = 0;
  std::map<int32_t, Value> values_;
};

}  // namespace host
