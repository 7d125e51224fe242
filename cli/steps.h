// The steps a job is made of, by name. Each step does its work and answers the short summary
// printed on its line, or throws a StepError.
#pragma once

#include <map>
#include <string>

#include "cli/job_context.h"

namespace pigmora::cli {

using StepFunction = std::string (*)(JobContext& ctx, const Json& step);

// Scene building: object, selection, material, texture_tag, camera, document, select.
void addSceneSteps(std::map<std::string, StepFunction>& table);
// Painter state and tools: painter, preferences, tool, stroke, fill, button, undo, redo.
void addPaintSteps(std::map<std::string, StepFunction>& table);
// The plug-in's commands and their windows, and the scene listing: command, dialog, scene.
void addCommandSteps(std::map<std::string, StepFunction>& table);
// Calls into the plug-in's painting library: library.
void addLibrarySteps(std::map<std::string, StepFunction>& table);
// Outputs: save, pixels, render.
void addOutputSteps(std::map<std::string, StepFunction>& table);
// The plug-in's windows used with the mouse: ui_open, ui_click, ui_menu, ui_drag, ui_drop,
// ui_zoom, ui_panel, and render_window.
void addUiSteps(std::map<std::string, StepFunction>& table);
// Documents and bookmarks: save_document, load_document, view, bookmark_view, bookmark_cameras,
// bookmark_apply, bookmark_remove, bookmark_list, bookmark_previews.
void addDocumentSteps(std::map<std::string, StepFunction>& table);

const std::map<std::string, StepFunction>& stepTable();

}  // namespace pigmora::cli
