// Brush parameter blocks and polygon marker sets of the sculpt library.
#pragma once

#include <vector>

#include "host/sculpt.h"

namespace hostapp {

// Records every switch; the stroke engine reads them. `calls` keeps the order they were made in.
class BrushParamsImpl : public host::BrushParams {
 public:
  void setUndoPoints(bool on) override { record("undoPoints", undoPoints, on); }
  void setUsesFalloff(bool on) override { record("usesFalloff", usesFalloff, on); }
  void setUsesStamps(bool on) override { record("usesStamps", usesStamps, on); }
  void setUsesStencils(bool on) override { record("usesStencils", usesStencils, on); }
  void setUsesModifiers(bool on) override { record("usesModifiers", usesModifiers, on); }
  void setReportsPolygons(bool on) override { record("reportsPolygons", reportsPolygons, on); }
  void setUsesSymmetry(bool on) override { record("usesSymmetry", usesSymmetry, on); }
  void setModifiesPoints(bool on) override { record("modifiesPoints", modifiesPoints, on); }
  void setDabCallback(host::DabCallback cb) override {
    callback = cb;
    calls.push_back({"dabCallback", cb != nullptr});
  }
  void setThreaded(bool on) override { record("threaded", threaded, on); }

  struct Call {
    const char* name;
    bool value;
  };
  std::vector<Call> calls;
  bool undoPoints = false, usesFalloff = true, usesStamps = false, usesStencils = false;
  bool usesModifiers = true, reportsPolygons = true, usesSymmetry = false;
  bool modifiesPoints = false, threaded = false;
  host::DabCallback callback = nullptr;

 private:
  void record(const char* name, bool& field, bool on) {
    field = on;
    calls.push_back({name, on});
  }
};

class MarkerSetImpl : public host::PolygonMarkerSet {
 public:
  explicit MarkerSetImpl(int32_t count) : marks_(static_cast<size_t>(count > 0 ? count : 0)) {}
  int32_t size() const override { return static_cast<int32_t>(marks_.size()); }
  bool isMarked(int32_t p) const override {
    return p >= 0 && p < size() && marks_[static_cast<size_t>(p)];
  }
  void mark(int32_t p) override {
    if (p >= 0 && p < size()) marks_[static_cast<size_t>(p)] = true;
  }
  void clear() override { std::fill(marks_.begin(), marks_.end(), false); }

 private:
  std::vector<bool> marks_;
};

}  // namespace hostapp
