#include "cli/demo_job.h"

#include <cmath>

namespace pigmora::cli {

namespace {

Json uvWave(double u0, double u1, double v, double amplitude, double waves, int points) {
  Json path = Json::array();
  for (int i = 0; i <= points; ++i) {
    const double t = static_cast<double>(i) / points;
    path.push_back({u0 + (u1 - u0) * t, v + amplitude * std::sin(t * waves * 2 * M_PI)});
  }
  return path;
}

Json uvZigzag(double u0, double u1, double v0, double v1, int teeth) {
  Json path = Json::array();
  for (int i = 0; i <= teeth * 2; ++i)
    path.push_back({u0 + (u1 - u0) * i / (teeth * 2.0), i % 2 ? v1 : v0});
  return path;
}

}  // namespace

std::filesystem::path dataFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  // The program lives in <tree>/<build>/bin; its data in <tree>/data.
  if (!ec) {
    const std::filesystem::path beside = exe.parent_path().parent_path().parent_path() / "data";
    if (std::filesystem::is_directory(beside / "brushes", ec)) return beside;
  }
  if (std::filesystem::is_directory("data/brushes", ec)) return std::filesystem::absolute("data");
  return {};
}

Json demoJob(int32_t size) {
  const Json texture = {{"size", size}, {"mode", "argb8"}, {"layers", {"Paint"}}};
  Json steps = Json::array();
  auto add = [&steps](Json s) { steps.push_back(std::move(s)); };

  // The scene: a sphere with one seam and a box with an island per face, side by side.
  add({{"step", "object"},
       {"name", "Sphere"},
       {"primitive", "sphere"},
       {"segments", 64},
       {"rings", 32},
       {"radius", 100},
       {"position", {-120, 0, 0}}});
  add({{"step", "object"},
       {"name", "Box"},
       {"primitive", "box"},
       {"size", {150, 150, 150}},
       {"position", {125, -20, 0}},
       {"rotation", {0, -30, 0}}});
  Json sphereTex = texture;
  sphereTex["fill"] = {238, 232, 218};
  Json boxTex = texture;
  boxTex["fill"] = {210, 214, 220};
  add({{"step", "material"}, {"name", "Sphere Paint"}, {"channels", {{"color", sphereTex}}}});
  add({{"step", "material"}, {"name", "Box Paint"}, {"channels", {{"color", boxTex}}}});
  add({{"step", "texture_tag"}, {"object", "Sphere"}, {"material", "Sphere Paint"}});
  add({{"step", "texture_tag"}, {"object", "Box"}, {"material", "Box Paint"}});
  add({{"step", "camera"},
       {"name", "Preview"},
       {"position", {70, 170, -480}},
       {"target", {0, -10, 0}},
       {"focal", 34}});

  // The brush: soft falloff with a firm core.
  add({{"step", "tool"},
       {"id", 1035414},
       {"settings", {{"radius", 12.0}, {"strength", 1.0}, {"spacing", 0.2}}},
       {"falloff", {{0.0, 1.0}, {0.45, 0.92}, {0.8, 0.3}, {1.0, 0.0}}}});
  add({{"step", "painter"},
       {"colors",
        {{"color", {{"primary", {0.09, 0.27, 0.62}}, {"secondary", {0.98, 0.78, 0.12}}}}}},
       {"texture", {{"material", "Sphere Paint"}, {"channel", "color"}}}});

  // Box first: each face its own colour, a woven pattern through the stencil over the front
  // face, softened by a blur stroke across it.
  add({{"step", "fill"}, {"object", "Box"}, {"mode", "islands"}});
  add({{"step", "tool"},
       {"stencil", "brushes/weave_stencil.png"},
       {"settings", {{"stencil_size", 300.0}, {"stencil_colour", false}}}});
  add({{"step", "painter"},
       {"colors", {{"color", {{"primary", {0.97, 0.93, 0.84}}}}}},
       {"texture", {{"material", "Box Paint"}, {"channel", "color"}}}});
  add({{"step", "stroke"},
       {"object", "Box"},
       {"radius", 30},
       {"spacing", 0.3},
       {"uv",
        {{0.1667, 0.25},
         {0.05, 0.1},
         {0.28, 0.1},
         {0.28, 0.25},
         {0.05, 0.25},
         {0.05, 0.4},
         {0.28, 0.4}}}});
  add({{"step", "tool"}, {"stencil", nullptr}});
  add({{"step", "stroke"},
       {"object", "Box"},
       {"radius", 16},
       {"blur", true},
       {"uv", {{0.05, 0.44}, {0.28, 0.06}}}});

  // Sphere: a blue wave round the equator, a zigzag in the secondary colour, a row of stars.
  add({{"step", "painter"},
       {"colors", {{"color", {{"primary", {0.09, 0.27, 0.62}}}}}},
       {"texture", {{"material", "Sphere Paint"}, {"channel", "color"}}}});
  add({{"step", "stroke"},
       {"object", "Sphere"},
       {"radius", 14},
       {"uv", uvWave(0.0, 1.0, 0.5, 0.07, 4, 96)}});
  add({{"step", "stroke"},
       {"object", "Sphere"},
       {"radius", 7},
       {"secondary", true},
       {"uv", uvZigzag(0.02, 0.98, 0.3, 0.36, 18)}});
  add({{"step", "tool"}, {"stamp", "brushes/star_stamp.png"}});
  add({{"step", "stroke"},
       {"object", "Sphere"},
       {"radius", 16},
       {"spacing", 1.6},
       {"uv", {{0.0, 0.7}, {1.0, 0.7}}}});
  add({{"step", "tool"}, {"stamp", nullptr}});
  // A last stroke taken back and put again.
  add({{"step", "painter"}, {"colors", {{"color", {{"primary", {0.78, 0.1, 0.14}}}}}}});
  add({{"step", "stroke"},
       {"object", "Sphere"},
       {"radius", 9},
       {"uv", uvWave(0.1, 0.9, 0.82, 0.025, 3, 64)}});
  add({{"step", "undo"}});
  add({{"step", "redo"}});

  // Bleed both objects so that filtering at the seams shows no background.
  add({{"step", "fill"}, {"object", "Sphere"}, {"mode", "bleed"}, {"distance", 4}});
  add({{"step", "fill"}, {"object", "Box"}, {"mode", "bleed"}, {"distance", 4}});

  // Outputs.
  add({{"step", "save"},
       {"material", "Sphere Paint"},
       {"layer", "Paint"},
       {"file", "sphere_paint_layer.png"}});
  add({{"step", "save"}, {"material", "Sphere Paint"}, {"file", "sphere_color.png"}});
  add({{"step", "save"},
       {"material", "Box Paint"},
       {"layer", "Paint"},
       {"file", "box_paint_layer.png"}});
  add({{"step", "save"}, {"material", "Box Paint"}, {"file", "box_color.png"}});
  add({{"step", "render"}, {"camera", "Preview"}, {"size", {960, 600}}, {"file", "preview.png"}});
  return {{"steps", steps}};
}

}  // namespace pigmora::cli
