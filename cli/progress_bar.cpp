#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace pigmora::cli {

ProgressBar::ProgressBar() : terminal_(isatty(STDERR_FILENO) == 1) {}

void ProgressBar::update(const std::string& label, double done) {
  if (!terminal_) return;
  if (done < 0) {
    clear();
    return;
  }
  const int percent = static_cast<int>(std::clamp(done, 0.0, 1.0) * 100);
  if (percent == lastPercent_ && shown_) return;
  lastPercent_ = percent;
  constexpr int kWidth = 30;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r  %-24.24s [%s%s] %3d%%", label.c_str(), std::string(filled, '#').c_str(),
               std::string(kWidth - filled, '-').c_str(), percent);
  std::fflush(stderr);
  shown_ = true;
}

void ProgressBar::clear() {
  if (!terminal_ || !shown_) return;
  std::fprintf(stderr, "\r%72s\r", "");
  std::fflush(stderr);
  shown_ = false;
  lastPercent_ = -1;
}

}  // namespace pigmora::cli
