// The preferences page "QOR Pigmora" and the preferences container it edits.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pigmora {

constexpr int32_t kPrefsPageId = 1037935;
constexpr int32_t kPrefsContainerId = 1037934;

// Container keys.
constexpr int32_t kPrefTextureFormat = 1000;
constexpr int32_t kPrefTextureWidth = 1001;
constexpr int32_t kPrefTextureHeight = 1002;
constexpr int32_t kPrefPolyTextureWidth = 1003;
constexpr int32_t kPrefPolyTextureHeight = 1004;
constexpr int32_t kPrefMegascansFolder = 1005;
constexpr int32_t kPrefStampFolder = 1006;
constexpr int32_t kPrefStencilFolder = 1007;
constexpr int32_t kPrefBleedWidth = 1008;
constexpr int32_t kPrefChoiceA = 1009;
constexpr int32_t kPrefChoiceB = 1010;
constexpr int32_t kPrefChoiceC = 1011;
constexpr int32_t kPrefUdimTokens = 1012;

// The preferences container in the world settings, stored empty first when missing; null only
// when the host has no world settings.
host::Settings* preferencesContainer();
// An integer key of the preferences container, or `fallback` when the host has no world
// settings, the container is missing or the key is not in it. Reading stores nothing.
int32_t preferenceOr(int32_t key, int32_t fallback);

class PaintPreferences : public host::PrefsDialogObject {
 public:
  static host::NodeData* alloc();
  static bool registerPage();

  bool init(host::Node* node) override;
  bool getDescription(host::Node* node, host::Description& desc, int32_t& flags) override;
  bool getParameter(host::Node* node, int32_t id, host::Value& out, int32_t& flags) override;
  bool setParameter(host::Node* node, int32_t id, const host::Value& v, int32_t& flags) override;
  bool getEnabling(host::Node* node, int32_t id, const host::Value& v, int32_t flags) override;
  bool initValues(int32_t id, host::Description* desc) override;
};

}  // namespace pigmora
