#include "hostapp/core/host_descriptions.h"

#include "host/host.h"
#include "hostapp/core/content_browser.h"

namespace hostapp {

namespace {

host::DescriptionParameter parameter(int32_t id, const char* name, host::ValueType type,
                                     const char* label, host::Value fallback, const char* help) {
  host::DescriptionParameter p;
  p.id = id;
  p.name = name;
  p.type = type;
  p.label = label;
  p.defaultValue = std::move(fallback);
  p.help = help;
  return p;
}

host::DescriptionParameter ranged(host::DescriptionParameter p, double minimum, double maximum) {
  p.hasMinimum = p.hasMaximum = true;
  p.minimum = minimum;
  p.maximum = maximum;
  return p;
}

}  // namespace

const host::Description& documentDescription() {
  static const host::Description desc = [] {
    host::Description d;
    d.setName("document");
    d.parameters().push_back(
        parameter(host::kDocPath, "document_path", host::ValueType::kFilename, "Document Path",
                  host::Value::ofFilename(""),
                  "Folder of the document file; new textures are written beside it."));
    d.parameters().push_back(
        ranged(parameter(host::kDocMode, "mode", host::ValueType::kInt32, "Editing Mode",
                         host::Value::ofInt32(0),
                         "The editing mode: 5 points, 6 edges, 7 polygons; in modes 7 and 14 a "
                         "brush can restrict itself to the selected polygons."),
               0, 1000000));
    d.parameters().push_back(parameter(host::kDocActiveTool, "active_tool", host::ValueType::kInt32,
                                       "Active Tool", host::Value::ofInt32(0),
                                       "Plug-in id of the active tool (set it with a tool step)."));
    return d;
  }();
  return desc;
}

const host::Description& worldDescription() {
  static const host::Description desc = [] {
    host::Description d;
    d.setName("world");
    d.parameters().push_back(
        ranged(parameter(host::kWorldUndoDepth, "undo_depth", host::ValueType::kInt32, "Undo Depth",
                         host::Value::ofInt32(30),
                         "How many undo steps a document keeps; older ones are dropped."),
               1, 100000));
    d.parameters().push_back(parameter(
        kWorldContentLibraries, "content_libraries", host::ValueType::kFilename,
        "Content Libraries", host::Value::ofFilename(""),
        "The folder holding the content libraries, one folder per library (\"Prime.lib4d\")."));
    return d;
  }();
  return desc;
}

}  // namespace hostapp
