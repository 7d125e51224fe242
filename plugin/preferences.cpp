#include "plugin/preferences.h"

#include "host/binding.h"

namespace pigmora {

namespace {
constexpr int32_t kSortId = 10000070;

struct PageParameter {
  int32_t id;
  int32_t key;
  host::ValueType type;
  int32_t fallback;  // integers; folders default to the empty name
};

constexpr PageParameter kPage[] = {
    {1000, kPrefTextureFormat, host::ValueType::kInt32, 1100},
    {1200, kPrefTextureWidth, host::ValueType::kInt32, 2048},
    {1201, kPrefTextureHeight, host::ValueType::kInt32, 2048},
    {1202, kPrefPolyTextureWidth, host::ValueType::kInt32, 128},
    {1203, kPrefPolyTextureHeight, host::ValueType::kInt32, 128},
    {1204, kPrefMegascansFolder, host::ValueType::kFilename, 0},
    {1205, kPrefStampFolder, host::ValueType::kFilename, 0},
    {1206, kPrefStencilFolder, host::ValueType::kFilename, 0},
    {1207, kPrefBleedWidth, host::ValueType::kInt32, 10},
    {1208, kPrefChoiceA, host::ValueType::kInt32, 1209},
    {1211, kPrefChoiceB, host::ValueType::kInt32, 1212},
    {1250, kPrefChoiceC, host::ValueType::kInt32, 1253},
};

const PageParameter* pageParameter(int32_t id) {
  for (const auto& p : kPage)
    if (p.id == id) return &p;
  return nullptr;
}

host::Value defaultOf(const PageParameter& p) {
  return p.type == host::ValueType::kFilename ? host::Value::ofFilename("")
                                              : host::Value::ofInt32(p.fallback);
}
}  // namespace

host::Settings* preferencesContainer() {
  host::Host* h = host::bound();
  host::Settings* world = h ? h->settings().world() : nullptr;
  if (!world) return nullptr;
  if (host::Settings* prefs = world->getContainer(kPrefsContainerId)) return prefs;
  world->setContainer(kPrefsContainerId, host::Settings(kPrefsContainerId));
  return world->getContainer(kPrefsContainerId);
}

int32_t preferenceOr(int32_t key, int32_t fallback) {
  host::Host* h = host::bound();
  const host::Settings* world = h ? h->settings().world() : nullptr;
  const host::Settings* prefs = world ? world->getContainer(kPrefsContainerId) : nullptr;
  return prefs && prefs->has(key) ? prefs->getInt32(key, fallback) : fallback;
}

host::NodeData* PaintPreferences::alloc() {
  return host::make<PaintPreferences>();
}

bool PaintPreferences::registerPage() {
  return host::api().registration().registerPrefsPage(kPrefsPageId, "QOR Pigmora", "paintprefs",
                                                      &PaintPreferences::alloc, 0, kSortId);
}

bool PaintPreferences::init(host::Node* node) {
  (void)node;
  for (const auto& p : kPage) initValues(p.id, nullptr);
  return true;
}

bool PaintPreferences::getDescription(host::Node* node, host::Description& desc, int32_t& flags) {
  (void)node;
  if (!host::api().resources().loadDescription("paintprefs", desc)) return false;
  if (flags & host::kDescFlagNeedDefaults)
    for (const auto& p : kPage) initValues(p.id, &desc);
  flags |= host::kDescFlagLoaded;
  return true;
}

bool PaintPreferences::getParameter(host::Node* node, int32_t id, host::Value& out,
                                    int32_t& flags) {
  (void)node;
  const PageParameter* p = pageParameter(id);
  host::Settings* prefs = p ? preferencesContainer() : nullptr;
  if (!prefs) return false;
  if (p->type == host::ValueType::kFilename)
    out = host::Value::ofFilename(prefs->getFilename(p->key));
  else
    out = host::Value::ofInt32(prefs->getInt32(p->key));
  flags |= host::kDescFlagLoaded;
  return true;
}

bool PaintPreferences::setParameter(host::Node* node, int32_t id, const host::Value& v,
                                    int32_t& flags) {
  (void)node;
  const PageParameter* p = pageParameter(id);
  host::Settings* prefs = p ? preferencesContainer() : nullptr;
  if (!prefs) return false;
  if (p->type == host::ValueType::kFilename)
    prefs->setFilename(p->key, v.toString());
  else
    prefs->setInt32(p->key, v.toInt32());
  flags |= host::kDescFlagLoaded;
  return true;
}

bool PaintPreferences::getEnabling(host::Node* node, int32_t id, const host::Value& v,
                                   int32_t flags) {
  (void)node;
  (void)v;
  (void)flags;
  if (id != 1211) return true;
  host::Settings* prefs = preferencesContainer();
  return prefs && prefs->getInt32(kPrefChoiceA) == 1210;
}

bool PaintPreferences::initValues(int32_t id, host::Description* desc) {
  const PageParameter* p = pageParameter(id);
  if (!p) return false;
  if (desc) return desc->setDefault(id, defaultOf(*p));
  host::Settings* prefs = preferencesContainer();
  if (!prefs) return false;
  if (prefs->typeOf(p->key) != p->type) prefs->set(p->key, defaultOf(*p));
  return true;
}

}  // namespace pigmora
