// The embedded host: our in-process implementation of the host interface. It loads the plug-in
// library, starts it, owns what it registers, and provides every host service it calls.
#pragma once

#include <memory>
#include <string>

#include "host/host.h"
#include "hostapp/core/content_browser.h"
#include "hostapp/core/events.h"
#include "hostapp/core/files.h"
#include "hostapp/core/memory.h"
#include "hostapp/core/registry.h"
#include "hostapp/core/resources.h"

namespace hostapp {

class SceneImpl;
class PaintImpl;
class RenderingImpl;
class SculptImpl;
class UiHost;

using EntryPoint = int32_t (*)(int32_t action, void* p1, void* p2, void* p3);

class WorldSettingsImpl : public host::WorldSettings {
 public:
  WorldSettingsImpl();
  host::Settings* world() override { return available_ ? &world_ : nullptr; }
  // Makes the world settings unavailable (for testing the plug-in's fallbacks).
  void setAvailable(bool on) { available_ = on; }

 private:
  host::Settings world_;
  bool available_ = true;
};

class EmbeddedHost : public host::Host {
 public:
  EmbeddedHost();
  ~EmbeddedHost() override;
  EmbeddedHost(const EmbeddedHost&) = delete;
  EmbeddedHost& operator=(const EmbeddedHost&) = delete;

  // Loads a plug-in library with dlopen and starts it. On failure `error` holds one sentence
  // naming the file and the problem.
  bool loadLibrary(const std::string& path, std::string& error);
  // Starts a plug-in linked into this program, given its entry point.
  bool loadEntry(EntryPoint entry, const std::string& resourceFolder, std::string& error);
  // Ends the plug-in (documents first, then the plug-in's end, then its objects) and unloads it.
  void unload();
  bool loaded() const { return started_; }

  int32_t apiVersion() const override { return apiVersion_; }
  CountingMemory& memory() override { return memory_; }
  PluginRegistry& registration() override { return registry_; }
  ResourcesImpl& resources() override { return resources_; }
  host::Scene& scene() override;
  host::Paint& paint() override;
  host::SculptLibrary& sculpt() override;
  WorldSettingsImpl& settings() override { return world_; }
  EventLog& events() override { return events_; }
  LocalFiles& files() override { return files_; }
  ContentBrowserImpl& content() override { return content_; }
  host::UserInterface& ui() override;
  host::Rendering& rendering() override;

  SceneImpl& sceneImpl() { return *scene_; }
  PaintImpl& paintImpl() { return *paint_; }
  SculptImpl& sculptImpl() { return *sculpt_; }
  // The headless user interface and its scripting.
  UiHost& uiHost() { return *ui_; }
  EntryPoint entry() const { return entry_; }
  // What the host reports as its version at initialisation (tests lower it).
  void setApiVersion(int32_t v) { apiVersion_ = v; }

 private:
  bool start(const std::string& label, std::string& error);
  // Open dialogs and user areas get special events as core messages.
  void listenForUi();

  int32_t apiVersion_ = host::kApiVersion;
  CountingMemory memory_;
  PluginRegistry registry_;
  ResourcesImpl resources_;
  WorldSettingsImpl world_;
  EventLog events_;
  LocalFiles files_;
  ContentBrowserImpl content_{world_};
  std::unique_ptr<PaintImpl> paint_;
  std::unique_ptr<SculptImpl> sculpt_;
  std::unique_ptr<SceneImpl> scene_;
  std::unique_ptr<UiHost> ui_;
  std::unique_ptr<RenderingImpl> rendering_;
  host::FunctionTable table_{};
  int32_t hostData_ = 1;
  void* library_ = nullptr;
  EntryPoint entry_ = nullptr;
  bool initialised_ = false;
  bool started_ = false;
};

}  // namespace hostapp
