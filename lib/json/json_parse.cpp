// The only file of the plug-in that sees nlohmann-json, and the only one built with exceptions:
// its lexer may throw when memory runs out, and nothing may leave this file by throwing. Its
// parser reads the text and reports events; the tree is ours, built in the document's memory.
#include <cstring>
#include <exception>
#include <nlohmann/json.hpp>
#include <string>

#include "lib/host_array.h"
#include "lib/json/json.h"
#include "lib/json/json_node.h"

namespace pigmora::json {

class TreeBuilder {
 public:
  explicit TreeBuilder(Document& doc) : doc_(doc) {}

  // Event handlers of nlohmann's parser; false stops it.
  bool null() { return value(Node{}); }
  bool boolean(bool v) {
    Node n;
    n.type = Type::kBool;
    n.boolean = v;
    return value(n);
  }
  bool number_integer(int64_t v) { return number(static_cast<double>(v)); }
  bool number_unsigned(uint64_t v) { return number(static_cast<double>(v)); }
  bool number_float(double v, const std::string&) { return number(v); }
  bool string(std::string& v) {
    Node n;
    return deepEnough() && text(v, n) && value(n);
  }
  bool binary(nlohmann::json::binary_t&) { return fail("binary values are no JSON"); }
  bool start_object(size_t) { return open(Type::kObject); }
  bool key(std::string& k) {
    Node n;
    return text(k, n) && keep(n);
  }
  bool end_object() { return close(); }
  bool start_array(size_t) { return open(Type::kArray); }
  bool end_array() { return close(); }
  bool parse_error(size_t, const std::string&, const std::exception& ex) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without its tag.
    const char* what = ex.what();
    const char* tagEnd = what[0] == '[' ? std::strchr(what, ']') : nullptr;
    return fail(tagEnd ? tagEnd + (tagEnd[1] == ' ' ? 2 : 1) : what);
  }

  // The root, once the text is through; null before.
  const Node* root() const { return root_; }
  const std::string& error() const { return error_; }
  bool failed() const { return !error_.empty(); }
  bool fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }

 private:
  struct Open {
    size_t first;  // index of its first item in pending_
    Type type;
  };

  // A value seen at the current depth: inside 200 containers still counts, inside 201 not.
  bool deepEnough() {
    return opens_.size() <= Document::kMaxDepth ||
           fail("exceeded the maximum nesting depth of 200 arrays and objects");
  }
  bool number(double v) {
    Node n;
    n.type = Type::kNumber;
    n.number = v;
    return value(n);
  }
  bool value(const Node& n) {
    if (!deepEnough()) return false;
    if (!opens_.empty()) return keep(n);
    auto* root = static_cast<Node*>(doc_.allocate(sizeof(Node)));
    if (!root) return outOfMemory();
    *root = n;
    root_ = root;
    return true;
  }
  bool keep(const Node& n) { return pending_.push(n) || outOfMemory(); }
  bool text(const std::string& s, Node& n) {
    auto* bytes = static_cast<char*>(doc_.allocate(s.size() + 1));
    if (!bytes) return outOfMemory();
    std::memcpy(bytes, s.data(), s.size());
    bytes[s.size()] = 0;
    n.type = Type::kString;
    n.count = s.size();
    n.text = bytes;
    return true;
  }
  bool open(Type type) {
    if (!deepEnough()) return false;
    return opens_.push(Open{pending_.size(), type}) || outOfMemory();
  }
  // Moves the finished container's items out of the pending stack into the tree.
  bool close() {
    const Open o = opens_[opens_.size() - 1];
    const size_t items = pending_.size() - o.first;
    Node n;
    n.type = o.type;
    n.count = o.type == Type::kObject ? items / 2 : items;
    if (items) {
      auto* copy = static_cast<Node*>(doc_.allocate(items * sizeof(Node)));
      if (!copy) return outOfMemory();
      std::memcpy(static_cast<void*>(copy), pending_.begin() + o.first, items * sizeof(Node));
      n.items = copy;
    } else {
      n.items = nullptr;
    }
    pending_.truncate(o.first);
    opens_.truncate(opens_.size() - 1);
    return value(n);
  }
  bool outOfMemory() { return fail("out of memory"); }

  Document& doc_;
  HostArray<Node> pending_;  // finished values of the open containers, innermost last
  HostArray<Open> opens_;
  const Node* root_ = nullptr;
  std::string error_;
};

bool Document::parse(std::string_view text, std::string& error) noexcept {
  clear();
  bool ok = false;
  try {
    TreeBuilder builder(*this);
    ok = nlohmann::json::sax_parse(text.begin(), text.end(), &builder,
                                   nlohmann::json::input_format_t::json, /*strict=*/true,
                                   /*ignore_comments=*/false) &&
         !builder.failed() && builder.root();
    if (ok) {
      root_ = builder.root();
    } else {
      error = builder.failed() ? builder.error() : "the text holds no JSON value";
    }
  } catch (...) {
    // Short texts fit the string itself, so that setting them cannot throw again.
    ok = false;
    error = "out of memory";
  }
  if (!ok) clear();
  return ok;
}

}  // namespace pigmora::json
