#include "hostapp/window/input_script.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace hostapp {

namespace {

using Json = nlohmann::ordered_json;

struct TypeName {
  InputRecord::Type type;
  const char* name;
};
constexpr TypeName kTypes[] = {
    {InputRecord::Type::kMove, "move"},     {InputRecord::Type::kDown, "down"},
    {InputRecord::Type::kUp, "up"},         {InputRecord::Type::kWheel, "wheel"},
    {InputRecord::Type::kKey, "key"},       {InputRecord::Type::kText, "text"},
    {InputRecord::Type::kResize, "resize"}, {InputRecord::Type::kQuit, "quit"}};

const char* buttonName(int32_t b) {
  return b == 2 ? "right" : b == 3 ? "middle" : "left";
}

// One event from its JSON, or a reason why not.
bool eventOf(const Json& j, InputRecord& e, std::string& why) {
  if (!j.is_object() || !j.contains("type") || !j["type"].is_string()) {
    why = "has no \"type\"";
    return false;
  }
  const std::string type = j["type"].get<std::string>();
  bool known = false;
  for (const TypeName& t : kTypes)
    if (type == t.name) {
      e.type = t.type;
      known = true;
    }
  if (!known) {
    why = "has the unknown type \"" + type + "\"";
    return false;
  }
  auto integer = [&](const char* key, auto& out) {
    if (!j.contains(key)) return true;
    if (!j[key].is_number()) {
      why = std::string("has a \"") + key + "\" that is not a number";
      return false;
    }
    out = static_cast<std::remove_reference_t<decltype(out)>>(j[key].get<double>());
    return true;
  };
  if (!integer("t", e.t) || !integer("x", e.x) || !integer("y", e.y) ||
      !integer("clicks", e.clicks) || !integer("wheel", e.wheel))
    return false;
  if (j.contains("button")) {
    const std::string b = j["button"].is_string() ? j["button"].get<std::string>() : "";
    if (b == "left")
      e.button = 1;
    else if (b == "right")
      e.button = 2;
    else if (b == "middle")
      e.button = 3;
    else {
      why = "names a button other than \"left\", \"right\" or \"middle\"";
      return false;
    }
  }
  if (j.contains("key")) {
    if (!j["key"].is_string() || j["key"].get<std::string>().empty()) {
      why = "has a \"key\" that is not a key name";
      return false;
    }
    e.key = j["key"].get<std::string>();
  } else if (e.type == InputRecord::Type::kKey) {
    why = "is a key without a \"key\"";
    return false;
  }
  if (j.contains("text")) {
    if (!j["text"].is_string() || j["text"].get<std::string>().empty()) {
      why = "has a \"text\" that is not a string of text";
      return false;
    }
    e.text = j["text"].get<std::string>();
  } else if (e.type == InputRecord::Type::kText) {
    why = "is text without a \"text\"";
    return false;
  }
  if (j.contains("answer")) {
    const std::string a = j["answer"].is_string() ? j["answer"].get<std::string>() : "";
    if (a != "save" && a != "discard" && a != "cancel") {
      why = "answers other than \"save\", \"discard\" or \"cancel\"";
      return false;
    }
    e.answer = a;
  }
  for (const auto& [key, flag] :
       {std::pair<const char*, bool*>{"ctrl", &e.ctrl}, {"shift", &e.shift}, {"alt", &e.alt}}) {
    if (!j.contains(key)) continue;
    if (!j[key].is_boolean()) {
      why = std::string("has a \"") + key + "\" that is not true or false";
      return false;
    }
    *flag = j[key].get<bool>();
  }
  return true;
}

}  // namespace

bool readInputScript(const std::string& path, std::vector<InputRecord>& events,
                     std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "The input script " + path + " could not be read.";
    return false;
  }
  std::stringstream text;
  text << in.rdbuf();
  Json doc = Json::parse(text.str(), nullptr, false);
  if (doc.is_discarded() || !doc.is_array()) {
    error = "The input script " + path + " is not a JSON list of events.";
    return false;
  }
  events.clear();
  int64_t last = 0;
  for (size_t i = 0; i < doc.size(); ++i) {
    InputRecord e;
    std::string why;
    if (!eventOf(doc[i], e, why)) {
      error = "Event " + std::to_string(i + 1) + " of the input script " + path + " " + why + ".";
      return false;
    }
    if (e.t < last) {
      error = "Event " + std::to_string(i + 1) + " of the input script " + path +
              " comes before the one ahead of it.";
      return false;
    }
    last = e.t;
    events.push_back(std::move(e));
  }
  return true;
}

bool writeInputScript(const std::string& path, const std::vector<InputRecord>& events,
                      std::string& error) {
  Json doc = Json::array();
  for (const InputRecord& e : events) {
    Json j;
    j["t"] = e.t;
    for (const TypeName& t : kTypes)
      if (t.type == e.type) j["type"] = t.name;
    switch (e.type) {
      case InputRecord::Type::kDown:
      case InputRecord::Type::kUp:
        j["button"] = buttonName(e.button);
        if (e.clicks > 1) j["clicks"] = e.clicks;
        [[fallthrough]];
      case InputRecord::Type::kMove:
      case InputRecord::Type::kResize:
        j["x"] = e.x;
        j["y"] = e.y;
        break;
      case InputRecord::Type::kWheel:
        j["x"] = e.x;
        j["y"] = e.y;
        j["wheel"] = e.wheel;
        break;
      case InputRecord::Type::kKey:
        j["key"] = e.key;
        break;
      case InputRecord::Type::kText:
        j["text"] = e.text;
        break;
      case InputRecord::Type::kQuit:
        if (!e.answer.empty()) j["answer"] = e.answer;
        break;
    }
    if (e.ctrl) j["ctrl"] = true;
    if (e.shift) j["shift"] = true;
    if (e.alt) j["alt"] = true;
    doc.push_back(std::move(j));
  }
  std::ofstream out(path, std::ios::binary);
  out << doc.dump(1, ' ', false, Json::error_handler_t::replace) << "\n";
  if (!out) {
    error = "The input record " + path + " could not be written.";
    return false;
  }
  return true;
}

}  // namespace hostapp
