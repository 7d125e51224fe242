// Registration: every plug-in the loaded library registered, by id and kind. The host owns the
// registered objects until it unloads the library.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host/host.h"

namespace hostapp {

class CountingMemory;
class EmbeddedHost;

enum class PluginKind { kCommand, kTool, kSceneHook, kMessage, kPrefsPage, kLibrary };
const char* pluginKindName(PluginKind kind);

struct RegisteredPlugin {
  int32_t id = 0;
  PluginKind kind = PluginKind::kCommand;
  std::string name;
  int32_t info = 0;
  std::string icon, help, description;
  host::CommandData* command = nullptr;
  host::MessageData* message = nullptr;
  host::SculptBrushToolData* tool = nullptr;
  host::NodeAllocator allocator = nullptr;
  int32_t priority = 0, diskLevel = 0, parentId = 0, sortId = 0;
  void* record = nullptr;
  int32_t version = 0, size = 0;
};

class PluginRegistry : public host::Registration {
 public:
  explicit PluginRegistry(EmbeddedHost& host) : host_(host) {}

  bool registerCommand(int32_t id, const std::string& name, int32_t info, const std::string& icon,
                       const std::string& help, host::CommandData* cmd) override;
  bool registerSceneHook(int32_t id, const std::string& name, int32_t info,
                         host::NodeAllocator alloc, int32_t priority, int32_t diskLevel) override;
  bool registerMessage(int32_t id, const std::string& name, int32_t info,
                       host::MessageData* msg) override;
  bool registerPrefsPage(int32_t id, const std::string& name, const std::string& description,
                         host::NodeAllocator alloc, int32_t parentId, int32_t sortId) override;
  bool registerTool(int32_t id, const std::string& name, int32_t info, const std::string& icon,
                    const std::string& help, host::SculptBrushToolData* tool) override;
  bool installLibrary(int32_t id, void* record, int32_t version, int32_t size) override;
  void* findLibrary(int32_t id) override;
  bool callCommand(int32_t id, int32_t subId) override;
  int32_t toolInfo(int32_t id) override;

  // In registration order.
  const std::vector<RegisteredPlugin>& plugins() const { return plugins_; }
  const RegisteredPlugin* find(int32_t id) const;
  // Makes the host refuse a registration under this id (for testing failure paths).
  void refuse(int32_t id) { refused_.insert(id); }
  // Destroys the registered objects (their memory came from the host allocator).
  void destroyAll(CountingMemory& memory);

 private:
  bool accept(int32_t id) const;
  // A new entry when `valid` and the id is free; null otherwise.
  RegisteredPlugin* add(bool valid, int32_t id, PluginKind kind, const std::string& name,
                        int32_t info);
  EmbeddedHost& host_;
  std::vector<RegisteredPlugin> plugins_;
  std::set<int32_t> refused_;
};

}  // namespace hostapp
