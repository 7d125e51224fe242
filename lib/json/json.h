// JSON documents: parsing standard JSON text into a read-only tree in host memory, and reading
// it. Looking up what is not there answers the null value, so lookups chain without checks:
// doc.root()["components"][0]["type"].isString().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pigmora::json {

enum class Type : uint8_t { kNull, kNumber, kBool, kString, kArray, kObject };

struct Node;

// One value of a document: a light view that stays valid while its document holds the text it
// parsed.
class Value {
 public:
  Value() = default;

  Type type() const noexcept;
  bool isNull() const noexcept { return type() == Type::kNull; }
  bool isNumber() const noexcept { return type() == Type::kNumber; }
  bool isBool() const noexcept { return type() == Type::kBool; }
  bool isString() const noexcept { return type() == Type::kString; }
  bool isArray() const noexcept { return type() == Type::kArray; }
  bool isObject() const noexcept { return type() == Type::kObject; }

  // 0 for anything but a number.
  double number() const noexcept;
  // The number truncated toward zero and held to the int32 range; 0 for non-numbers and NaN.
  int32_t integer() const noexcept;
  // False for anything but true.
  bool boolean() const noexcept;
  // The bytes of a string (UTF-8); empty for anything but a string.
  std::string_view string() const noexcept;

  // Items of an array, members of an object, 0 otherwise.
  size_t size() const noexcept;
  // An array's item; null past the end or when this is no array.
  Value operator[](size_t index) const noexcept;
  Value operator[](int index) const noexcept {
    return index < 0 ? Value() : (*this)[static_cast<size_t>(index)];
  }
  // An object's member; null when missing or when this is no object. Of members with the same
  // key the last one counts.
  Value operator[](std::string_view key) const noexcept;
  Value operator[](const char* key) const noexcept { return (*this)[std::string_view(key)]; }
  // Members of an object in text order; empty (null) past the end or when this is no object.
  std::string_view keyAt(size_t index) const noexcept;
  Value memberAt(size_t index) const noexcept;

 private:
  friend class Document;
  explicit Value(const Node* node) : node_(node) {}
  const Node* node_ = nullptr;
};

// A parsed text. Its tree lives in host memory, taken in large blocks and given back all at once.
class Document {
 public:
  // Values nested deeper than this many arrays and objects make the text fail.
  static constexpr size_t kMaxDepth = 200;

  Document() = default;
  ~Document() { clear(); }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Parses standard JSON: one value, no comments, nothing but white space after it, strings in
  // valid UTF-8. On failure the root is null and `error` says what is wrong and where (or that
  // host memory ran out). Never throws.
  bool parse(std::string_view text, std::string& error) noexcept;
  Value root() const noexcept { return Value(root_); }
  // Gives the tree's memory back; the root becomes null.
  void clear() noexcept;

 private:
  friend class TreeBuilder;
  // Raw memory of the tree, aligned for nodes; null when the host refuses it.
  void* allocate(size_t bytes) noexcept;

  struct Block;
  Block* blocks_ = nullptr;  // newest first
  size_t left_ = 0;          // free bytes at the end of the newest block
  const Node* root_ = nullptr;
};

}  // namespace pigmora::json
