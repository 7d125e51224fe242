// What a user (or a black-box test) needs to see of the scene and the host: objects with their
// selections and tags, materials with their channels, textures and layers, the painter, the
// active tool's settings, the preferences, the world settings, the undo list, the events since
// the last report, the commands' states and the status bar. Built as JSON; shown as indented
// text or printed as JSON.
#pragma once

#include <string>
#include <vector>

#include "cli/job_context.h"

namespace pigmora::cli {

// The sections of a report, in the order they are shown.
const std::vector<std::string>& reportSections();

struct ReportOptions {
  std::vector<std::string> sections;  // empty: every section
  std::string object;                 // only this object; empty: every object
  std::vector<int32_t> polygons;      // polygons whose UVs are shown
};

// The report of the job's scene. The events shown are those since the last report, which this
// one marks as seen. Reading the preferences leaves them as they were.
Json sceneReport(JobContext& ctx, const ReportOptions& options);

// The report as indented "key: value" lines. Long runs of whole numbers (selections) are shown
// as ranges: [0-99, 120].
std::string reportText(const Json& report, int indent = 0);

}  // namespace pigmora::cli
