// The layout of a parsed JSON tree, private to the json folder.
#pragma once

#include <cstddef>

#include "lib/json/json.h"

namespace pigmora::json {

// Arrays hold `count` item nodes; objects hold `count` members as 2 x count nodes, each key (a
// string node) followed by its value. Strings hold `count` bytes followed by a zero byte.
struct Node {
  Type type = Type::kNull;
  bool boolean = false;
  size_t count = 0;
  union {
    double number = 0.0;
    const char* text;
    const Node* items;
  };
};

}  // namespace pigmora::json
