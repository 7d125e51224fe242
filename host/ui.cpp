// The plug-in's side of the user interface family: calls that need the bound host rather than
// a window. The host never links this file.
#include "host/ui.h"

#include "host/binding.h"

namespace host {

bool GeDialog::open(int32_t type, int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth,
                    int32_t defaultHeight) {
  Host* h = bound();
  return h && h->ui().openDialog(*this, type, pluginId, x, y, defaultWidth, defaultHeight);
}

bool GeDialog::restore(int32_t pluginId, void* secret) {
  Host* h = bound();
  return h && h->ui().restoreDialog(*this, pluginId, secret);
}

bool GeModalDialog::open(int32_t pluginId, int32_t x, int32_t y, int32_t defaultWidth,
                         int32_t defaultHeight) {
  return GeDialog::open(kDialogModal, pluginId, x, y, defaultWidth, defaultHeight);
}

int32_t showPopupMenu(const PopupMenu& menu, int32_t screenX, int32_t screenY, int32_t flags) {
  Host* h = bound();
  return h ? h->ui().popupMenu(menu, screenX, screenY, flags) : kMenuDismissed;
}

int32_t messageBox(const std::string& text, int32_t type) {
  Host* h = bound();
  return h ? h->ui().messageBox(text, type) : kAnswerNo;
}

bool showFile(const std::string& path) {
  Host* h = bound();
  return h && h->ui().showFile(path);
}

}  // namespace host
