// The steps a job is made of, by name, each with the keys it takes. Each step does its work and
// answers the short summary printed on its line, or throws a StepError. Every family of steps
// declares its steps' keys, types and ranges beside its functions; the job is checked against
// them before it runs, and `pigmora schema` prints them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/job_context.h"
#include "cli/job_table.h"

namespace pigmora::cli {

using StepFunction = std::string (*)(JobContext& ctx, const Json& step);

struct StepRule {
  std::string name;
  std::string help;  // one sentence for the schema and `pigmora describe`
  Rule keys;         // an object of the step's keys; the key "step" itself is implied
  StepFunction run = nullptr;
};

class StepTable {
 public:
  void add(std::string name, std::string help, Rule keys, StepFunction run);
  const StepRule* find(const std::string& name) const;
  std::vector<std::string> names() const;
  const std::map<std::string, StepRule>& steps() const { return steps_; }

 private:
  std::map<std::string, StepRule> steps_;
};

// Scene building: object, selection, material, texture_tag, camera, document, select.
void addSceneSteps(StepTable& table);
// Painter state and tools: painter, preferences, world, tool, stroke, fill, button, undo, redo.
void addPaintSteps(StepTable& table);
// The plug-in's commands and their windows: command, dialog.
void addCommandSteps(StepTable& table);
// Calls into the plug-in's painting library: library.
void addLibrarySteps(StepTable& table);
// Outputs: save, pixels, render.
void addOutputSteps(StepTable& table);
// The plug-in's windows used with the mouse: ui_open, ui_click, ui_menu, ui_drag, ui_drop,
// ui_zoom, ui_panel, and render_window.
void addUiSteps(StepTable& table);
// Documents and bookmarks: save_document, load_document, view, bookmark_view, bookmark_cameras,
// bookmark_apply, bookmark_remove, bookmark_list, bookmark_previews.
void addDocumentSteps(StepTable& table);
// Inspection: print.
void addInspectSteps(StepTable& table);

const StepTable& stepTable();

// The keys of a job file itself: "steps", "description", "output".
const Rule& jobKeys();

}  // namespace pigmora::cli
