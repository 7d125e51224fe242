// The commands that open the plug-in's windows. Each keeps its dialog for the plug-in's whole
// life, so a window opened again shows what it showed when it was closed.
#pragma once

#include <cstdint>

#include "host/host.h"
#include "lib/gui/contentdialog.h"
#include "plugin/bpviewdialog.h"
#include "plugin/commands/polygon_object_commands.h"
#include "plugin/commands/udim_loader.h"

namespace pigmora {

class MaterialViewDialogCmd : public host::CommandData {
 public:
  bool execute(host::Document* doc) override;
  bool restoreLayout(void* secret) override;
  BPViewDialog& dialog() { return dialog_; }

 private:
  BPViewDialog dialog_;
};

class ContentDialogCmd : public host::CommandData {
 public:
  bool execute(host::Document* doc) override;
  bool restoreLayout(void* secret) override;
  ContentDialog& dialog() { return dialog_; }

 private:
  ContentDialog dialog_;
};

class SetupUdimFromUVs : public PolygonObjectCommands {
 public:
  bool execute(host::Document* doc) override;
  bool restoreLayout(void* secret) override;
  UDIMLoadDialog& dialog() { return dialog_; }

 private:
  UDIMLoadDialog dialog_;
};

}  // namespace pigmora
