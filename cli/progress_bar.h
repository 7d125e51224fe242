// A progress bar for long steps, drawn on stderr when it is a terminal and silent otherwise. It
// appears once a step has run half a second, so quick steps leave no trace, and a step that showed
// it ends with one line giving its total.
#pragma once

#include <chrono>
#include <string>

namespace pigmora::cli {

class ProgressBar {
 public:
  ProgressBar();
  // A step begins: the half second starts now.
  void start();
  // Shows `label` at `done` (0 .. 1) with an optional count ("120/412 dabs"); a negative share
  // clears the bar.
  void update(const std::string& label, double done, const std::string& count = {});
  // Takes the bar off the line (before other output).
  void clear();
  // The step ended: a bar that was shown becomes a line with the total and the time.
  void finish();

 private:
  using Clock = std::chrono::steady_clock;
  bool terminal_;
  bool shown_ = false;
  bool everShown_ = false;
  int lastPercent_ = -1;
  std::string lastLabel_, lastCount_;
  Clock::time_point started_;
};

}  // namespace pigmora::cli
