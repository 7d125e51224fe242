#include "lib/json/json.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "host/binding.h"
#include "lib/json/json_node.h"

namespace pigmora::json {

namespace {

constexpr size_t kBlockBytes = size_t{64} << 10;
constexpr size_t kAlign = alignof(Node);

}  // namespace

struct Document::Block {
  Block* next;
  size_t bytes;  // usable bytes after the header
};

Type Value::type() const noexcept {
  return node_ ? node_->type : Type::kNull;
}

double Value::number() const noexcept {
  return isNumber() ? node_->number : 0.0;
}

int32_t Value::integer() const noexcept {
  const double v = number();
  if (std::isnan(v)) return 0;
  if (v >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (v <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

bool Value::boolean() const noexcept {
  return isBool() && node_->boolean;
}

std::string_view Value::string() const noexcept {
  return isString() ? std::string_view(node_->text, node_->count) : std::string_view();
}

size_t Value::size() const noexcept {
  return isArray() || isObject() ? node_->count : 0;
}

Value Value::operator[](size_t index) const noexcept {
  return isArray() && index < node_->count ? Value(node_->items + index) : Value();
}

Value Value::operator[](std::string_view key) const noexcept {
  if (!isObject()) return Value();
  // From the back, so that the last of repeated keys wins.
  for (size_t i = node_->count; i-- > 0;) {
    const Node& k = node_->items[2 * i];
    if (std::string_view(k.text, k.count) == key) return Value(node_->items + 2 * i + 1);
  }
  return Value();
}

std::string_view Value::keyAt(size_t index) const noexcept {
  if (!isObject() || index >= node_->count) return {};
  const Node& k = node_->items[2 * index];
  return std::string_view(k.text, k.count);
}

Value Value::memberAt(size_t index) const noexcept {
  return isObject() && index < node_->count ? Value(node_->items + 2 * index + 1) : Value();
}

void* Document::allocate(size_t bytes) noexcept {
  bytes = (bytes + kAlign - 1) / kAlign * kAlign;
  if (bytes == 0) bytes = kAlign;
  if (bytes > left_) {
    // Large pieces get a block of their own behind the newest one, so that the newest keeps its
    // free space for the small pieces that follow.
    const bool alone = bytes > kBlockBytes / 4;
    const size_t usable = alone ? bytes : kBlockBytes;
    if (usable > std::numeric_limits<size_t>::max() - sizeof(Block)) return nullptr;
    auto* block = static_cast<Block*>(host::allocate(sizeof(Block) + usable));
    if (!block) return nullptr;
    block->bytes = usable;
    if (alone && blocks_) {
      block->next = blocks_->next;
      blocks_->next = block;
      return reinterpret_cast<char*>(block + 1);
    }
    block->next = blocks_;
    blocks_ = block;
    left_ = usable;
  }
  char* p = reinterpret_cast<char*>(blocks_ + 1) + (blocks_->bytes - left_);
  left_ -= bytes;
  return p;
}

void Document::clear() noexcept {
  while (blocks_) {
    Block* next = blocks_->next;
    host::release(blocks_);
    blocks_ = next;
  }
  left_ = 0;
  root_ = nullptr;
}

}  // namespace pigmora::json
