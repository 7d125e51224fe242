// Exact undo under random work: random strokes in every paintable colour mode, with stamps,
// stencils, blur and secondary colours, fills and bleeds, on layers of odd sizes and on a
// 16384-wide one, with the active layer and the painted channels changing between them. Undoing
// everything gives every layer back bit for bit; redoing everything gives the painted state back
// bit for bit. PIGMORA_UNDO_ROUNDS and PIGMORA_UNDO_SEED make longer runs
// (scripts/undo_soak.sh).
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "host/binding.h"
#include "hostapp/core/registry.h"
#include "hostapp/scene/document.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/sculpt/stroke_engine.h"
#include "plugin/paintchannels.h"
#include "support/layer_snapshot.h"
#include "support/plugin_host.h"

namespace {

constexpr int32_t kPaintBrush = 1035414;
constexpr int32_t kStampOn = 10601;
constexpr int32_t kStencilOn = 10401;
// Bleed, fill the current layer, fill its UVs, fill the UV islands.
constexpr int32_t kFillCommands[] = {1037976, 1037977, 1038000, 1037978};
constexpr int32_t kDabBlur = 4;
constexpr int32_t kDabSecondary = 1;

using Pixels = LayerPixels;

int64_t envOr(const char* name, int64_t fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::strtoll(v, nullptr, 10) : fallback;
}

class RandomUndo : public PluginHostTest {
 protected:
  struct Channel {
    int32_t channel, width, height, mode;
  };

  // A 6 x 5 grid whose UVs fill the square, one material with a texture in each channel below.
  void build(const std::vector<Channel>& channels) {
    obj_ = builder().addMesh("Card", hostapp::gridMesh(6, 5, 100));
    ASSERT_NE(obj_, nullptr);
    mat_ = builder().addMaterial("Paint");
    for (const Channel& c : channels) {
      const host::Vector fill(30, 90, 200);
      host::PaintTexture* tex =
          builder().addTexture(mat_, c.channel, c.width, c.height, c.mode, &fill);
      ASSERT_NE(tex, nullptr) << c.channel;
      ASSERT_NE(tex->addLayer("Upper", c.mode), nullptr);
      textures_.push_back(tex);
    }
    builder().addTextureTag(obj_, mat_);
    doc_->setActiveObject(obj_);
    doc_->data().setInt32(host::kDocMode, 7);
    ASSERT_TRUE(host_.sculptImpl().activateTool(doc_, kPaintBrush));
    // Deep enough that no step of the walk falls off the end of the undo list.
    host_.settings().world()->setInt32(1018, 100000);
  }

  std::vector<Pixels> snapshot() const { return layerSnapshot(textures_); }

  // One random action of the user; true when it made an undo step.
  bool randomAction(std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    host::PainterState& painter = host_.paintImpl().painter();
    // Between strokes the user changes layers, channels, stamps and stencils.
    host::PaintTexture* tex = textures_[static_cast<size_t>(pick(int(textures_.size())))];
    if (pick(3) == 0) {
      int32_t n = pick(tex->layerCount());
      host::PaintBitmap* l = tex->firstLayer();
      while (n-- > 0 && l->next()) l = l->next();
      tex->setActiveLayer(l);
    }
    painter.setSelectedTexture(tex);
    painter.setPaintAllChannels(pick(2) == 0);
    painter.setColor(0, 0, {unit(rng), unit(rng), unit(rng)}, 1.0);
    painter.setColor(1, 0, {unit(rng), unit(rng), unit(rng)}, 1.0);
    host_.sculptImpl().setParameter(doc_, kStampOn, host::Value::ofBool(pick(4) == 0));
    host_.sculptImpl().setParameter(doc_, kStencilOn, host::Value::ofBool(pick(5) == 0));
    if (pick(6) == 0) {
      const int32_t command = kFillCommands[pick(4)];
      return host_.registration().callCommand(command, 0);
    }
    hostapp::StrokeInput stroke;
    const int points = 2 + pick(3);
    for (int i = 0; i < points; ++i) stroke.path.push_back({unit(rng) * 100, unit(rng) * 100, 0});
    stroke.radius = 2 + unit(rng) * 14;
    stroke.strength = 0.2 + unit(rng) * 0.8;
    stroke.spacing = 0.3 + unit(rng);
    stroke.dabFlags = (pick(4) == 0 ? kDabBlur : 0) | (pick(3) == 0 ? kDabSecondary : 0);
    return host_.sculptImpl().runStroke(doc_, stroke);
  }

  void walk(uint32_t seed, int rounds) {
    host::Settings* tool = host_.sculptImpl().toolData(doc_, kPaintBrush);
    ASSERT_NE(tool, nullptr);
    tool->setFilename(host::kBrushStamp, PIGMORA_DATA_DIR "/brushes/star_stamp.png");
    tool->setFilename(host::kBrushStencil, PIGMORA_DATA_DIR "/brushes/weave_stencil.png");
    const std::vector<Pixels> start = snapshot();
    std::mt19937 rng(seed);
    for (int i = 0; i < rounds; ++i) randomAction(rng);
    const std::vector<Pixels> painted = snapshot();
    ASSERT_NE(painted, start) << "the walk painted nothing";
    int undone = 0;
    while (doc_->undo()) ++undone;
    ASSERT_GT(undone, 0);
    const std::vector<Pixels> afterUndo = snapshot();
    for (size_t i = 0; i < start.size(); ++i)
      EXPECT_TRUE(afterUndo[i] == start[i]) << "layer " << i << " after undoing " << undone;
    int redone = 0;
    while (doc_->redo()) ++redone;
    EXPECT_EQ(redone, undone);
    const std::vector<Pixels> afterRedo = snapshot();
    for (size_t i = 0; i < painted.size(); ++i)
      EXPECT_TRUE(afterRedo[i] == painted[i]) << "layer " << i << " after redoing " << redone;
  }

  host::PolygonObject* obj_ = nullptr;
  host::Material* mat_ = nullptr;
  std::vector<host::PaintTexture*> textures_;
};

TEST_F(RandomUndo, EveryPaintableModeOnOddSizesUndoesAndRedoesBitForBit) {
  build({{0, 100, 70, host::kModeARGB8},
         {1, 65, 129, host::kModeRGB8},
         {2, 33, 47, host::kModeGrey8},
         {3, 130, 66, host::kModeAGrey8},
         {6, 90, 91, host::kModeGrey16},
         {7, 77, 64, host::kModeAlpha},
         {8, 64, 64, host::kModeAGrey16},
         {9, 129, 31, host::kModeRGB16},
         {10, 70, 70, host::kModeARGB16},
         {11, 50, 99, host::kModeGreyF},
         {12, 71, 72, host::kModeAGreyF},
         {13, 95, 45, host::kModeRGBF},
         {4, 111, 57, host::kModeARGBF}});
  const uint32_t seed = static_cast<uint32_t>(envOr("PIGMORA_UNDO_SEED", 20261209));
  walk(seed, static_cast<int>(envOr("PIGMORA_UNDO_ROUNDS", 40)));
}

TEST_F(RandomUndo, LayersSixteenThousandPixelsWideUndoAndRedoBitForBit) {
  build({{0, 16384, 8, host::kModeARGB8}, {11, 16384, 3, host::kModeGreyF}});
  const uint32_t seed = static_cast<uint32_t>(envOr("PIGMORA_UNDO_SEED", 7));
  walk(seed, static_cast<int>(envOr("PIGMORA_UNDO_ROUNDS", 40) / 2));
}

}  // namespace
