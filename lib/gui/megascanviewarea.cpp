#include "lib/gui/megascanviewarea.h"

#include "host/binding.h"
#include "lib/gui/texturesviewarea.h"
#include "plugin/painting_lib_client.h"
#include "plugin/preferences.h"

namespace pigmora {

namespace {

host::Document* activeDocument() {
  host::Host* h = host::bound();
  return h ? h->scene().activeDocument() : nullptr;
}

}  // namespace

MegaScanViewArea::~MegaScanViewArea() {
  assets_.clear();
  clear();
}

TextureElement* MegaScanViewArea::cell(int32_t index) const {
  return layout_ ? static_cast<TextureElement*>(layout_->element(index)) : nullptr;
}

bool MegaScanViewArea::init() {
  if (!ensureLayout()) return true;
  clear();
  const std::string folder = preferenceFolder(kPrefMegascansFolder);
  assets_.clear();
  host::Files& files = host::api().files();
  if (!folder.empty()) {
    for (const std::string& name : files.listDirectory(folder)) {
      const std::string path = host::joinPath(folder, name);
      if (!files.isDirectory(path)) continue;
      auto* asset = host::make<MegascanAsset>();
      if (!asset) break;
      if (!asset->load(path)) {
        host::destroy(asset);
        continue;
      }
      if (!assets_.push(asset)) {
        host::destroy(asset);
        break;
      }
      addCells(*asset, static_cast<int32_t>(assets_.size()) - 1);
    }
  }
  layoutChanged();
  redraw();
  return true;
}

void MegaScanViewArea::addCells(const MegascanAsset& asset, int32_t index) {
  host::Files& files = host::api().files();
  // One bitmap serves every file: each image is held only until its preview is made.
  std::unique_ptr<host::Bitmap> image = host::api().paint().createBitmap();
  if (!image) return;
  for (const TemplateComponent* component : asset.components) {
    if (component->type != "albedo") continue;
    for (const TemplateURI* uri : component->uris)
      for (const TemplateResolution* resolution : uri->resolutions)
        for (const TemplateFormat* format : resolution->formats) {
          const std::string file = asset.filePath(*format);
          if (file.empty() || !files.exists(file) || files.isDirectory(file)) continue;
          if (image->load(file) != host::kImageOk) continue;
          auto* cell = host::make<TextureElement>(file, kMegascanPreviewSize);
          if (cell && cell->setImage(*image)) {
            cell->setId(index);
            layout_->addElement(cell);
          } else {
            host::destroy(cell);
          }
        }
  }
  // Free the last full-size image now rather than with the next asset.
  image.reset();
}

bool MegaScanViewArea::inputEvent(const host::InputEvent& event) {
  if (event.device != host::kDeviceMouse) return false;
  switch (event.channel) {
    case host::kMouseLeft:
      return ViewAreaBase::inputEvent(event);
    case host::kMouseRight:
      contextMenu(event, layout_ ? cell(layout_->indexAt(event.x, event.y)) : nullptr);
      host::api().events().post(host::kEventForceRedraw);
      return true;
    case host::kMouseWheel:
      return true;
    default:
      return false;
  }
}

void MegaScanViewArea::contextMenu(const host::InputEvent& event, TextureElement* target) {
  if (!target) return;
  host::PopupMenu menu;
  menu.setItem(kMenuCreateMaterial, "Create Material");
  menu.setItem(kMenuUseAsStamp, "Use As Stamp");
  menu.setItem(kMenuUseAsStencil, "Use As Stencil");
  int32_t sx = event.x, sy = event.y;
  localToScreen(sx, sy);
  const int32_t index = target->id();
  const std::string file = target->file();
  const int32_t id = host::showPopupMenu(menu, sx, sy, host::kPopupContext);
  if (id == kMenuCreateMaterial) {
    host::Document* doc = activeDocument();
    if (index >= 0 && static_cast<size_t>(index) < assets_.size() && doc)
      createMegascanMaterial(*assets_[static_cast<size_t>(index)], doc);
  } else if (id == kMenuUseAsStamp) {
    library::useAsStamp(file, false);
  } else if (id == kMenuUseAsStencil) {
    library::useAsStencil(file, false);
  }
}

}  // namespace pigmora
