#include "cli/job_context.h"

#include <cmath>

#include "hostapp/core/embedded_host.h"
#include "hostapp/core/local_file.h"
#include "hostapp/core/registry.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/scene/document.h"

namespace pigmora::cli {

namespace {
constexpr const char* kChannelKeys[14] = {
    "color", "luminance", "transparency",  "reflection", "environment",  "fog",       "bump",
    "alpha", "specular",  "specularcolor", "glow",       "displacement", "diffusion", "normal"};

struct ModeName {
  int32_t mode;
  const char* name;
};
constexpr ModeName kModes[] = {
    {host::kModeAlpha, "alpha"},     {host::kModeGrey8, "grey8"},   {host::kModeAGrey8, "agrey8"},
    {host::kModeRGB8, "rgb8"},       {host::kModeARGB8, "argb8"},   {host::kModeGrey16, "grey16"},
    {host::kModeAGrey16, "agrey16"}, {host::kModeRGB16, "rgb16"},   {host::kModeARGB16, "argb16"},
    {host::kModeGreyF, "greyf"},     {host::kModeAGreyF, "agreyf"}, {host::kModeRGBF, "rgbf"},
    {host::kModeARGBF, "argbf"}};

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}
}  // namespace

host::Object* JobContext::object(const std::string& name) const {
  for (host::Object* o : doc->allObjects())
    if (o->name() == name) return o;
  throw StepError("there is no object named " + quoted(name));
}

host::PolygonObject* JobContext::polygonObject(const std::string& name) const {
  host::Object* o = object(name);
  if (o->type() != host::kTypePolygonObject)
    throw StepError("the object " + quoted(name) + " is not a polygon object");
  return static_cast<host::PolygonObject*>(o);
}

host::CameraObject* JobContext::camera(const std::string& name) const {
  host::Object* o = object(name);
  if (o->type() != host::kTypeCamera)
    throw StepError("the object " + quoted(name) + " is not a camera");
  return static_cast<host::CameraObject*>(o);
}

host::Material* JobContext::material(const std::string& name) const {
  for (host::Material* m = doc->firstMaterial(); m; m = m->next())
    if (m->name() == name) return m;
  throw StepError("there is no material named " + quoted(name));
}

host::PaintTexture* JobContext::texture(const std::string& name, int32_t channel) const {
  host::Material* mat = material(name);
  host::PaintTexture* tex = host.paintImpl().textureOf(mat, channel, doc);
  if (!tex)
    throw StepError("the " + std::string(channelKey(channel)) + " channel of the material " +
                    quoted(name) + " has no texture");
  return tex;
}

std::filesystem::path JobContext::inputFile(const std::string& name) const {
  std::filesystem::path p(name);
  if (p.is_relative()) p = jobDir / p;
  const std::string problem = hostapp::inputFileProblem(p.string());
  if (!problem.empty()) throw StepError("the file " + p.string() + " " + problem);
  return p;
}

void JobContext::requireImage(const std::filesystem::path& file) const {
  std::string error;
  if (!hostapp::loadPlainBitmap(host.memory(), file.string(), error)) {
    while (!error.empty() && error.back() == '.') error.pop_back();
    throw StepError(error);
  }
}

std::filesystem::path JobContext::outputFile(const std::string& name) const {
  const std::filesystem::path p(name);
  if (name.find('\0') != std::string::npos)
    throw StepError("the output file name " + quoted(name) + " holds a NUL character");
  if (name.empty() || p.is_absolute() || p.has_root_name())
    throw StepError("the output file name " + quoted(name) +
                    " must be relative to the output folder");
  for (const auto& part : p)
    if (part == "..")
      throw StepError("the output file name " + quoted(name) +
                      " must stay inside the output folder");
  const std::filesystem::path full = outDir / p;
  std::error_code ec;
  std::filesystem::create_directories(full.parent_path(), ec);
  if (ec)
    throw StepError("the folder " + full.parent_path().string() +
                    " cannot be created: " + ec.message());
  return full;
}

int32_t registeredCommand(JobContext& ctx, const Json& step) {
  if (step.contains("id")) {
    const int32_t id = intOf(step, "id");
    const hostapp::RegisteredPlugin* p = ctx.host.registration().find(id);
    if (!p || p->kind != hostapp::PluginKind::kCommand)
      throw StepError("the plug-in registers no command with the id " + std::to_string(id));
    return id;
  }
  const std::string name = stringOf(step, "name");
  for (const auto& p : ctx.host.registration().plugins())
    if (p.kind == hostapp::PluginKind::kCommand && p.name == name) return p.id;
  throw StepError("the plug-in registers no command named " + quoted(name));
}

const Json& require(const Json& step, const char* key) {
  auto it = step.find(key);
  if (it == step.end() || it->is_null())
    throw StepError(std::string("the key \"") + key + "\" is missing");
  return *it;
}

std::string stringOf(const Json& step, const char* key) {
  const Json& v = require(step, key);
  if (!v.is_string()) throw StepError(std::string("\"") + key + "\" must be a string");
  return v.get<std::string>();
}

std::string stringOr(const Json& step, const char* key, const std::string& fallback) {
  return step.contains(key) && !step[key].is_null() ? stringOf(step, key) : fallback;
}

double numberOf(const Json& step, const char* key) {
  const Json& v = require(step, key);
  if (!v.is_number() || !std::isfinite(v.get<double>()))
    throw StepError(std::string("\"") + key + "\" must be a number");
  return v.get<double>();
}

double numberOr(const Json& step, const char* key, double fallback) {
  return step.contains(key) && !step[key].is_null() ? numberOf(step, key) : fallback;
}

int32_t wholeOf(const Json& v, const std::string& what) {
  // Unsigned values above INT64_MAX read back negative through get<int64_t>: they are checked
  // as unsigned first, so that nothing is cut down to 32 bits.
  if (!v.is_number_integer() || (v.is_number_unsigned() && v.get<uint64_t>() > INT32_MAX) ||
      v.get<int64_t>() < INT32_MIN || v.get<int64_t>() > INT32_MAX)
    throw StepError(what + " must be a whole number from " + std::to_string(INT32_MIN) + " to " +
                    std::to_string(INT32_MAX));
  return static_cast<int32_t>(v.get<int64_t>());
}

int32_t intOf(const Json& step, const char* key) {
  return wholeOf(require(step, key), std::string("\"") + key + "\"");
}

int32_t intOr(const Json& step, const char* key, int32_t fallback) {
  return step.contains(key) && !step[key].is_null() ? intOf(step, key) : fallback;
}

bool boolOr(const Json& step, const char* key, bool fallback) {
  if (!step.contains(key) || step[key].is_null()) return fallback;
  if (!step[key].is_boolean())
    throw StepError(std::string("\"") + key + "\" must be true or false");
  return step[key].get<bool>();
}

host::Vector vectorOf(const Json& value, const char* what) {
  if (!value.is_array() || value.size() < 2 || value.size() > 3)
    throw StepError(std::string(what) + " must be a list of two or three numbers");
  double c[3] = {0, 0, 0};
  for (size_t i = 0; i < value.size(); ++i) {
    if (!value[i].is_number() || !std::isfinite(value[i].get<double>()))
      throw StepError(std::string(what) + " must be a list of two or three numbers");
    c[i] = value[i].get<double>();
  }
  return {c[0], c[1], c[2]};
}

std::vector<int32_t> indicesOf(const Json& value, const char* what) {
  if (!value.is_array()) throw StepError(std::string(what) + " must be a list of whole numbers");
  std::vector<int32_t> out;
  for (const Json& v : value) {
    if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > INT32_MAX)
      throw StepError(std::string(what) + " must be a list of whole numbers from 0");
    out.push_back(v.get<int32_t>());
  }
  return out;
}

int32_t channelOf(const Json& value) {
  if (value.is_number_integer()) {
    const int64_t c = value.get<int64_t>();
    if (c < 0 || c > 13) throw StepError("a channel number must lie between 0 and 13");
    return static_cast<int32_t>(c);
  }
  if (value.is_string()) {
    // Object keys are strings: a channel map may name a channel by its number, "0" .. "13".
    for (int32_t c = 0; c < 14; ++c)
      if (value.get<std::string>() == kChannelKeys[c] ||
          value.get<std::string>() == std::to_string(c))
        return c;
    throw StepError("there is no channel named " + quoted(value.get<std::string>()));
  }
  throw StepError("a channel is given by its name (\"color\", \"bump\" ...) or number");
}

const char* channelKey(int32_t channel) {
  return channel >= 0 && channel < 14 ? kChannelKeys[channel] : "";
}

int32_t colorModeOf(const Json& value) {
  for (const ModeName& m : kModes) {
    if ((value.is_number_integer() && value.get<int64_t>() == m.mode) ||
        (value.is_string() && value.get<std::string>() == m.name))
      return m.mode;
  }
  throw StepError("the colour mode " + value.dump() +
                  " cannot be painted (use argb8, rgb8, agrey8, grey8, alpha, argb16, rgb16, "
                  "agrey16, grey16, argbf, rgbf, agreyf or greyf)");
}

const char* colorModeName(int32_t mode) {
  for (const ModeName& m : kModes)
    if (m.mode == mode) return m.name;
  return "unknown";
}

std::vector<std::pair<int32_t, const char*>> paintableModes() {
  std::vector<std::pair<int32_t, const char*>> out;
  for (const ModeName& m : kModes) out.emplace_back(m.mode, m.name);
  return out;
}

std::string safeFileName(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                       (ch >= '0' && ch <= '9') || ch == '-' || ch == '_' || ch == '.';
    out += plain ? ch : '_';
  }
  while (!out.empty() && out[0] == '.') out[0] = '_';
  return out.empty() ? "_" : out;
}

}  // namespace pigmora::cli
