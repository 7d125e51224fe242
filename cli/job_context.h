// What the steps of a job share: the host with the plug-in loaded, the document being built, the
// folders names are resolved against, and the lookups every step family needs.
#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"

namespace hostapp {
class DocumentImpl;
class EmbeddedHost;
}  // namespace hostapp

namespace pigmora::cli {

// Keys keep the order they were written in, so that messages and reports follow the file.
using Json = nlohmann::ordered_json;

// An object of the given members, in order. The library's brace form loses the object it has
// begun when memory runs out while it adds a member (its constructor never finishes, so nothing
// frees it); here the object is whole from the start and frees itself on the way out.
inline Json jsonObject(std::initializer_list<std::pair<const char*, Json>> members) {
  Json out = Json::object();
  for (const auto& [key, value] : members) out[key] = value;
  return out;
}

// A problem with one step: the message is one sentence without the file and step, which the
// runner adds.
class StepError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct JobContext {
  hostapp::EmbeddedHost& host;
  hostapp::DocumentImpl* doc = nullptr;
  std::filesystem::path jobDir;  // input files are relative to it
  std::filesystem::path outDir;  // every output file lands inside it
  // Told the share done of a long step (0 .. 1, -1 when it ends) and a count ("120/412 dabs").
  std::function<void(const std::string&, double, const std::string&)> progress;
  // What the current step wants the user to notice; the runner prints each as a warning (an
  // error with --strict).
  std::vector<std::string> warnings;
  // Structured results of the current step (the report of a print step), shown with --json.
  Json details;
  // Counts of the host's event log at the last print, so that a print shows what came since.
  struct EventMarks {
    size_t specials = 0, posted = 0, redraws = 0, console = 0;
    int64_t updates = 0;
  } printed;
  // The image files the job's saves wrote, with what each holds: a later save of something else
  // under the same name would silently replace one output with another.
  std::map<std::string, std::string> savedImages;

  host::Object* object(const std::string& name) const;  // any kind; throws when missing
  host::PolygonObject* polygonObject(const std::string& name) const;
  host::CameraObject* camera(const std::string& name) const;
  host::Material* material(const std::string& name) const;
  // The paint texture of a material's channel; throws when the channel has none.
  host::PaintTexture* texture(const std::string& material, int32_t channel) const;
  // An input file named by the job, relative to the job's folder; throws when it is missing.
  std::filesystem::path inputFile(const std::string& name) const;
  // Reads an image file as the host reads stamps and stencils; a StepError with the reason when
  // it cannot be read.
  void requireImage(const std::filesystem::path& file) const;
  // An output file inside the output folder. Names that would leave it (absolute paths, "..")
  // are refused.
  std::filesystem::path outputFile(const std::string& name) const;
};

// The id of the command a step names by "id" or by its registration "name"; throws when the
// plug-in registers no such command.
int32_t registeredCommand(JobContext& ctx, const Json& step);

// Reading values of a step, each failing with a sentence that names the key.
const Json& require(const Json& step, const char* key);
std::string stringOf(const Json& step, const char* key);
std::string stringOr(const Json& step, const char* key, const std::string& fallback);
double numberOf(const Json& step, const char* key);
double numberOr(const Json& step, const char* key, double fallback);
int32_t intOf(const Json& step, const char* key);
int32_t intOr(const Json& step, const char* key, int32_t fallback);
bool boolOr(const Json& step, const char* key, bool fallback);
host::Vector vectorOf(const Json& value, const char* what);  // [x, y, z]
std::vector<int32_t> indicesOf(const Json& value, const char* what);

// Channel by index 0 .. 13 or by key ("color", "bump" ...).
int32_t channelOf(const Json& value);
// A whole number that fits in 32 bits, or a StepError saying `what` must be one.
int32_t wholeOf(const Json& value, const std::string& what);
const char* channelKey(int32_t channel);
// Colour mode by number or name ("argb8", "rgb16", "greyf" ...); only paintable modes.
int32_t colorModeOf(const Json& value);
const char* colorModeName(int32_t mode);
// Every paintable colour mode with its name, in the order the docs list them.
std::vector<std::pair<int32_t, const char*>> paintableModes();
// A name that becomes part of a file name: anything but letters, digits, '-', '_' and '.' turns
// into '_', and no leading dot, so that it names a plain file in the output folder.
std::string safeFileName(const std::string& name);

}  // namespace pigmora::cli
