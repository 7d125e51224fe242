// Writes small real documents into a folder: the seed corpus of document_fuzz. Each holds a
// different part of what documents keep, so that the fuzzer starts from every kind of chunk.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "host/host.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/render/renderer.h"
#include "hostapp/scene/document.h"
#include "hostapp/scene/primitives.h"
#include "hostapp/scene/scene_builder.h"
#include "hostapp/scene/scene_impl.h"
#include "plugin/managerscenehook.h"

namespace {
bool write(hostapp::EmbeddedHost& host, hostapp::DocumentImpl& doc,
           const std::filesystem::path& file) {
  std::string bytes, error;
  if (!hostapp::writeDocument(host, doc, bytes, error)) {
    std::cerr << error << "\n";
    return false;
  }
  std::ofstream(file, std::ios::binary) << bytes;
  return true;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_document_seeds FOLDER\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  hostapp::EmbeddedHost host;
  std::string error;
  if (!host.loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) {
    std::cerr << error << "\n";
    return 1;
  }
  hostapp::DocumentImpl* doc = host.sceneImpl().activeDocumentImpl();
  bool ok = write(host, *doc, dir / "empty.pigmora");
  hostapp::SceneBuilder b(host, doc);
  host::PolygonObject* card = b.addMesh("Card", hostapp::gridMesh(2, 2, 10.0));
  b.addSelectionTag(card, "Half", {0, 1});
  card->polygonSelection().select(2);
  const int32_t modes[] = {host::kModeARGB8, host::kModeGrey16, host::kModeRGBF};
  for (int32_t mode : modes) {
    host::Material* mat = b.addMaterial("M" + std::to_string(mode));
    const host::Vector fill(10, 200, 90);
    host::PaintTexture* tex = b.addTexture(mat, 0, 8, 4, mode, &fill);
    if (tex) tex->addLayer("Top", mode);
    b.addTextureTag(card, mat, mode == host::kModeGrey16 ? "Half" : "");
  }
  ok = write(host, *doc, dir / "layers.pigmora") && ok;
  auto* cam = static_cast<host::CameraObject*>(host.scene().createObject(host::kTypeCamera));
  doc->insertObject(cam, card, nullptr);
  cam->setGlobalMatrix(hostapp::lookAt({0, 0, -50}, {5, 5, 0}, 36).matrix);
  doc->activeRenderData()->data().setInt32(host::kRenderWidth, 16);
  pigmora::ManagerSceneHook* hook = pigmora::ManagerSceneHook::of(doc);
  if (hook) hook->addViewBookmark();
  ok = write(host, *doc, dir / "bookmark.pigmora") && ok;
  host.unload();
  return ok ? 0 : 1;
}
