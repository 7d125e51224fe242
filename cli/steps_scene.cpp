// Steps that build the scene.
#include <cmath>
#include <filesystem>

#include "cli/named_settings.h"
#include "cli/steps.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/paint/paint_impl.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/obj_loader.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/scene/scene_builder.h"

namespace pigmora::cli {

namespace {

constexpr int32_t kMaxTextureSize = 16384;

host::Matrix rotation(const host::Vector& degrees) {
  const double rx = degrees.x * M_PI / 180, ry = degrees.y * M_PI / 180,
               rz = degrees.z * M_PI / 180;
  // Heading about y, then pitch about x, then bank about z.
  auto rotX = [](double a) {
    host::Matrix m;
    m.v2 = {0, std::cos(a), std::sin(a)};
    m.v3 = {0, -std::sin(a), std::cos(a)};
    return m;
  };
  auto rotY = [](double a) {
    host::Matrix m;
    m.v1 = {std::cos(a), 0, -std::sin(a)};
    m.v3 = {std::sin(a), 0, std::cos(a)};
    return m;
  };
  auto rotZ = [](double a) {
    host::Matrix m;
    m.v1 = {std::cos(a), std::sin(a), 0};
    m.v2 = {-std::sin(a), std::cos(a), 0};
    return m;
  };
  return rotY(ry) * rotX(rx) * rotZ(rz);
}

void placeObject(JobContext& ctx, host::Object* obj, const Json& step) {
  host::Matrix m;
  if (step.contains("rotation")) m = rotation(vectorOf(step["rotation"], "\"rotation\""));
  const double scale = numberOr(step, "scale", 1.0);
  if (!(scale > 0)) throw StepError("\"scale\" must be above 0");
  m.v1 *= scale;
  m.v2 *= scale;
  m.v3 *= scale;
  if (step.contains("position")) m.off = vectorOf(step["position"], "\"position\"");
  (void)ctx;
  obj->setGlobalMatrix(m);
}

hostapp::MeshData explicitMesh(const Json& step) {
  hostapp::MeshData mesh;
  const Json& points = require(step, "points");
  if (!points.is_array() || points.empty())
    throw StepError("\"points\" must be a list of [x, y, z]");
  for (const Json& p : points) mesh.points.push_back(vectorOf(p, "every point"));
  const Json& polys = require(step, "polygons");
  if (!polys.is_array() || polys.empty())
    throw StepError("\"polygons\" must be a list of polygons of three or four point indices");
  const int32_t count = static_cast<int32_t>(mesh.points.size());
  for (size_t i = 0; i < polys.size(); ++i) {
    const std::vector<int32_t> c = indicesOf(polys[i], "every polygon");
    if (c.size() != 3 && c.size() != 4)
      throw StepError("polygon " + std::to_string(i) + " must have three or four corners");
    for (int32_t k : c)
      if (k >= count)
        throw StepError("polygon " + std::to_string(i) + " uses point " + std::to_string(k) +
                        ", but there are only " + std::to_string(count) + " points");
    mesh.polygons.push_back({c[0], c[1], c[2], c.size() == 4 ? c[3] : c[2]});
  }
  const Json& uvs = require(step, "uvs");
  if (!uvs.is_array() || uvs.size() != polys.size())
    throw StepError("\"uvs\" must hold one list of corner UVs per polygon");
  for (size_t i = 0; i < uvs.size(); ++i) {
    if (!uvs[i].is_array() || uvs[i].size() != polys[i].size())
      throw StepError("the UVs of polygon " + std::to_string(i) +
                      " must have one [u, v] per corner");
    host::UVWPolygon uv;
    for (size_t k = 0; k < uvs[i].size(); ++k)
      uv.corner(static_cast<int>(k)) = vectorOf(uvs[i][k], "every UV");
    if (uvs[i].size() == 3) uv.d = uv.c;
    mesh.uvs.push_back(uv);
  }
  return mesh;
}

// Steps find objects and materials by name, so a second one of the same name would be
// unreachable.
void requireNewObjectName(JobContext& ctx, const std::string& name) {
  for (host::Object* o : ctx.doc->allObjects())
    if (o->name() == name)
      throw StepError("\"name\": the scene already has an object named \"" + name + "\"");
}

std::string objectStep(JobContext& ctx, const Json& step) {
  const std::string name = stringOf(step, "name");
  requireNewObjectName(ctx, name);
  hostapp::MeshData mesh;
  std::string source;
  if (step.contains("primitive")) {
    const std::string kind = stringOf(step, "primitive");
    if (kind == "sphere") {
      const int32_t segments = intOr(step, "segments", 48), rings = intOr(step, "rings", 24);
      if (segments < 3 || rings < 2 || segments > 4096 || rings > 4096)
        throw StepError("a sphere needs 3 to 4096 segments and 2 to 4096 rings");
      mesh = hostapp::uvSphere(segments, rings, numberOr(step, "radius", 100.0));
    } else if (kind == "box") {
      const host::Vector size =
          step.contains("size") ? vectorOf(step["size"], "\"size\"") : host::Vector(200, 200, 200);
      mesh = hostapp::uvBox(size.x, size.y, size.z);
    } else if (kind == "grid") {
      const int32_t nx = intOr(step, "columns", 10), ny = intOr(step, "rows", 10);
      if (nx < 1 || ny < 1 || nx > 4096 || ny > 4096)
        throw StepError("a grid needs 1 to 4096 columns and rows");
      mesh = hostapp::gridMesh(nx, ny, numberOr(step, "size", 200.0));
    } else {
      throw StepError("there is no primitive named \"" + kind + "\" (use sphere, box or grid)");
    }
    source = kind;
  } else if (step.contains("obj")) {
    const std::filesystem::path file = ctx.inputFile(stringOf(step, "obj"));
    std::string error;
    if (!hostapp::loadObjMesh(file.string(), mesh, error)) {
      if (!error.empty() && error.back() == '.') error.pop_back();
      throw StepError(error);
    }
    source = file.filename().string();
  } else if (step.contains("points")) {
    mesh = explicitMesh(step);
    source = "points";
  } else {
    throw StepError("an object needs \"primitive\", \"obj\" or \"points\"");
  }
  host::Object* parent = step.contains("parent") ? ctx.object(stringOf(step, "parent")) : nullptr;
  hostapp::SceneBuilder builder(ctx.host, ctx.doc);
  host::PolygonObject* obj = builder.addMesh(name, mesh, parent);
  if (!obj) throw StepError("the object could not be made: the machine ran out of memory");
  placeObject(ctx, obj, step);
  if (!ctx.doc->activeObject() || boolOr(step, "active", false)) ctx.doc->setActiveObject(obj);
  return name + " (" + source + "): " + std::to_string(obj->pointCount()) + " points, " +
         std::to_string(obj->polygonCount()) + " polygons";
}

std::string selectionStep(JobContext& ctx, const Json& step) {
  host::PolygonObject* obj = ctx.polygonObject(stringOf(step, "object"));
  const std::string name = stringOf(step, "name");
  const std::vector<int32_t> polys = indicesOf(require(step, "polygons"), "\"polygons\"");
  for (int32_t p : polys)
    if (p >= obj->polygonCount())
      throw StepError("polygon " + std::to_string(p) + " is out of range: " + obj->name() +
                      " has " + std::to_string(obj->polygonCount()) + " polygons");
  hostapp::SceneBuilder builder(ctx.host, ctx.doc);
  if (!builder.addSelectionTag(obj, name, polys))
    throw StepError("the selection tag could not be made: the machine ran out of memory");
  return obj->name() + ": selection \"" + name + "\" of " + std::to_string(polys.size()) +
         " polygons";
}

std::string materialStep(JobContext& ctx, const Json& step) {
  const std::string name = stringOf(step, "name");
  for (host::Material* m = ctx.doc->firstMaterial(); m; m = m->next())
    if (m->name() == name)
      throw StepError("\"name\": the scene already has a material named \"" + name + "\"");
  hostapp::SceneBuilder builder(ctx.host, ctx.doc);
  host::Material* mat = builder.addMaterial(name);
  if (!mat) throw StepError("the material could not be made: the machine ran out of memory");
  if (step.contains("color"))
    mat->data().setVector(host::kMatColor, vectorOf(step["color"], "\"color\""));
  std::string summary = name;
  if (!step.contains("channels")) return summary;
  const Json& channels = step["channels"];
  if (!channels.is_object()) throw StepError("\"channels\" must map channel names to textures");
  for (auto it = channels.begin(); it != channels.end(); ++it) {
    const int32_t channel = channelOf(Json(it.key()));
    const Json& entry = it.value();
    if (!entry.is_object())
      throw StepError("the channel \"" + it.key() + "\" must be described by an object");
    if (entry.contains("file")) {
      // An existing image: the channel links it and the host opens it when it is painted.
      const std::filesystem::path file = ctx.inputFile(stringOf(entry, "file"));
      mat->enableChannel(channel, true);
      mat->channel(channel)->data().setFilename(host::kChannelFile,
                                                std::filesystem::absolute(file).string());
      if (!ctx.host.paintImpl().textureOf(mat, channel, ctx.doc))
        throw StepError("the image " + file.string() + " could not be opened as a texture");
      summary += ", " + it.key() + " from " + file.filename().string();
      continue;
    }
    int32_t width = 1024, height = 1024;
    if (entry.contains("size")) {
      const Json& size = entry["size"];
      if (size.is_array() && size.size() == 2 && size[0].is_number_integer() &&
          size[1].is_number_integer()) {
        width = wholeOf(size[0], "\"size\"");
        height = wholeOf(size[1], "\"size\"");
      } else if (size.is_number_integer()) {
        width = height = wholeOf(size, "\"size\"");
      } else {
        throw StepError("\"size\" must be a whole number or [width, height]");
      }
    }
    if (width < 1 || height < 1 || width > kMaxTextureSize || height > kMaxTextureSize)
      throw StepError("the texture size " + std::to_string(width) + " x " + std::to_string(height) +
                      " is outside 1 to " + std::to_string(kMaxTextureSize));
    const int32_t mode = entry.contains("mode") ? colorModeOf(entry["mode"]) : host::kModeARGB8;
    host::Vector fill(255, 255, 255);
    const bool filled = !entry.contains("fill") || !entry["fill"].is_null();
    if (entry.contains("fill") && filled) fill = vectorOf(entry["fill"], "\"fill\"");
    host::PaintTexture* tex =
        builder.addTexture(mat, channel, width, height, mode, filled ? &fill : nullptr);
    if (!tex)
      throw StepError("the texture of the channel \"" + it.key() +
                      "\" could not be made: the machine ran out of memory");
    if (entry.contains("layers")) {
      const Json& layers = entry["layers"];
      if (!layers.is_array()) throw StepError("\"layers\" must be a list of layer names");
      for (const Json& layer : layers) {
        if (!layer.is_string()) throw StepError("\"layers\" must be a list of layer names");
        if (!tex->addLayer(layer.get<std::string>(), mode))
          throw StepError("the layer \"" + layer.get<std::string>() +
                          "\" could not be made: the machine ran out of memory");
      }
    }
    summary += ", " + it.key() + " " + std::to_string(width) + "x" + std::to_string(height) + " " +
               colorModeName(mode) + " (" + std::to_string(tex->layerCount()) + " layers)";
  }
  return summary;
}

std::string textureTagStep(JobContext& ctx, const Json& step) {
  host::Object* obj = ctx.object(stringOf(step, "object"));
  host::Material* mat = ctx.material(stringOf(step, "material"));
  hostapp::SceneBuilder builder(ctx.host, ctx.doc);
  host::TextureTag* tag = builder.addTextureTag(obj, mat, stringOr(step, "restriction", ""));
  if (!tag) throw StepError("the texture tag could not be made: the machine ran out of memory");
  tag->data().setInt32(host::kTexProjection, intOr(step, "projection", 6));
  tag->data().setBool(host::kTexTiling, boolOr(step, "tiling", true));
  const std::string restriction = stringOr(step, "restriction", "");
  return obj->name() + " <- " + mat->name() +
         (restriction.empty() ? "" : " on \"" + restriction + "\"");
}

std::string cameraStep(JobContext& ctx, const Json& step) {
  const std::string name = stringOf(step, "name");
  requireNewObjectName(ctx, name);
  auto* cam = static_cast<host::CameraObject*>(ctx.host.scene().createObject(host::kTypeCamera));
  if (!cam) throw StepError("the camera could not be made: the machine ran out of memory");
  cam->setName(name);
  ctx.doc->insertObject(cam, nullptr, nullptr);
  const double focal = numberOr(step, "focal", 36.0);
  if (!(focal > 0)) throw StepError("\"focal\" must be above 0");
  cam->setFocalLength(focal);
  const hostapp::RenderCamera view = hostapp::lookAt(
      vectorOf(require(step, "position"), "\"position\""),
      step.contains("target") ? vectorOf(step["target"], "\"target\"") : host::Vector(), focal);
  cam->setGlobalMatrix(view.matrix);
  return name + ", " + std::to_string(static_cast<int>(focal)) + " mm";
}

std::string documentStep(JobContext& ctx, const Json& step) {
  std::string summary;
  if (step.contains("mode")) {
    ctx.doc->data().setInt32(host::kDocMode, intOf(step, "mode"));
    summary += "mode " + std::to_string(intOf(step, "mode"));
  }
  if (step.contains("active_object")) {
    host::Object* obj = ctx.object(stringOf(step, "active_object"));
    ctx.doc->setActiveObject(obj);
    summary += (summary.empty() ? "" : ", ") + std::string("active object ") + obj->name();
  }
  if (step.contains("active_material")) {
    host::Material* mat = ctx.material(stringOf(step, "active_material"));
    ctx.doc->setActiveMaterial(mat, false);
    summary += (summary.empty() ? "" : ", ") + std::string("active material ") + mat->name();
  }
  if (step.contains("folder")) {
    // The document's folder, where commands write the textures they create: inside the output
    // folder, so that a job never writes outside it.
    const std::filesystem::path folder = ctx.outputFile(stringOf(step, "folder")) / "";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
      throw StepError("the folder " + folder.string() + " cannot be created: " + ec.message());
    ctx.doc->data().setFilename(host::kDocPath, folder.parent_path().string());
    summary +=
        (summary.empty() ? "" : ", ") + std::string("folder ") + folder.parent_path().string();
  }
  if (step.contains("parameters")) {
    const Json& params = step["parameters"];
    const SettingsScope scope = documentScope();
    for (auto it = params.begin(); it != params.end(); ++it) {
      const std::string path = keyPath("parameters", it.key());
      const SettingRef ref = findSetting(scope, it.key(), path);
      if (ref.id == host::kDocPath)
        throw StepError(
            "the document's folder (1012) is set with \"folder\", inside the output "
            "folder");
      ctx.doc->data().set(ref.id, settingValue(&ctx, ref, it.value(), path));
    }
    summary += (summary.empty() ? "" : ", ") + std::to_string(params.size()) + " parameters";
  }
  return summary;
}

std::string selectStep(JobContext& ctx, const Json& step) {
  std::string summary;
  if (step.contains("objects")) {
    const Json& names = step["objects"];
    if (!names.is_array()) throw StepError("\"objects\" must be a list of object names");
    for (host::Object* o : ctx.doc->allObjects()) o->setSelected(false);
    for (const Json& n : names) {
      if (!n.is_string()) throw StepError("\"objects\" must be a list of object names");
      ctx.object(n.get<std::string>())->setSelected(true);
    }
    summary += std::to_string(names.size()) + " objects";
  }
  if (step.contains("materials")) {
    const Json& names = step["materials"];
    if (!names.is_array()) throw StepError("\"materials\" must be a list of material names");
    bool add = false;
    for (const Json& n : names) {
      if (!n.is_string()) throw StepError("\"materials\" must be a list of material names");
      ctx.doc->setActiveMaterial(ctx.material(n.get<std::string>()), add);
      add = true;
    }
    summary += (summary.empty() ? "" : ", ") + std::to_string(names.size()) + " materials";
  }
  if (step.contains("object")) {
    host::PolygonObject* obj = ctx.polygonObject(stringOf(step, "object"));
    struct Kind {
      const char* key;
      host::Selection& selection;
      int32_t limit;
    };
    if (step.contains("selection")) {
      // The polygons a selection tag holds become the object's polygon selection.
      const std::string name = stringOf(step, "selection");
      host::SelectionTag* tag = nullptr;
      for (int32_t i = 0; !tag && i < obj->tagCount(); ++i)
        if (obj->tagAt(i)->type() == host::kTypePolygonSelectionTag &&
            obj->tagAt(i)->name() == name)
          tag = static_cast<host::SelectionTag*>(obj->tagAt(i));
      if (!tag) throw StepError(obj->name() + " has no selection tag named \"" + name + "\"");
      if (step.contains("polygons"))
        throw StepError("\"selection\" and \"polygons\" both choose the polygons; give one");
      obj->polygonSelection() = tag->selection();
      summary += (summary.empty() ? "" : ", ") + obj->name() + " " +
                 std::to_string(tag->selection().count()) + " polygons of \"" + name + "\"";
    }
    const Kind kinds[] = {{"polygons", obj->polygonSelection(), obj->polygonCount()},
                          {"points", obj->pointSelection(), obj->pointCount()},
                          {"edges", obj->edgeSelection(), obj->polygonCount() * 4}};
    for (const Kind& k : kinds) {
      if (!step.contains(k.key)) continue;
      std::vector<int32_t> indices;
      if (step[k.key].is_string() && step[k.key].get<std::string>() == "all") {
        for (int32_t i = 0; i < k.limit; ++i) indices.push_back(i);
      } else {
        indices = indicesOf(step[k.key], k.key);
      }
      for (int32_t i : indices)
        if (i >= k.limit)
          throw StepError(std::string(k.key) + " index " + std::to_string(i) +
                          " is out of range: " + obj->name() + " has " + std::to_string(k.limit));
      k.selection.deselectAll();
      for (int32_t i : indices) k.selection.select(i);
      summary += (summary.empty() ? "" : ", ") + obj->name() + " " +
                 std::to_string(indices.size()) + " " + k.key;
    }
  }
  return summary;
}

}  // namespace

void addSceneSteps(StepTable& t) {
  t.add("object",
        "A polygon object from a built-in primitive, an OBJ file, or explicit points, polygons "
        "and UVs.",
        object({req("name", text(), "The object's name, unique in the scene."),
                opt("primitive", word({"sphere", "box", "grid"}), "A built-in mesh."),
                opt("obj", text(), "An OBJ file, relative to the job's folder."),
                opt("points", listOf(vec3(), 1).described("a list of [x, y, z] points"),
                    "Explicit points."),
                opt("polygons",
                    listOf(listOf(whole().from(0), 3, 4), 1)
                        .described("a list of polygons of three or four point indices"),
                    "Polygons of explicit points, as point indices."),
                opt("uvs",
                    listOf(listOf(listOf(number(), 2, 3), 3, 4))
                        .described("one list of [u, v] corners per polygon"),
                    "UVs of explicit polygons, one [u, v] per corner."),
                opt("segments", whole().between(3, 4096), "Sphere: segments around (48)."),
                opt("rings", whole().between(2, 4096), "Sphere: rings from pole to pole (24)."),
                opt("radius", number().above(0), "Sphere: radius (100)."),
                opt("size",
                    anyOf({number().above(0), listOf(number().above(0), 3, 3)})
                        .described("a box's [x, y, z] or a grid's width, above 0"),
                    "Box: [x, y, z] (200 each); grid: width and depth (200)."),
                opt("columns", whole().between(1, 4096), "Grid: polygons across (10)."),
                opt("rows", whole().between(1, 4096), "Grid: polygons deep (10)."),
                opt("position", vec3(), "World position."),
                opt("rotation", vec3(), "Heading, pitch and bank in degrees."),
                opt("scale", number().above(0), "Uniform scale (1)."),
                opt("parent", text(), "The object to put it under."),
                opt("active", flag(), "Make it the active object (the first object always is).")})
            .oneOf({"primitive", "obj", "points"})
            .needing("points", "polygons")
            .needing("points", "uvs"),
        objectStep);
  t.add("selection", "A polygon selection tag, by polygon indices.",
        object({req("object", text(), "The polygon object."),
                req("name", text(), "The tag's name (texture tags restrict to it by name)."),
                req("polygons", indexList(), "The selected polygons.")}),
        selectionStep);
  t.add(
      "material", "A standard material, with paint textures in the channels it enables.",
      object({req("name", text(), "The material's name, unique in the scene."),
              opt("color", colour01(), "The material's own colour, shown where it has no texture."),
              opt("channels",
                  channelMap(object(
                      {opt("size",
                           anyOf({whole().between(1, 16384), pixelSize()})
                               .described("a whole number from 1 to 16384 or [width, height]"),
                           "Width and height in pixels (1024)."),
                       opt("mode", colorModeName(), "Colour mode of the layers (argb8)."),
                       opt("fill", anyOf({colour255(), nothing()}),
                           "Background colour 0 .. 255 (white); null for transparent."),
                       opt("layers", nameList(), "Layers added above \"Background\"."),
                       opt("file", text(), "An existing image to paint on instead.")})),
                  "Channels to enable, by name, each with its texture.")}),
      materialStep);
  t.add("texture_tag", "Assigns a material to an object, optionally restricted to a selection.",
        object({req("object", text(), "The object."), req("material", text(), "The material."),
                opt("restriction", text(), "The name of a polygon selection tag."),
                opt("projection", whole(), "Projection (6, UVW mapping)."),
                opt("tiling", flag(), "Tile the texture (true).")}),
        textureTagStep);
  t.add("camera", "A camera looking at a target.",
        object({req("name", text(), "The camera's name, unique among the objects."),
                req("position", vec3(), "Where it stands."),
                opt("target", vec3(), "What it looks at ([0, 0, 0])."),
                opt("focal", number().above(0), "Focal length in mm on 36 mm film (36).")}),
        cameraStep);
  t.add("document", "The editing mode, active object and material, and document parameters.",
        object({opt("mode", whole(), "Editing mode (document parameter 1019)."),
                opt("active_object", text(), "The object to make active."),
                opt("active_material", text(), "The material to make active."),
                opt("folder", text(),
                    "The document's folder (1012), where commands write new textures: a folder "
                    "inside the output folder."),
                opt("parameters", settingsOf(SettingsOwner::kDocument),
                    "Document parameters by id or name (pigmora describe document).")}),
        documentStep);
  const Rule indicesOrAll =
      anyOf({indexList(), word({"all"})}).described("a list of indices or \"all\"");
  t.add("select", "Selects objects, materials, and an object's polygons, points or edges.",
        object({opt("objects", nameList(), "Objects to select (the others are deselected)."),
                opt("materials", nameList(), "Materials to select."),
                opt("object", text(), "The object whose elements are selected."),
                opt("polygons", indicesOrAll, "Polygons to select."),
                opt("selection", text(), "A polygon selection tag whose polygons to select."),
                opt("points", indicesOrAll, "Points to select."),
                opt("edges", indicesOrAll, "Edges to select (4 x polygon + side).")})
            .needing("polygons", "object")
            .needing("selection", "object")
            .excluding("selection", "polygons")
            .needing("points", "object")
            .needing("edges", "object"),
        selectStep);
}

}  // namespace pigmora::cli
