// What the paint window's attribute panel shows: the active tool's settings from its description
// with the painter's colours and channels, or the plug-in's preferences page. Changes go the way
// the command line's go: typed values stored through the host's parameter change of the active
// tool, and through the preferences page.
#pragma once

#include <memory>
#include <vector>

#include "hostapp/window/attribute_panel.h"

namespace hostapp {

class DocumentImpl;
class EmbeddedHost;
class PrefsWindow;

class ToolAttributes : public AttributeModel {
 public:
  // Rows of the model's own, beside the description's parameters.
  static constexpr int32_t kRowTool = -1, kRowChannel = -2, kRowChannelOn = -3, kRowAll = -4,
                           kRowPrimary = -5, kRowSecondary = -6, kRowPrimaryBrightness = -7,
                           kRowSecondaryBrightness = -8;
  ToolAttributes(EmbeddedHost& host, DocumentImpl& doc) : host_(host), doc_(doc) {}
  std::vector<AttributeRow> rows() override;
  bool change(const AttributeRow& row, const host::Value& value) override;
  bool press(const AttributeRow& row) override;

 private:
  void painterRows(std::vector<AttributeRow>& rows);
  EmbeddedHost& host_;
  DocumentImpl& doc_;
};

class PreferenceAttributes : public AttributeModel {
 public:
  explicit PreferenceAttributes(EmbeddedHost& host);
  ~PreferenceAttributes() override;
  std::vector<AttributeRow> rows() override;
  bool change(const AttributeRow& row, const host::Value& value) override;
  bool press(const AttributeRow& row) override;

 private:
  EmbeddedHost& host_;
  std::unique_ptr<PrefsWindow> page_;
};

}  // namespace hostapp
