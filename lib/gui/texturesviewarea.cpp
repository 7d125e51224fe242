#include "lib/gui/texturesviewarea.h"

#include "host/binding.h"
#include "plugin/painting_lib_client.h"
#include "plugin/preferences.h"

namespace pigmora {

namespace {

constexpr int32_t kMaxFolderDepth = 32;

int32_t percentOf(size_t done, size_t total) {
  return total ? static_cast<int32_t>(static_cast<double>(done) / static_cast<double>(total) * 100)
               : 100;
}

}  // namespace

std::string preferenceFolder(int32_t key) {
  host::Host* h = host::bound();
  host::Settings* world = h ? h->settings().world() : nullptr;
  const host::Settings* prefs = world ? world->getContainer(kPrefsContainerId) : nullptr;
  return prefs ? prefs->getFilename(key) : std::string();
}

void walkFolder(const std::string& folder, FileMap& map, int32_t& next, int32_t depth) {
  if (folder.empty() || depth > kMaxFolderDepth) return;
  host::Files& files = host::api().files();
  for (const std::string& name : files.listDirectory(folder)) {
    const std::string path = host::joinPath(folder, name);
    if (files.isDirectory(path))
      walkFolder(path, map, next, depth + 1);
    else
      map.emplace_back(next++, path);
  }
}

TextureElement* TexturesViewArea::cell(int32_t index) const {
  return layout_ ? static_cast<TextureElement*>(layout_->element(index)) : nullptr;
}

bool TexturesViewArea::init() {
  if (populated_ && !reload_) return true;
  populate();
  return true;
}

void TexturesViewArea::populate() {
  if (!ensureLayout()) return;
  clear();
  populated_ = true;
  int32_t next = 0;
  switch (kind_) {
    case kTexturesStamps:
      stampMap_.clear();
      walkFolder(preferenceFolder(kPrefStampFolder), stampMap_, next);
      fillFromMap(stampMap_, kLoadingStamps);
      break;
    case kTexturesStencils:
      stencilMap_.clear();
      walkFolder(preferenceFolder(kPrefStencilFolder), stencilMap_, next);
      fillFromMap(stencilMap_, kLoadingStencils);
      break;
    case kTexturesLibrary:
      entries_.clear();
      gather(host::api().content(), std::string(host::kPresetScheme) + library_, 0);
      fillFromLibrary();
      break;
    default:
      break;
  }
  layoutChanged();
  redraw();
}

void TexturesViewArea::fillFromMap(const FileMap& map, const char* status) {
  host::Events& events = host::api().events();
  events.statusSetText(status);
  events.statusSetBar(0);
  std::unique_ptr<host::Bitmap> image = host::api().paint().createBitmap();
  size_t done = 0;
  for (const auto& [id, file] : map) {
    if (image && image->load(file) == host::kImageOk) {
      auto* cell = host::make<TextureElement>(file);
      if (cell && cell->setImage(*image)) {
        cell->setId(id);
        layout_->addElement(cell);
      } else {
        host::destroy(cell);
      }
    }
    events.statusSetBar(percentOf(++done, map.size()));
  }
  events.statusClear();
}

void TexturesViewArea::gather(host::ContentBrowser& browser, const std::string& location,
                              int32_t depth) {
  if (depth > kMaxFolderDepth) return;
  std::vector<host::ContentEntry> children;
  if (!browser.children(location, children)) return;
  for (host::ContentEntry& e : children) {
    if (e.kind == host::kContentFolder)
      gather(browser, e.location, depth + 1);
    else if (e.kind == host::kContentImage || e.kind == host::kContentImageHdr)
      entries_.push_back(std::move(e));
  }
}

void TexturesViewArea::fillFromLibrary() {
  host::Events& events = host::api().events();
  events.statusSetText(kLoadingImages + library_);
  events.statusSetBar(0);
  host::ContentBrowser& browser = host::api().content();
  size_t done = 0;
  for (const host::ContentEntry& e : entries_) {
    std::unique_ptr<host::Bitmap> image = host::api().paint().createBitmap();
    const bool has = image && (browser.preview(e, *image) || image->load(e.file) == host::kImageOk);
    if (has) {
      auto* cell = host::make<TextureElement>(e.file);
      if (cell && cell->setImage(*image)) {
        cell->setId(static_cast<int32_t>(done));
        layout_->addElement(cell);
      } else {
        host::destroy(cell);
      }
    }
    events.statusSetBar(percentOf(++done, entries_.size()));
  }
  events.statusClear();
}

bool TexturesViewArea::inputEvent(const host::InputEvent& event) {
  if (event.device != host::kDeviceMouse) return false;
  TextureElement* target = layout_ ? cell(layout_->indexAt(event.x, event.y)) : nullptr;
  if (event.channel == host::kMouseLeft) {
    if (target) {
      const std::string file = target->file();
      if (event.doubleClick) {
        host::showFile(file);
      } else if (event.qualifiers == 0) {
        library::useAsStamp(file, false);
      } else if (event.qualifiers & host::kQualCtrl) {
        library::useAsStencil(file, false);
      }
      startDrag(host::kDragFilename, file);
    }
    return ViewAreaBase::inputEvent(event);
  }
  if (event.channel == host::kMouseRight) {
    if (target) contextMenu(event, target);
    return true;
  }
  return false;
}

void TexturesViewArea::contextMenu(const host::InputEvent& event, TextureElement* target) {
  host::PopupMenu menu;
  menu.setItem(kMenuUseAsStamp, "Use As Stamp");
  menu.setItem(kMenuUseAsStencil, "Use As Stencil");
  int32_t sx = event.x, sy = event.y;
  localToScreen(sx, sy);
  // The cell may go while the menu is up; its file is kept.
  const std::string file = target->file();
  const int32_t id = host::showPopupMenu(menu, sx, sy, host::kPopupContext);
  if (id == kMenuUseAsStamp)
    library::useAsStamp(file, false);
  else if (id == kMenuUseAsStencil)
    library::useAsStencil(file, false);
}

}  // namespace pigmora
