#include "hostapp/core/events.h"

namespace hostapp {

void EventLog::update() {
  ++updates_;
  // A window that posts an update while it handles one is not told again.
  if (!onUpdate_ || updating_) return;
  updating_ = true;
  onUpdate_();
  updating_ = false;
}

void EventLog::drawViews(int32_t flags) {
  redraws_.push_back(flags);
  if (onDraw_) onDraw_(flags);
  if (onRedraw_) onRedraw_(flags);
}

void EventLog::special(int32_t id, int64_t p1, int64_t p2) {
  const SpecialEvent e{id, p1, p2};
  specials_.push_back(e);
  // Receivers may add receivers while being told; walk a copy.
  const auto receivers = receivers_;
  for (const auto& r : receivers) r(e);
}

void EventLog::print(const std::string& line) {
  console_.push_back(line);
  if (echo_) echo_(line);
}

void EventLog::statusSetBar(double percent) {
  statusBar_ = percent;
  if (progress_) progress_(statusText_, percent);
}

void EventLog::statusClear() {
  statusText_.clear();
  statusBar_ = 0.0;
  if (progress_) progress_(statusText_, -1.0);
}

}  // namespace hostapp

namespace hostapp {

void EventLog::statusSetText(const std::string& text) {
  statusText_ = text;
  if (statusHistory_.empty() || statusHistory_.back() != text) statusHistory_.push_back(text);
  if (progress_) progress_(statusText_, statusBar_);
}

}  // namespace hostapp
