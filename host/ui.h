// User interface family: windows, popup menus, message boxes and the file display. Dialogs and
// user areas are the base classes of host/ui_dialog.h and host/ui_area.h.
#pragma once

#include <cstdint>
#include <string>

#include "host/ui_area.h"
#include "host/ui_dialog.h"
#include "host/ui_types.h"

namespace host {

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Opens a window for the dialog and binds the dialog to it. kDialogAsync returns with the
  // window open; kDialogModal returns when the user has closed it. False when the window cannot
  // be opened: an unknown type, or a layout the dialog refused. Opening a dialog that
  // is open already brings its window to the front.
  virtual bool openDialog(GeDialog& dialog, int32_t type, int32_t pluginId, int32_t x, int32_t y,
                          int32_t defaultWidth, int32_t defaultHeight) = 0;
  // Reopens a dialog the host had open under `pluginId`, where it was.
  virtual bool restoreDialog(GeDialog& dialog, int32_t pluginId, void* secret) = 0;
  // Shows a popup menu at a screen position; the id of the picked entry, or kMenuDismissed.
  virtual int32_t popupMenu(const PopupMenu& menu, int32_t screenX, int32_t screenY,
                            int32_t flags) = 0;
  // Shows a message box; the answer (kAnswerYes, kAnswerNo, kAnswerOk).
  virtual int32_t messageBox(const std::string& text, int32_t type) = 0;
  // Shows a file with the host's file display (images in its picture viewer).
  virtual bool showFile(const std::string& path) = 0;
};

// Plug-in side shortcuts to the bound host's user interface; they answer kMenuDismissed, kAnswerNo
// or false before the host is bound.
int32_t showPopupMenu(const PopupMenu& menu, int32_t screenX, int32_t screenY, int32_t flags);
int32_t messageBox(const std::string& text, int32_t type);
bool showFile(const std::string& path);

}  // namespace host
