// `pigmora paint [JOB.json | DOCUMENT]`: the interactive paint window on the scene a job builds,
// on a saved document, or on the demo scene.
#pragma once

#include <ostream>
#include <string>

namespace pigmora::cli {

struct PaintOptions {
  std::string pluginPath;
  std::string input;       // a job file, a document file, or empty for the demo scene
  std::string script;      // --script EVENTS.json
  std::string record;      // --record EVENTS.json
  std::string screenshot;  // --screenshot OUT.png
  std::string save;        // --save: where Ctrl+S writes the document
  int32_t width = 1280, height = 800;
  int32_t size = 2048;  // the demo scene's texture size
  bool timing = false;  // print frame and dab-to-screen times when the window closes
  bool hidden = false;
};

// Returns the exit status.
int runPaint(const PaintOptions& options, std::ostream& out, std::ostream& err);

}  // namespace pigmora::cli
