// Events, console and status bar of the embedded host. Everything is recorded so that the command
// line can print it and tests can check it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/host.h"

namespace hostapp {

struct SpecialEvent {
  int32_t id;
  int64_t p1, p2;
};

class EventLog : public host::Events {
 public:
  void update() override;
  void post(int32_t flags) override { posted_.push_back(flags); }
  void special(int32_t id, int64_t p1, int64_t p2) override;
  void drawViews(int32_t flags) override;
  void print(const std::string& line) override;
  void debugOutput(const std::string& line) override { debug_.push_back(line); }
  void statusSetText(const std::string& text) override;
  void statusSetBar(double percent) override;
  void statusClear() override;

  // Receivers of special events (message plug-ins, open dialogs).
  using Receiver = std::function<void(const SpecialEvent&)>;
  void addReceiver(Receiver r) { receivers_.push_back(std::move(r)); }
  void clearReceivers() { receivers_.clear(); }
  // Called on every update event (the open windows learn that the scene changed).
  void setOnUpdate(std::function<void()> onUpdate) { onUpdate_ = std::move(onUpdate); }
  // Called on every redraw of the views; the host's open windows listen here.
  void setOnDraw(std::function<void(int32_t)> onDraw) { onDraw_ = std::move(onDraw); }
  // Called on every redraw request, with its flags (a view would draw the scene as it is now).
  void setOnRedraw(std::function<void(int32_t)> onRedraw) { onRedraw_ = std::move(onRedraw); }
  // Echo console lines to a callback as they are printed.
  void setEcho(std::function<void(const std::string&)> echo) { echo_ = std::move(echo); }
  // Called on every status bar change (text, percent).
  void setProgress(std::function<void(const std::string&, double)> p) { progress_ = std::move(p); }

  const std::vector<std::string>& console() const { return console_; }
  const std::vector<std::string>& debug() const { return debug_; }
  const std::vector<SpecialEvent>& specials() const { return specials_; }
  const std::vector<int32_t>& posted() const { return posted_; }
  const std::vector<int32_t>& redraws() const { return redraws_; }
  int64_t updates() const { return updates_; }
  const std::string& statusText() const { return statusText_; }
  double statusBar() const { return statusBar_; }
  // Every status text shown since the log began, in order, without repeats in a row.
  const std::vector<std::string>& statusHistory() const { return statusHistory_; }

 private:
  std::vector<std::string> console_, debug_, statusHistory_;
  std::vector<SpecialEvent> specials_;
  std::vector<int32_t> posted_, redraws_;
  std::vector<Receiver> receivers_;
  std::function<void(const std::string&)> echo_;
  std::function<void()> onUpdate_;
  std::function<void(int32_t)> onDraw_;
  std::function<void(int32_t)> onRedraw_;
  bool updating_ = false;
  std::function<void(const std::string&, double)> progress_;
  int64_t updates_ = 0;
  std::string statusText_;
  double statusBar_ = 0.0;
};

}  // namespace hostapp
