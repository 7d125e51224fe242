// The sculpt-brush family of the embedded host: parameter blocks, marker sets, the host base of
// brush tools, per-document tool settings and the strokes the user makes.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/sculpt.h"
#include "hostapp/paint/plain_bitmap.h"
#include "hostapp/sculpt/stroke_engine.h"

namespace hostapp {

class EmbeddedHost;

class SculptImpl : public host::SculptLibrary {
 public:
  explicit SculptImpl(EmbeddedHost& host) : host_(host), engine_(host) {}

  std::unique_ptr<host::BrushParams> createParams() override;
  std::unique_ptr<host::PolygonMarkerSet> createMarkerSet(int32_t count) override;
  void baseDefaults(host::Settings& data) override;
  bool baseEnabling(host::Settings& data, int32_t id) override;
  bool baseInput(host::SculptBrushToolData* tool, host::Document* doc,
                 host::Settings& data) override;
  bool baseApply(host::SculptBrushToolData* tool, host::Document* doc, host::Channel* channel,
                 host::Settings& data, int32_t buttonId) override;
  double baseStrength(host::Settings& data) override;
  bool baseRestrictsToSelection(host::Settings& data) override;
  const host::Bitmap* currentStamp(host::Settings& data) override;
  host::Settings* toolSettings(host::Document* doc, int32_t toolId) override {
    return toolData(doc, toolId);
  }

  // The settings of a tool in a document, made with the tool's defaults on first use. Null when
  // the id is no registered tool.
  host::Settings* toolData(host::Document* doc, int32_t toolId);
  // The user changes a parameter of the document's active tool: the host stores it, then tells
  // the tool. False when there is no active tool.
  bool setParameter(host::Document* doc, int32_t id, const host::Value& v);
  // Whether the active tool's description offers the parameter for editing.
  bool parameterEnabled(host::Document* doc, int32_t id);
  // The description of a tool (by its resource symbol); null when it has none.
  const host::Description* toolDescription(int32_t toolId);
  // Makes the tool the document's active tool (document parameter 1020).
  bool activateTool(host::Document* doc, int32_t toolId);
  // The user's stroke with the document's active tool on its active polygon object: the host
  // hands it to the tool's input handling, whose base runs the stroke engine.
  bool runStroke(host::Document* doc, const StrokeInput& input);
  // Presses a button of the active tool's description (message 18).
  bool pressButton(host::Document* doc, int32_t buttonId);
  const StrokeStats& lastStroke() const { return last_; }
  // How often strokes indexed their object from scratch (an unchanged mesh is indexed once).
  int64_t strokeIndexBuilds() const { return engine_.indexBuilds(); }
  // The tool settings as the host base saw them when it last ran a stroke.
  const host::Settings& lastInputSettings() const { return inputSettings_; }

  // Stamp and stencil images by path, loaded once; null when the file cannot be read.
  const host::Bitmap* image(const std::string& path);
  // Why the last image that was read anew could not be (empty when it could).
  const std::string& lastImageError() const { return lastImageError_; }
  // Puts an image into the cache under a path (images made in code).
  void setImage(const std::string& path, std::unique_ptr<PlainBitmap> image);
  void forgetDocuments();
  // Forgets the tool settings of a document that is being closed.
  void forgetDocument(const host::Document* doc);
  // The tool settings a document has, by tool id in ascending order.
  std::vector<std::pair<int32_t, const host::Settings*>> toolSettingsOf(
      const host::Document* doc) const;
  // Puts a tool's settings into a document as they were saved; false when the id is no
  // registered tool.
  bool setToolData(host::Document* doc, int32_t toolId, const host::Settings& data);

 private:
  struct ToolSettings {
    host::Document* doc;
    int32_t toolId;
    std::unique_ptr<host::Settings> data;
  };
  host::SculptBrushToolData* tool(int32_t toolId) const;

  EmbeddedHost& host_;
  StrokeEngine engine_;
  std::vector<ToolSettings> toolSettings_;
  std::map<std::string, std::unique_ptr<PlainBitmap>> images_;
  std::string lastImageError_;
  std::map<int32_t, std::unique_ptr<host::Description>> descriptions_;
  const StrokeInput* pending_ = nullptr;
  StrokeStats last_;
  host::Settings inputSettings_;
};

}  // namespace hostapp
