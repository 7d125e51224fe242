// The paint window's input as plain events: what the window reacts to, what --record writes and
// what --script replays. A script is a JSON list of events, each {"t": milliseconds since the
// window opened, "type": "move" | "down" | "up" | "wheel" | "key" | "resize" | "quit", ...}.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostapp {

struct InputRecord {
  enum class Type { kMove, kDown, kUp, kWheel, kKey, kText, kResize, kQuit };
  Type type = Type::kMove;
  int64_t t = 0;         // milliseconds since the window opened
  int32_t x = 0, y = 0;  // window pixels; the new size for a resize
  int32_t button = 1;    // host::kMouseLeft, kMouseRight or kMouseMiddle
  int32_t clicks = 1;    // 2 for the second press of a double click
  int32_t wheel = 0;     // steps, positive away from the user
  std::string key;       // a key by name: "z", "s", "f", "escape", "f1" ...
  std::string text;      // text typed, UTF-8, as the keyboard's layout and input method gave it
  bool ctrl = false, shift = false, alt = false;
  // A quit's answer to "save the changes?" in a script: "save", "discard" (the default) or
  // "cancel".
  std::string answer;
};

// Reads a script; false with `error` set to one sentence naming the file and the problem.
bool readInputScript(const std::string& path, std::vector<InputRecord>& events, std::string& error);
// Writes events as a script; false with `error` set to one sentence naming the file.
bool writeInputScript(const std::string& path, const std::vector<InputRecord>& events,
                      std::string& error);

}  // namespace hostapp
