// A progress bar for long steps, drawn on stderr when it is a terminal and silent otherwise.
#pragma once

#include <string>

namespace pigmora::cli {

class ProgressBar {
 public:
  ProgressBar();
  // Shows `label` at `done` (0 .. 1); a negative share clears the bar.
  void update(const std::string& label, double done);
  void clear();

 private:
  bool terminal_;
  bool shown_ = false;
  int lastPercent_ = -1;
};

}  // namespace pigmora::cli
