#include "cli/progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace pigmora::cli {

namespace {
constexpr double kDelaySeconds = 0.5;
constexpr int kWidth = 30;
}  // namespace

ProgressBar::ProgressBar() : terminal_(isatty(STDERR_FILENO) == 1), started_(Clock::now()) {}

void ProgressBar::start() {
  clear();
  everShown_ = false;
  lastLabel_.clear();
  lastCount_.clear();
  started_ = Clock::now();
}

void ProgressBar::update(const std::string& label, double done, const std::string& count) {
  if (!terminal_) return;
  if (done < 0) {
    clear();
    return;
  }
  if (std::chrono::duration<double>(Clock::now() - started_).count() < kDelaySeconds) return;
  const int percent = static_cast<int>(std::clamp(done, 0.0, 1.0) * 100);
  if (percent == lastPercent_ && shown_ && count == lastCount_ && label == lastLabel_) return;
  lastPercent_ = percent;
  lastLabel_ = label;
  lastCount_ = count;
  const int filled = percent * kWidth / 100;
  std::fprintf(stderr, "\r  %-20.20s [%s%s] %3d%% %-18.18s", label.c_str(),
               std::string(filled, '#').c_str(), std::string(kWidth - filled, '-').c_str(), percent,
               count.c_str());
  std::fflush(stderr);
  shown_ = everShown_ = true;
}

void ProgressBar::clear() {
  if (!terminal_ || !shown_) return;
  std::fprintf(stderr, "\r%80s\r", "");
  std::fflush(stderr);
  shown_ = false;
  lastPercent_ = -1;
}

void ProgressBar::finish() {
  if (!terminal_ || !everShown_) return;
  clear();
  const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
  std::fprintf(stderr, "  %s: %s%sdone in %.2f s\n", lastLabel_.c_str(), lastCount_.c_str(),
               lastCount_.empty() ? "" : ", ", seconds);
  std::fflush(stderr);
  everShown_ = false;
}

}  // namespace pigmora::cli
