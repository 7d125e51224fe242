// The host's attribute panel: a column of rows built from a description's parameters (sliders,
// check boxes, choices, colour fields, text fields, curves, buttons), drawn in software and hit
// by the mouse. What the rows show and what a change does comes from an AttributeModel; the
// paint window runs the mouse and the keyboard over it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/settings.h"
#include "hostapp/ui/canvas.h"

namespace hostapp {

class Font;

// Byte offsets of the characters of UTF-8 text: where the one before `at` starts, and where the
// one at `at` ends; a malformed sequence counts byte by byte.
size_t utf8Before(const std::string& text, size_t at);
size_t utf8After(const std::string& text, size_t at);

enum class RowKind { kHeading, kCheck, kSlider, kChoice, kButton, kText, kColor, kCurve };

struct AttributeRow {
  RowKind kind = RowKind::kHeading;
  int32_t id = 0;  // the parameter's id, or the model's own for rows of its own
  std::string label;
  std::string help;
  // As a person reads it: angles in degrees, colours as a vector of 0 .. 1, choices their id,
  // links the index of their choice.
  host::Value value;
  bool enabled = true;
  double min = 0.0, max = 1.0;
  bool whole = false;     // a whole number
  bool logScale = false;  // a slider over a range of several decades
  std::vector<std::pair<int32_t, std::string>> choices;
};

class AttributeModel {
 public:
  virtual ~AttributeModel() = default;
  virtual std::vector<AttributeRow> rows() = 0;
  // The user gave the row a value, as a person reads it; false with `message` set when it was
  // refused.
  virtual bool change(const AttributeRow& row, const host::Value& value) = 0;
  virtual bool press(const AttributeRow& row) = 0;
  std::string message;
};

class AttributePanel {
 public:
  static constexpr int32_t kWidth = 280;
  static constexpr int32_t kTabHeight = 24;

  // The parts of a row the mouse can hit.
  enum class Part { kNone, kTab, kRow, kBar, kValueBox, kRed, kGreen, kBlue, kCurve };
  struct Hit {
    Part part = Part::kNone;
    int32_t row = -1;  // index into rows(); the tab's index for kTab
  };

  void setTabs(std::vector<std::string> tabs) { tabs_ = std::move(tabs); }
  int32_t activeTab() const { return activeTab_; }
  void setActiveTab(int32_t tab) { activeTab_ = tab; }
  // Takes the model's rows for the next draw and hit tests.
  void refresh(AttributeModel& model) { rows_ = model.rows(); }
  const std::vector<AttributeRow>& rows() const { return rows_; }
  // The row whose text is being typed (-1: none) and the text so far, UTF-8, with the cursor
  // at its end.
  void edit(int32_t row, std::string text) {
    editRow_ = row;
    editText_ = std::move(text);
    cursor_ = editText_.size();
  }
  int32_t editRow() const { return editRow_; }
  const std::string& editText() const { return editText_; }
  // The cursor, a byte offset into the text that always lies between two characters.
  size_t cursor() const { return cursor_; }
  // Typing: text goes in at the cursor; a character before (backspace) or after (delete) the
  // cursor goes out; the cursor moves by whole characters, or to either end.
  void insert(const std::string& text);
  void erase(bool forward);
  void moveCursor(int32_t characters);
  void cursorTo(bool end) { cursor_ = end ? editText_.size() : 0; }
  // Scrolls the rows by `pixels` (positive: down the list), kept within the list.
  void scroll(int32_t pixels, int32_t height);

  void draw(Canvas& canvas, Font& font, int32_t height);
  Hit hit(int32_t x, int32_t y) const;
  // The row's top in panel pixels, and its rectangle parts.
  int32_t rowTop(int32_t row) const;
  host::UiRect barOf(const AttributeRow& row, int32_t top) const;
  host::UiRect curveOf(int32_t top) const;
  host::UiRect colorBar(int32_t top, int32_t component) const;
  // The value of a slider whose bar is pressed at panel x.
  static double sliderValue(const AttributeRow& row, const host::UiRect& bar, int32_t x);
  // Where a slider's value lies along its bar, 0 .. 1.
  static double sliderPosition(const AttributeRow& row, double value);
  // The text a value box shows for a number.
  static std::string numberText(const AttributeRow& row, double value);

 private:
  static int32_t heightOf(const AttributeRow& row);
  std::vector<std::string> tabs_;
  int32_t activeTab_ = 0;
  std::vector<AttributeRow> rows_;
  int32_t scroll_ = 0;
  int32_t editRow_ = -1;
  std::string editText_;
  size_t cursor_ = 0;
};

}  // namespace hostapp
