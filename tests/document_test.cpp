// Document files: round trips of whole painted documents, and refusal of damaged files.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "hostapp/docfile/byte_io.h"
#include "hostapp/docfile/chunk_stream.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/docfile/format.h"
#include "hostapp/docfile/image_memory.h"
#include "hostapp/paint/colormode.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/objects.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "plugin/managerscenehook.h"
#include "tests/support/plugin_host.h"

namespace {

namespace df = hostapp::docfile;

constexpr int32_t kPaintableModes[] = {
    host::kModeAlpha,  host::kModeGrey8,   host::kModeAGrey8, host::kModeRGB8,   host::kModeARGB8,
    host::kModeGrey16, host::kModeAGrey16, host::kModeRGB16,  host::kModeARGB16, host::kModeGreyF,
    host::kModeAGreyF, host::kModeRGBF,    host::kModeARGBF};

// Every byte of a layer, row by row in its own mode.
std::string layerBytes(const host::PaintBitmap& layer) {
  const hostapp::ModeLayout* l = hostapp::modeLayout(layer.colorMode());
  std::string out(static_cast<size_t>(layer.width()) * layer.height() * l->pixelBytes(), '\0');
  const size_t row = static_cast<size_t>(layer.width()) * l->pixelBytes();
  for (int32_t y = 0; y < layer.height(); ++y)
    layer.getPixelRow(0, y, layer.width(), out.data() + y * row, layer.colorMode());
  return out;
}

// Fills a layer with noise in its own mode; float modes get finite values in 0 .. 1.
void noise(host::PaintBitmap& layer, uint32_t seed) {
  const hostapp::ModeLayout* l = hostapp::modeLayout(layer.colorMode());
  std::mt19937 rng(seed);
  std::vector<uint8_t> row(static_cast<size_t>(layer.width()) * l->pixelBytes());
  for (int32_t y = 0; y < layer.height(); ++y) {
    if (l->componentBytes == 4) {
      std::uniform_real_distribution<float> d(0.f, 1.f);
      for (size_t i = 0; i < row.size(); i += 4) {
        const float f = d(rng);
        std::memcpy(&row[i], &f, 4);
      }
    } else {
      for (auto& b : row) b = static_cast<uint8_t>(rng());
    }
    layer.setPixelRow(0, y, layer.width(), row.data(), layer.colorMode());
  }
}

struct Chunk {
  uint32_t type;
  size_t offset, end;  // end: after the checksum
};

std::vector<Chunk> chunksOf(const std::string& bytes) {
  std::vector<Chunk> out;
  size_t at = df::kFileHeaderBytes;
  while (at + df::kChunkHeaderBytes <= bytes.size()) {
    uint32_t type;
    uint64_t length;
    std::memcpy(&type, bytes.data() + at, 4);
    std::memcpy(&length, bytes.data() + at + 8, 8);
    const size_t end = at + df::kChunkHeaderBytes + length + df::kChunkChecksumBytes;
    out.push_back({type, at, end});
    at = end;
  }
  return out;
}

// A chunk made with the writer, so that its checksum is right whatever it claims.
std::string makeChunk(uint32_t type, uint32_t flags, const std::string& payload) {
  df::MemorySink sink;
  df::ChunkWriter w(sink);
  EXPECT_TRUE(w.chunk(type, flags, payload, false));
  return sink.bytes();
}

// The document with `insert` placed before its end chunk.
std::string withChunkBeforeEnd(const std::string& bytes, const std::string& insert) {
  const Chunk end = chunksOf(bytes).back();
  return bytes.substr(0, end.offset) + insert + bytes.substr(end.offset);
}

class DocumentTest : public PluginHostTest {
 protected:
  // A scene with every kind of thing a document keeps.
  void buildScene() {
    hostapp::SceneBuilder b = builder();
    box_ = b.addMesh("Box", hostapp::uvBox(100, 80, 60));
    host::PolygonObject* child = b.addMesh("Lid", hostapp::gridMesh(3, 2, 50.0), box_);
    child->setGlobalMatrix({{5, 60, 0}, {1, 0, 0}, {0, 0, 1}, {0, -1, 0}});
    box_->pointSelection().select(3);
    box_->edgeSelection().select(9);
    box_->polygonSelection().select(1);
    box_->polygonSelection().select(2);
    b.addSelectionTag(box_, "Top", {2, 4});
    box_->makeTag(host::kTypePointTag, box_->tagAt(box_->tagCount() - 1));
    box_->makeTag(host::kTypePolygonTag, box_->tagAt(box_->tagCount() - 1));
    int32_t index = 0;
    for (int32_t mode : kPaintableModes) {
      host::Material* mat = b.addMaterial("M" + std::to_string(mode));
      mat->data().setVector(host::kMatColor, {0.1 * index, 0.5, 0.25});
      host::PaintTexture* tex = b.addTexture(mat, index % 14, 37, 23, mode);
      ASSERT_NE(tex, nullptr);
      tex->firstLayer()->setName("Base " + std::to_string(mode));
      host::PaintBitmap* top = tex->addLayer("Top", mode);
      noise(*tex->firstLayer(), 1000u + static_cast<uint32_t>(mode));
      noise(*top, 2000u + static_cast<uint32_t>(mode));
      if (index % 2) static_cast<hostapp::PaintLayerImpl*>(top)->setVisible(false);
      if (index % 3 == 0) tex->setActiveLayer(tex->firstLayer());
      b.addTextureTag(box_, mat, index == 2 ? "Top" : "");
      ++index;
    }
    auto* cam =
        static_cast<hostapp::CameraObjectImpl*>(host_.scene().createObject(host::kTypeCamera));
    cam->setName("Shot");
    hostapp::CameraLens lens;
    lens.focalLength = 50;
    lens.aperture = 24;
    lens.filmOffset = {0.1, -0.05, 0};
    cam->setLens(lens);
    doc_->insertObject(cam, nullptr, box_);
    cam->setGlobalMatrix(hostapp::lookAt({0, 80, -300}, {}, 50).matrix);
    doc_->activeView()->setSceneCamera(cam);
    doc_->activeView()->editorCamera()->setGlobalMatrix(
        hostapp::lookAt({9, 9, -99}, {}, 36).matrix);
    doc_->activeRenderData()->data().setInt32(host::kRenderWidth, 640);
    doc_->data().setInt32(host::kDocMode, 5);
    doc_->data().setString(4242, "kept");
    doc_->makeActive(child);
    doc_->setActiveMaterial(doc_->firstMaterial()->next(), false);
    doc_->setActiveMaterial(doc_->firstMaterial(), true);
    host_.sculptImpl().activateTool(doc_, 1035414);
    host::Settings* tool = host_.sculptImpl().toolData(doc_, 1035414);
    tool->setReal(host::kBrushRadius, 12.5);
    tool->setLink(20006, doc_->firstMaterial());
  }

  std::string save(hostapp::DocumentImpl& doc) {
    std::string bytes, error;
    EXPECT_TRUE(hostapp::writeDocument(host_, doc, bytes, error)) << error;
    return bytes;
  }

  std::unique_ptr<hostapp::DocumentImpl> load(const std::string& bytes, std::string& error,
                                              uint64_t maxBytes = 0) {
    return hostapp::readDocument(host_, bytes, "doc.pgm", error, {maxBytes});
  }

  // Expects a refusal in one sentence about the document.
  void expectRefused(const std::string& bytes, const std::string& what) {
    std::string error;
    const int64_t live = host_.memory().live();
    EXPECT_EQ(load(bytes, error), nullptr) << what;
    EXPECT_EQ(error.rfind("The document doc.pgm ", 0), 0u) << what << ": " << error;
    EXPECT_EQ(error.back(), '.') << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 0) << error;
    EXPECT_EQ(host_.memory().live(), live) << what << ": host memory was left behind";
  }

  host::PolygonObject* box_ = nullptr;
};

TEST_F(DocumentTest, WholeDocumentComesBackAndSavesAgainByteForByte) {
  buildScene();
  pigmora::ManagerSceneHook::of(doc_)->addViewBookmark();
  const std::string first = save(*doc_);
  std::string error;
  std::unique_ptr<hostapp::DocumentImpl> loaded = load(first, error);
  ASSERT_NE(loaded, nullptr) << error;

  // Textures: every layer bit-identical in its own mode, with names, visibility, active layer.
  ASSERT_EQ(loaded->textures().size(), doc_->textures().size());
  for (const auto& [path, tex] : doc_->textures()) {
    hostapp::PaintTextureImpl* back = loaded->textureAt(path);
    ASSERT_NE(back, nullptr) << path;
    ASSERT_EQ(back->layerCount(), tex->layerCount());
    EXPECT_EQ(back->colorMode(), tex->colorMode());
    for (int32_t i = 0; i < tex->layerCount(); ++i) {
      EXPECT_EQ(back->layer(i)->name(), tex->layer(i)->name());
      EXPECT_EQ(back->layer(i)->colorMode(), tex->layer(i)->colorMode());
      EXPECT_EQ(back->layer(i)->visible(), tex->layer(i)->visible());
      EXPECT_TRUE(layerBytes(*back->layer(i)) == layerBytes(*tex->layer(i))) << path << " " << i;
    }
    EXPECT_EQ(back->activeLayer()->name(), tex->activeLayer()->name());
  }
  // Objects, hierarchy, geometry, selections, tags.
  const auto before = doc_->allObjects(), after = loaded->allObjects();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i]->name(), before[i]->name());
    EXPECT_EQ(after[i]->type(), before[i]->type());
    EXPECT_EQ(after[i]->globalMatrix(), before[i]->globalMatrix());
    EXPECT_EQ(after[i]->up() ? after[i]->up()->name() : "",
              before[i]->up() ? before[i]->up()->name() : "");
    ASSERT_EQ(after[i]->tagCount(), before[i]->tagCount());
    for (int32_t t = 0; t < before[i]->tagCount(); ++t) {
      EXPECT_EQ(after[i]->tagAt(t)->type(), before[i]->tagAt(t)->type());
      EXPECT_EQ(after[i]->tagAt(t)->name(), before[i]->tagAt(t)->name());
      EXPECT_EQ(after[i]->tagAt(t)->data().getString(host::kTexRestriction),
                before[i]->tagAt(t)->data().getString(host::kTexRestriction));
    }
  }
  auto* box = static_cast<host::PolygonObject*>(after[0]);
  ASSERT_EQ(box->name(), "Box");
  EXPECT_EQ(box->pointSelection().indices(), std::vector<int32_t>{3});
  EXPECT_EQ(box->edgeSelection().indices(), std::vector<int32_t>{9});
  EXPECT_EQ(box->polygonSelection().indices(), (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(0,
            std::memcmp(box->points(), box_->points(), sizeof(host::Vector) * box_->pointCount()));
  auto* sel = static_cast<host::SelectionTag*>(box->tag(host::kTypePolygonSelectionTag));
  EXPECT_EQ(sel->selection().indices(), (std::vector<int32_t>{2, 4}));
  auto* uvw = static_cast<host::UVWTag*>(box->tag(host::kTypeUVWTag));
  auto* uvwBefore = static_cast<host::UVWTag*>(box_->tag(host::kTypeUVWTag));
  EXPECT_EQ(0, std::memcmp(uvw->uvwArray(), uvwBefore->uvwArray(),
                           sizeof(host::UVWPolygon) * uvwBefore->count()));
  // Texture tags link the loaded materials, in order.
  host::Material* m = loaded->firstMaterial();
  for (int32_t t = 0; t < box->tagCount(); ++t) {
    if (box->tagAt(t)->type() != host::kTypeTextureTag) continue;
    ASSERT_NE(m, nullptr);
    auto* tag = static_cast<host::TextureTag*>(box->tagAt(t));
    auto* original = static_cast<host::TextureTag*>(box_->tagAt(t));
    EXPECT_EQ(tag->material(), m);
    EXPECT_EQ(m->name(), original->material()->name());
    EXPECT_EQ(m->data(), original->material()->data());
    m = m->next();
  }
  // Document, view, render settings, active and selected nodes, tool settings with their links.
  EXPECT_EQ(loaded->data().getInt32(host::kDocMode), 5);
  EXPECT_EQ(loaded->data().getString(4242), "kept");
  EXPECT_EQ(loaded->activeRenderData()->data().getInt32(host::kRenderWidth), 640);
  EXPECT_EQ(loaded->activeObject()->name(), "Lid");
  ASSERT_EQ(loaded->selectedMaterials().size(), 2u);
  EXPECT_EQ(loaded->selectedMaterials()[0], loaded->firstMaterial());
  EXPECT_EQ(loaded->selectedMaterials()[1], loaded->firstMaterial()->next());
  auto* shot = static_cast<hostapp::CameraObjectImpl*>(loaded->activeView()->sceneCamera());
  ASSERT_NE(shot, nullptr);
  EXPECT_EQ(shot->name(), "Shot");
  EXPECT_EQ(shot->lens().focalLength, 50);
  EXPECT_EQ(shot->lens().filmOffset, host::Vector(0.1, -0.05, 0));
  EXPECT_EQ(loaded->activeView()->editor().globalMatrix(),
            doc_->activeView()->editor().globalMatrix());
  host::Settings* tool = host_.sculptImpl().toolData(loaded.get(), 1035414);
  EXPECT_EQ(tool->getReal(host::kBrushRadius), 12.5);
  EXPECT_EQ(tool->getLink(20006), loaded->firstMaterial());

  const std::string second = save(*loaded);
  EXPECT_TRUE(second == first) << "sizes " << first.size() << " and " << second.size();
}

TEST_F(DocumentTest, FilesAreWrittenWholeAndLoadedAsTheActiveDocument) {
  buildScene();
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "pigmora-doc-test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "scene.pgm").string();
  std::string error;
  ASSERT_TRUE(hostapp::saveDocument(host_, *doc_, path, error)) << error;
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));
  hostapp::DocumentImpl* loaded = hostapp::loadDocument(host_, path, error);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(host_.sceneImpl().activeDocumentImpl(), loaded);
  EXPECT_EQ(loaded->data().getFilename(host::kDocPath), dir.string());
  EXPECT_EQ(hostapp::loadDocument(host_, (dir / "none.pgm").string(), error), nullptr);
  EXPECT_EQ(error, "The document " + (dir / "none.pgm").string() + " does not exist.");
  // A folder that cannot take the file leaves nothing behind.
  EXPECT_FALSE(hostapp::saveDocument(host_, *doc_, (dir / "no" / "x.pgm").string(), error));
  EXPECT_EQ(
      error.rfind("The document " + (dir / "no" / "x.pgm").string() + " could not be written", 0),
      0u);
  std::filesystem::remove_all(dir);
}

TEST_F(DocumentTest, PaintingGoesOnAfterALoadAndUndoStopsAtTheLoadedPixels) {
  hostapp::SceneBuilder b = builder();
  host::PolygonObject* card = b.addMesh("Card", hostapp::gridMesh(4, 4, 200.0));
  host::Material* mat = b.addMaterial("Paint");
  const host::Vector white(255, 255, 255);
  host::PaintTexture* tex = b.addTexture(mat, 0, 128, 128, host::kModeARGB8, &white);
  b.addTextureTag(card, mat);
  doc_->setActiveObject(card);
  auto& painter = host_.paintImpl().painter();
  painter.setColor(0, 0, {0.9, 0.1, 0.1}, 1.0);
  painter.setSelectedTexture(tex);
  auto& sculpt = host_.sculptImpl();
  ASSERT_TRUE(sculpt.activateTool(doc_, 1035414));
  sculpt.toolData(doc_, 1035414)->setReal(host::kBrushRadius, 15.0);
  hostapp::StrokeInput first;
  first.path = {{20, 100, 0}, {180, 100, 0}};
  ASSERT_TRUE(sculpt.runStroke(doc_, first));
  const std::string painted = layerBytes(*tex->activeLayer());

  std::string error;
  hostapp::DocumentImpl* loaded = host_.sceneImpl().adoptDocument(load(save(*doc_), error));
  ASSERT_NE(loaded, nullptr) << error;
  host_.sceneImpl().closeDocument(doc_);
  doc_ = loaded;
  // The painter keeps painting into the loaded copy of the texture it had selected.
  host::PaintTexture* again = painter.selectedTexture();
  ASSERT_NE(again, nullptr);
  ASSERT_EQ(layerBytes(*again->activeLayer()), painted);
  hostapp::StrokeInput second;
  second.path = {{100, 20, 0}, {100, 180, 0}};
  ASSERT_TRUE(sculpt.runStroke(loaded, second));
  EXPECT_NE(layerBytes(*again->activeLayer()), painted);
  ASSERT_TRUE(loaded->undo());
  EXPECT_EQ(layerBytes(*again->activeLayer()), painted);
  EXPECT_FALSE(loaded->undo()) << "a loaded document starts with an empty undo list";
  ASSERT_TRUE(loaded->redo());
  EXPECT_NE(layerBytes(*again->activeLayer()), painted);
}

TEST_F(DocumentTest, TruncatedFilesAreRefusedAtEveryChunkBoundaryAndAnywhere) {
  buildScene();
  pigmora::ManagerSceneHook::of(doc_)->addViewBookmark();
  const std::string bytes = save(*doc_);
  const std::vector<Chunk> chunks = chunksOf(bytes);
  ASSERT_GT(chunks.size(), 30u);
  EXPECT_EQ(chunks.back().end, bytes.size());
  for (const Chunk& c : chunks) {
    expectRefused(bytes.substr(0, c.offset), "cut before " + df::chunkName(c.type));
    expectRefused(bytes.substr(0, c.offset + 7), "cut in the header of " + df::chunkName(c.type));
    expectRefused(bytes.substr(0, c.end - 1), "cut in the checksum of " + df::chunkName(c.type));
  }
  std::mt19937 rng(7);
  for (int i = 0; i < 60; ++i) {
    const size_t cut = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng);
    expectRefused(bytes.substr(0, cut), "cut at " + std::to_string(cut));
  }
}

TEST_F(DocumentTest, FlippedBytesAreRefused) {
  buildScene();
  const std::string bytes = save(*doc_);
  std::mt19937 rng(11);
  for (int i = 0; i < 150; ++i) {
    std::string damaged = bytes;
    size_t at = std::uniform_int_distribution<size_t>(0, bytes.size() - 1)(rng);
    // The minor version may change: a later minor version is still read.
    if (at == 10 || at == 11) at = 0;
    damaged[at] = static_cast<char>(damaged[at] ^ (1 << (i % 8)));
    expectRefused(damaged, "flipped byte " + std::to_string(at));
  }
}

TEST_F(DocumentTest, FutureVersionsAndUnknownCriticalChunksAreRefused) {
  buildScene();
  const std::string bytes = save(*doc_);
  std::string future = bytes;
  future[8] = 2;
  std::string error;
  EXPECT_EQ(load(future, error), nullptr);
  EXPECT_EQ(error,
            "The document doc.pgm was written by a newer pigmora (document format 2.0); this "
            "program reads format 1.");
  std::string minor = bytes;
  minor[10] = 9;
  EXPECT_NE(load(minor, error), nullptr) << error;
  expectRefused(withChunkBeforeEnd(bytes, makeChunk(df::fourcc("ZZZZ"), df::kChunkCritical, "x")),
                "an unknown critical chunk");
  expectRefused("not a document at all", "text");
  expectRefused("", "an empty file");
}

TEST_F(DocumentTest, ChunksThatLieAboutTheirSizesAreRefusedWithoutAllocatingWhatTheyClaim) {
  buildScene();
  const std::string bytes = save(*doc_);
  // A layer of 65536 x 65536 float ARGB (64 GiB) in a file of a few hundred kilobytes.
  {
    std::string tex;
    df::ByteWriter w;
    w.text("/huge.tif");
    w.i32(65536);
    w.i32(65536);
    w.i32(host::kModeARGBF);
    w.i32(1);
    w.i32(0);
    df::ByteWriter layer;
    layer.i32(static_cast<int32_t>(doc_->textures().size()));
    layer.i32(0);
    layer.text("L");
    layer.u8(1);
    layer.i32(host::kModeARGBF);
    const std::string huge = makeChunk(df::kChunkTexture, df::kChunkCritical, w.bytes()) +
                             makeChunk(df::kChunkLayer, df::kChunkCritical, layer.bytes());
    // The texture chunk must follow the others so that its index is the next one.
    const Chunk firstScene = [&] {
      for (const Chunk& c : chunksOf(bytes))
        if (c.type == df::kChunkScene) return c;
      return Chunk{};
    }();
    const std::string file =
        bytes.substr(0, firstScene.offset) + huge + bytes.substr(firstScene.offset);
    expectRefused(file, "a huge layer");
    std::string error;
    load(file, error);
    EXPECT_NE(error.find("cannot hold"), std::string::npos) << error;
  }
  // A sound document that needs more memory than the reader may take.
  {
    std::string error;
    EXPECT_EQ(load(bytes, error, 16 << 10), nullptr);
    EXPECT_NE(error.find("needs more memory"), std::string::npos) << error;
  }
  // An object that claims a billion points.
  {
    df::ByteWriter w;
    w.i32(host::kTypePolygonObject);
    w.i32(-1);
    w.text("Liar");
    w.u8(0);
    w.matrix({});
    w.i32(0);
    w.u32(0);
    w.u32(1000000000);
    w.u32(1);
    expectRefused(
        withChunkBeforeEnd(bytes, makeChunk(df::kChunkObject, df::kChunkCritical, w.bytes())),
        "a billion points");
  }
  // A settings container that claims four billion entries, and a chunk longer than the file.
  {
    df::ByteWriter w;
    w.i32(0);
    w.u32(0xffffffffu);
    expectRefused(
        withChunkBeforeEnd(bytes, makeChunk(df::kChunkDocument, df::kChunkCritical, w.bytes())),
        "a huge count");
    std::string longer = makeChunk(df::fourcc("ZZZZ"), 0, "abc");
    const uint64_t claim = uint64_t(1) << 40;
    std::memcpy(longer.data() + 8, &claim, 8);
    expectRefused(withChunkBeforeEnd(bytes, longer), "a chunk longer than the file");
  }
  // A polygon that uses a point the object does not have.
  {
    std::string error;
    hostapp::SceneBuilder b = builder();
    hostapp::MeshData mesh = hostapp::gridMesh(1, 1, 10.0);
    host::PolygonObject* bad = b.addMesh("Bad", mesh);
    bad->writablePolygons()[0].c = 99;
    expectRefused(save(*doc_), "a polygon out of range");
  }
}

TEST_F(DocumentTest, UnknownChunksAndHooksAreSkippedAndKeptForTheNextSave) {
  buildScene();
  const std::string bytes = save(*doc_);
  // What a build with more plug-ins writes: a hook this one does not have, and a chunk kind it
  // does not know.
  df::ByteWriter hook;
  hook.i32(1999999);
  hook.i32(0);
  hook.u8(1);
  hook.i32(42);
  const std::string extra = makeChunk(df::kChunkHook, 0, hook.bytes()) +
                            makeChunk(df::fourcc("NOTE"), 0, "from the future");
  const std::string file = withChunkBeforeEnd(bytes, extra);
  std::string error;
  std::unique_ptr<hostapp::DocumentImpl> loaded = load(file, error);
  ASSERT_NE(loaded, nullptr) << error;
  ASSERT_EQ(loaded->keptChunks().size(), 2u);
  EXPECT_EQ(loaded->keptChunks()[1].payload, "from the future");
  const std::string again = save(*loaded);
  EXPECT_TRUE(again == file);
}

TEST_F(DocumentTest, RenderSettingsGivenTwiceAreReadAndTheLastHolds) {
  buildScene();
  doc_->activeRenderData()->data().setInt32(1001, 77);
  const std::string bytes = save(*doc_);
  std::string render;
  for (const Chunk& c : chunksOf(bytes))
    if (c.type == df::kChunkRender) render = bytes.substr(c.offset, c.end - c.offset);
  ASSERT_FALSE(render.empty());
  // "No render settings" first, then the saved ones again: the second must not find them gone.
  const std::string none = makeChunk(df::kChunkRender, df::kChunkCritical, std::string(1, '\0'));
  std::string error;
  std::unique_ptr<hostapp::DocumentImpl> loaded =
      load(withChunkBeforeEnd(bytes, none + render), error);
  ASSERT_NE(loaded, nullptr) << error;
  ASSERT_NE(loaded->activeRenderData(), nullptr);
  EXPECT_EQ(loaded->activeRenderData()->data().getInt32(1001), 77);
}

}  // namespace

TEST_F(DocumentTest, CutPreviewImagesAreRefusedWithoutReachingTheImageLibrary) {
  // A 4 x 4 preview, encoded as PNG and then cut at every length short of its IEND chunk: each
  // is refused, and under the leak checker none leaves the image library's error text behind.
  std::unique_ptr<host::Bitmap> made = host_.paintImpl().createBitmap(),
                                read = host_.paintImpl().createBitmap();
  ASSERT_TRUE(made && read);
  host::Bitmap& preview = *made;
  host::Bitmap& back = *read;
  ASSERT_TRUE(preview.init(4, 4, 24));
  for (int32_t i = 0; i < 16; ++i) preview.setPixel(i % 4, i / 4, 10 * i, 255 - 10 * i, 7);
  std::string png;
  ASSERT_TRUE(hostapp::docfile::encodeImage(preview, host::kFormatPNG, false, png));
  ASSERT_TRUE(hostapp::docfile::decodeImage(png, host::kFormatPNG, back));
  uint8_t r = 0, g = 0, b = 0;
  back.getPixel(3, 2, r, g, b);  // pixel 11
  EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{110, 145, 7}));
  for (size_t cut = 0; cut < png.size(); ++cut)
    EXPECT_FALSE(
        hostapp::docfile::decodeImage(std::string_view(png).substr(0, cut), host::kFormatPNG, back))
        << cut;
}
