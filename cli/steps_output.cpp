// Steps that write outputs: images of layers and textures, pixel values, preview renders.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/layer_ref.h"
#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/image_export.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"

namespace pigmora::cli {

namespace {

std::string fileFor(JobContext& ctx, const Json& step, const std::string& fallback) {
  std::string name = stringOr(step, "file", fallback);
  if (step.contains("format")) {
    const int32_t format = intOf(step, "format");
    const std::string suffix = ctx.host.paint().formatSuffix(format);
    if (suffix.empty())
      throw StepError("there is no image format with the id " + std::to_string(format));
    name = std::filesystem::path(name).replace_extension(suffix).string();
  }
  return name;
}

void replaceAll(std::string& s, const std::string& what, const std::string& with) {
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + with.size()))
    s.replace(at, what.size(), with);
}

// The tile of a UDIM name ("Body_UDIM_1002" gives 1002): the number after the first "UDIM_", at
// most eight characters of it; 0 when there is none or it is 1000 or below.
int32_t udimTile(const std::string& name) {
  const size_t at = name.find("UDIM_");
  if (at == std::string::npos) return 0;
  const std::string digits = name.substr(at + 5, 8);
  int64_t n = 0;
  size_t i = 0;
  for (; i < digits.size() && std::isdigit(static_cast<unsigned char>(digits[i])); ++i)
    n = n * 10 + (digits[i] - '0');
  return i > 0 && n > 1000 ? static_cast<int32_t>(n) : 0;
}

struct SaveTarget {
  host::Material* material = nullptr;
  int32_t tile = 0;
};

// The materials a save writes: the one named, or every material on the object's texture tags,
// with the UDIM tile each stands for (from the tag's restriction, else the material's name).
std::vector<SaveTarget> saveTargets(JobContext& ctx, const Json& step, bool udim) {
  std::vector<SaveTarget> targets;
  if (step.contains("material")) {
    host::Material* m = ctx.material(stringOf(step, "material"));
    targets.push_back({m, udimTile(m->name())});
    if (udim && !targets[0].tile)
      throw StepError("\"file\" names <UDIM> tiles, and the material \"" + m->name() +
                      "\" has no UDIM number in its name; save the object's tiles with "
                      "\"object\"");
    return targets;
  }
  host::PolygonObject* obj = ctx.polygonObject(stringOf(step, "object"));
  for (int32_t i = 0; i < obj->tagCount(); ++i) {
    host::Tag* t = obj->tagAt(i);
    if (t->type() != host::kTypeTextureTag) continue;
    host::Material* m = static_cast<host::TextureTag*>(t)->material();
    if (!m) continue;
    bool seen = false;
    for (const SaveTarget& s : targets) seen = seen || s.material == m;
    if (seen) continue;
    int32_t tile = udimTile(t->data().getString(host::kTexRestriction));
    if (!tile) tile = udimTile(m->name());
    if (udim && !tile)
      throw StepError("the material \"" + m->name() + "\" of " + obj->name() +
                      " is on no UDIM tile: neither its texture tag's restriction nor its name "
                      "holds \"UDIM_\" and a tile number above 1000");
    for (const SaveTarget& s : targets)
      if (udim && s.tile == tile)
        throw StepError("the materials \"" + s.material->name() + "\" and \"" + m->name() +
                        "\" of " + obj->name() + " are both on the UDIM tile " +
                        std::to_string(tile));
    targets.push_back({m, tile});
  }
  if (targets.empty()) throw StepError(obj->name() + " has no texture tag with a material");
  if (!udim && targets.size() > 1)
    throw StepError(obj->name() + " has " + std::to_string(targets.size()) +
                    " materials: name one with \"material\", or give \"file\" a <UDIM> for "
                    "one file per tile");
  return targets;
}

// The channels a save writes: "channels" ("all" of the material's painted channels, or a list),
// else "channel" (color by default).
std::vector<int32_t> saveChannels(JobContext& ctx, const Json& step, host::Material* m) {
  std::vector<int32_t> channels;
  if (!step.contains("channels")) {
    channels.push_back(step.contains("channel") ? channelOf(step["channel"]) : 0);
    return channels;
  }
  const Json& c = step["channels"];
  if (c.is_string()) {
    for (int32_t i = 0; i < 14; ++i)
      if (m->channelEnabled(i) && m->channel(i) &&
          !m->channel(i)->data().getFilename(host::kChannelFile).empty() &&
          ctx.host.paintImpl().textureOf(m, i, ctx.doc))
        channels.push_back(i);
    if (channels.empty())
      throw StepError("the material \"" + m->name() + "\" has no channel with a texture");
    return channels;
  }
  for (const Json& v : c) channels.push_back(channelOf(v));
  return channels;
}

hostapp::ExportOptions exportOptions(JobContext& ctx, const Json& step, int32_t channel) {
  hostapp::ExportOptions o;
  const std::string depth = stringOr(step, "depth", "");
  o.depth = depth == "uint8"    ? hostapp::SampleDepth::kUInt8
            : depth == "uint16" ? hostapp::SampleDepth::kUInt16
            : depth == "half"   ? hostapp::SampleDepth::kHalf
            : depth == "float"  ? hostapp::SampleDepth::kFloat
                                : hostapp::SampleDepth::kKeep;
  const std::string space = stringOr(step, "colorspace", "auto");
  o.colorspace = space == "srgb"     ? hostapp::FileColorSpace::kSRGB
                 : space == "linear" ? hostapp::FileColorSpace::kLinear
                 : space == "raw"    ? hostapp::FileColorSpace::kRaw
                                     : hostapp::FileColorSpace::kAuto;
  o.colorData = hostapp::isColorChannel(channel);
  o.compression = intOr(step, "compression", -1);
  if (ctx.progress) o.progress = [&ctx](double done) { ctx.progress("save", done, ""); };
  return o;
}

// Writes one bitmap and answers "name (WxH mode as depth space)".
std::string writeImage(JobContext& ctx, const host::PaintBitmap& bitmap,
                       const std::filesystem::path& file, const hostapp::ExportOptions& options) {
  std::string error;
  if (!hostapp::exportImageFile(bitmap, file.string(), options, error)) {
    if (!error.empty() && error.back() == '.') error.pop_back();
    throw StepError(error);
  }
  (void)ctx;
  return file.filename().string() + " (" + std::to_string(bitmap.width()) + "x" +
         std::to_string(bitmap.height()) + " " + colorModeName(bitmap.colorMode()) + " as " +
         hostapp::depthName(hostapp::exportDepth(bitmap, file.string(), options)) + " " +
         hostapp::encodingName(hostapp::exportEncoding(bitmap, file.string(), options)) + ")";
}

std::string saveStep(JobContext& ctx, const Json& step) {
  const std::string pattern = stringOr(step, "file", "");
  const bool udim = pattern.find("<UDIM>") != std::string::npos;
  const std::vector<SaveTarget> targets = saveTargets(ctx, step, udim);
  const bool eachLayer = boolOr(step, "each_layer", false);
  // Every file is named before any is written: two that would land on one name are refused.
  struct Planned {
    const host::PaintBitmap* bitmap;
    std::filesystem::path file;
    std::string what;
    hostapp::ExportOptions options;
  };
  std::vector<Planned> planned;
  for (const SaveTarget& target : targets) {
    const std::vector<int32_t> channels = saveChannels(ctx, step, target.material);
    for (const int32_t channel : channels) {
      Json ref = jsonObject({{"material", target.material->name()}, {"channel", channel}});
      if (step.contains("layer")) ref["layer"] = step["layer"];
      const LayerRef layer = layerRef(ctx, ref, false);
      const hostapp::ExportOptions options = exportOptions(ctx, step, channel);
      const std::string key = channelKey(channel);
      // Default names: MATERIAL_CHANNEL[_LAYER].png, or OBJECT_CHANNEL.<UDIM>.png for tiles.
      std::string name = pattern;
      if (name.empty())
        name = safeFileName(eachLayer ? layer.material + "_" + key : layer.label()) + ".png";
      if (!pattern.empty() && channels.size() > 1 && name.find("<CHANNEL>") == std::string::npos) {
        const std::filesystem::path p(name);
        name = (p.parent_path() / (p.stem().string() + "_<CHANNEL>" + p.extension().string()))
                   .string();
      }
      replaceAll(name, "<CHANNEL>", key);
      replaceAll(name, "<MATERIAL>", safeFileName(target.material->name()));
      replaceAll(name, "<UDIM>", std::to_string(target.tile));
      Json named = step;
      named["file"] = name;
      const host::PaintBitmap& bitmap = layer.layer && !eachLayer ? *layer.layer : *layer.texture;
      planned.push_back({&bitmap, ctx.outputFile(fileFor(ctx, named, name)),
                         "\"" + layer.material + "\" " + key, options});
      if (eachLayer) {
        // Every layer under its own name, beside the flattened texture.
        int32_t index = 0;
        for (host::PaintBitmap* l = layer.texture->firstLayer(); l; l = l->next(), ++index) {
          const std::string label = layer.material + "_" + key + "_" +
                                    (l->name().empty() ? std::to_string(index) : l->name());
          Json layerFile = Json::object();
          if (step.contains("format")) layerFile["format"] = step["format"];
          planned.push_back(
              {l, ctx.outputFile(fileFor(ctx, layerFile, safeFileName(label) + ".png")),
               "the layer \"" + l->name() + "\" of \"" + layer.material + "\" " + key, options});
        }
      }
    }
  }
  for (size_t i = 0; i < planned.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (planned[i].file.lexically_normal() == planned[j].file.lexically_normal())
        throw StepError(planned[j].what + " and " + planned[i].what + " would both be written to " +
                        planned[i].file.filename().string() +
                        ", and one would be lost; give them names that differ");
  for (const Planned& p : planned) {
    auto it = ctx.savedImages.find(p.file.lexically_normal().string());
    if (it != ctx.savedImages.end() && it->second != p.what)
      throw StepError(it->second + " and " + p.what + " would both be written to " +
                      p.file.filename().string() +
                      ", and the first would be lost; give them names that differ");
  }
  std::vector<std::string> written;
  for (const Planned& p : planned) {
    written.push_back(writeImage(ctx, *p.bitmap, p.file, p.options));
    ctx.savedImages[p.file.lexically_normal().string()] = p.what;
  }
  std::string summary;
  for (const std::string& w : written) summary += (summary.empty() ? "" : ", ") + w;
  return summary;
}

std::string formatComponent(const hostapp::ModeLayout& layout, const uint8_t* p) {
  char buf[32];
  if (layout.componentBytes == 1) return std::to_string(p[0]);
  if (layout.componentBytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return std::to_string(v);
  }
  float f;
  std::memcpy(&f, p, 4);
  std::snprintf(buf, sizeof buf, "%.6g", f);
  return buf;
}

std::string pixelsStep(JobContext& ctx, const Json& step) {
  const LayerRef ref = layerRef(ctx, step, true);
  const host::PaintBitmap& bitmap = ref.layer ? *ref.layer : *ref.texture;
  const hostapp::ModeLayout* layout = hostapp::modeLayout(bitmap.colorMode());
  if (!layout) throw StepError("the layer has an unknown colour mode");
  const Json& points = require(step, "points");
  if (!points.is_array() || points.empty())
    throw StepError("\"points\" must be a list of [x, y] pixels");
  std::string out = ref.label() + " in " + colorModeName(bitmap.colorMode());
  std::vector<uint8_t> pixel(static_cast<size_t>(layout->pixelBytes()));
  for (const Json& p : points) {
    const host::Vector v = vectorOf(p, "every pixel");
    const int32_t x = static_cast<int32_t>(v.x), y = static_cast<int32_t>(v.y);
    if (x != v.x || y != v.y || x < 0 || y < 0 || x >= bitmap.width() || y >= bitmap.height())
      throw StepError("the pixel " + p.dump() + " lies outside the " +
                      std::to_string(bitmap.width()) + " x " + std::to_string(bitmap.height()) +
                      " layer");
    bitmap.getPixelRow(x, y, 1, pixel.data(), bitmap.colorMode());
    std::string line = "\n    " + std::to_string(x) + " " + std::to_string(y) + ":";
    for (int32_t c = 0; c < layout->components; ++c)
      line +=
          " " + formatComponent(*layout, &pixel[static_cast<size_t>(c) * layout->componentBytes]);
    out += line;
  }
  return out;
}

std::string renderStep(JobContext& ctx, const Json& step) {
  hostapp::RenderOptions options;
  if (step.contains("size")) {
    const host::Vector size = vectorOf(step["size"], "\"size\"");
    if (size.x < 1 || size.y < 1 || size.x > 16384 || size.y > 16384 ||
        size.x != std::floor(size.x) || size.y != std::floor(size.y))
      throw StepError("\"size\" must be [width, height] between 1 and 16384");
    options.width = static_cast<int32_t>(size.x);
    options.height = static_cast<int32_t>(size.y);
  }
  options.supersample = intOr(step, "supersample", 2);
  if (options.supersample < 1 || options.supersample > 4)
    throw StepError("\"supersample\" must lie between 1 and 4");
  if (ctx.progress) options.progress = [&ctx](double done) { ctx.progress("render", done, ""); };
  const std::string cameraName = stringOr(step, "camera", "");
  // Without a camera the render shows what the document's view shows.
  const hostapp::RenderCamera camera =
      cameraName.empty() ? ctx.doc->activeView()->camera(double(options.width) / options.height)
                         : hostapp::cameraView(*ctx.camera(cameraName));
  hostapp::PlainBitmap image(ctx.host.memory());
  if (!hostapp::renderDocument(ctx.host, *ctx.doc, camera, options, image))
    throw StepError("the render could not be made");
  const std::filesystem::path file = ctx.outputFile(fileFor(ctx, step, "render.png"));
  std::string error;
  if (!hostapp::savePlainBitmap(image, file.string(), error)) {
    if (!error.empty() && error.back() == '.') error.pop_back();
    throw StepError(error);
  }
  return file.filename().string() + " (" + std::to_string(options.width) + "x" +
         std::to_string(options.height) + ", " + (cameraName.empty() ? "the view" : cameraName) +
         ")";
}

}  // namespace

void addOutputSteps(StepTable& t) {
  const std::vector<int64_t> formats = {1100, 1101, 1102, 1103, 1104, 1105};
  t.add("save",
        "Writes a layer, or the whole texture flattened through its visible layers, at a chosen "
        "depth and colour space; all channels of a material, or one file per UDIM tile.",
        object({opt("material", text(), "The material."),
                opt("object", text(),
                    "An object: its materials, one file per UDIM tile (\"file\" holds <UDIM>)."),
                opt("channel", channelName(), "The channel (color)."),
                opt("channels",
                    anyOf({word({"all"}), listOf(channelName(), 1)})
                        .described("\"all\" or a list of channels"),
                    "Several channels: \"all\" the material's painted channels, or a list."),
                opt("layer", layerName(), "The layer; without it the flattened texture."),
                opt("file", text(),
                    "The file, in the output folder; its suffix gives the format. <UDIM>, "
                    "<CHANNEL> and <MATERIAL> are replaced by the tile, channel and material."),
                opt("format", wholeOf(formats), "A format id that replaces the suffix."),
                opt("depth", word({"uint8", "uint16", "half", "float"}),
                    "Sample type of the file (the layer's, where the format holds it)."),
                opt("colorspace", word({"auto", "srgb", "linear", "raw"}),
                    "Colour space of the file: auto is sRGB in integer files and linear in "
                    "half and float ones for colour channels, data as it is."),
                opt("compression", whole().between(0, 9),
                    "PNG compression level, 0 (fastest, largest) to 9 (smallest, slowest); 3 "
                    "by default."),
                opt("each_layer", flag(), "Also write every layer under its own name.")})
            .oneOf({"material", "object"})
            .excluding("channel", "channels")
            .excluding("layer", "channels"),
        saveStep);
  t.add("pixels", "Prints pixels of a layer in the layer's own colour mode.",
        object({req("material", text(), "The material."),
                opt("channel", channelName(), "The channel (color)."),
                opt("layer", layerName(), "The layer (the active one)."),
                req("points",
                    listOf(listOf(whole().from(0), 2, 2), 1).described("a list of [x, y] pixels"),
                    "The pixels to print.")}),
        pixelsStep);
  t.add("render", "A preview render of the scene from a camera or the editor camera.",
        object({opt("camera", text(), "The camera (the editor camera, which frames everything)."),
                opt("size", pixelSize(), "[width, height] ([800, 600])."),
                opt("supersample", whole().between(1, 4), "Samples per pixel side (2)."),
                opt("file", text(), "The image file (render.png)."),
                opt("format", wholeOf(formats), "A format id that replaces the suffix.")}),
        renderStep);
}

}  // namespace pigmora::cli
