// The "print" step: a report of the scene and the host at this point of the job.
#include <fstream>

#include "cli/scene_report.h"
#include "cli/steps.h"
#include "hostapp/core/atomic_file.h"
#include "hostapp/scene/document.h"

namespace pigmora::cli {

namespace {

std::string printStep(JobContext& ctx, const Json& step) {
  ReportOptions options;
  if (step.contains("show"))
    for (const Json& s : step["show"]) options.sections.push_back(s.get<std::string>());
  options.object = stringOr(step, "object", "");
  host::Object* only = options.object.empty() ? nullptr : ctx.object(options.object);
  if (step.contains("polygons")) {
    // A polygon the mesh does not have would show nothing, which reads as "no UVs".
    auto* poly = only && only->type() == host::kTypePolygonObject
                     ? static_cast<host::PolygonObject*>(only)
                     : nullptr;
    if (!poly) throw StepError("\"polygons\" lists polygons of the polygon object \"object\"");
    options.polygons = indicesOf(step["polygons"], "\"polygons\"");
    for (int32_t p : options.polygons)
      if (p >= poly->polygonCount())
        throw StepError("polygon " + std::to_string(p) + " is out of range: " + poly->name() +
                        " has " + std::to_string(poly->polygonCount()) + " polygons");
    if (!poly->tag(host::kTypeUVWTag)) throw StepError(poly->name() + " has no UVs");
  }
  const Json report = sceneReport(ctx, options);
  ctx.details = report;
  std::string summary;
  if (step.contains("file")) {
    const std::filesystem::path file = ctx.outputFile(stringOf(step, "file"));
    std::string why;
    if (!hostapp::writeFileAtomically(file.string(), report.dump(2) + "\n", why))
      throw StepError("the file " + file.string() + " could not be written: " + why);
    summary = file.filename().string() + ": ";
  }
  auto count = [](size_t n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s") + ", ";
  };
  if (report.contains("objects")) summary += count(report["objects"].size(), "object");
  if (report.contains("materials")) summary += count(report["materials"].size(), "material");
  if (report.contains("undo"))
    summary += count(report["undo"]["undo_count"].get<size_t>(), "undo step");
  while (!summary.empty() && (summary.back() == ' ' || summary.back() == ',')) summary.pop_back();
  std::string text = reportText(report, 4);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return summary + "\n" + text;
}

}  // namespace

void addInspectSteps(StepTable& t) {
  t.add("print",
        "Prints the scene and the host's state: objects, materials, painter, tool, preferences, "
        "world settings, undo list, events since the last print, commands and status.",
        object({opt("show", listOf(word(reportSections())), "The sections to print (all of them)."),
                opt("object", text(), "Only this object."),
                opt("polygons", indexList(), "Polygons of \"object\" whose UVs are shown."),
                opt("file", text(), "Also write the report as JSON into the output folder.")})
            .needing("polygons", "object"),
        printStep);
}

}  // namespace pigmora::cli
