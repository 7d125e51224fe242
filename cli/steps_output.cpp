// Steps that write outputs: images of layers and textures, pixel values, preview renders.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "cli/layer_ref.h"
#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/paint/image_io.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"

namespace pigmora::cli {

namespace {

void writeImage(const host::PaintBitmap& bitmap, const std::filesystem::path& file) {
  std::string error;
  if (!hostapp::saveImageFile(bitmap, file.string(), error)) {
    if (!error.empty() && error.back() == '.') error.pop_back();
    throw StepError(error);
  }
}

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

std::string saveStep(JobContext& ctx, const Json& step) {
  const LayerRef ref = layerRef(ctx, step, false);
  std::string summary;
  if (boolOr(step, "each_layer", false)) {
    // Every layer, beside the flattened texture, named after the layers.
    int32_t index = 0;
    for (host::PaintBitmap* l = ref.texture->firstLayer(); l; l = l->next(), ++index) {
      const std::string label = ref.material + "_" + channelKey(ref.channel) + "_" +
                                (l->name().empty() ? std::to_string(index) : l->name());
      const std::filesystem::path file =
          ctx.outputFile(fileFor(ctx, Json::object(), safeFileName(label) + ".png"));
      writeImage(*l, file);
      summary += (summary.empty() ? "" : ", ") + file.filename().string();
    }
  }
  // With every layer written, the named file holds the flattened texture.
  const bool eachLayer = boolOr(step, "each_layer", false);
  const host::PaintBitmap& bitmap = ref.layer && !eachLayer ? *ref.layer : *ref.texture;
  const std::string label = eachLayer ? ref.material + "_" + channelKey(ref.channel) : ref.label();
  const std::filesystem::path file =
      ctx.outputFile(fileFor(ctx, step, safeFileName(label) + ".png"));
  writeImage(bitmap, file);
  return file.filename().string() + " (" + std::to_string(bitmap.width()) + "x" +
         std::to_string(bitmap.height()) + " " + colorModeName(bitmap.colorMode()) + ")" +
         (summary.empty() ? "" : ", " + summary);
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
  const hostapp::RenderCamera camera =
      cameraName.empty() ? hostapp::editorCamera(*ctx.doc, double(options.width) / options.height)
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
         std::to_string(options.height) + ", " +
         (cameraName.empty() ? "editor camera" : cameraName) + ")";
}

}  // namespace

void addOutputSteps(StepTable& t) {
  const std::vector<int64_t> formats = {1100, 1101, 1102, 1103, 1104, 1105};
  t.add("save", "Writes a layer, or the whole texture flattened through its visible layers.",
        object({req("material", text(), "The material."),
                opt("channel", channelName(), "The channel (color)."),
                opt("layer", layerName(), "The layer; without it the flattened texture."),
                opt("file", text(), "The file, in the output folder; its suffix gives the format."),
                opt("format", wholeOf(formats), "A format id that replaces the suffix."),
                opt("each_layer", flag(), "Also write every layer under its own name.")}),
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
