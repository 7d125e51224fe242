#include "hostapp/core/embedded_host.h"

#include <dlfcn.h>

#include <filesystem>

#include "hostapp/paint/paint_impl.h"
#include "hostapp/render/rendering.h"
#include "hostapp/scene/scene_impl.h"
#include "hostapp/sculpt/sculpt_impl.h"
#include "hostapp/ui/ui_host.h"

namespace hostapp {

namespace {
constexpr int32_t kActionInit = 1;
constexpr int32_t kActionStart = 2;
constexpr int32_t kActionEnd = 3;
constexpr int32_t kActionMessage = 6;
constexpr int32_t kMessageLoadPriority = 0;
constexpr int32_t kMessageResources = 1;
constexpr int32_t kDefaultUndoDepth = 30;
}  // namespace

WorldSettingsImpl::WorldSettingsImpl() {
  world_.setInt32(host::kWorldUndoDepth, kDefaultUndoDepth);
}

EmbeddedHost::EmbeddedHost()
    : registry_(*this),
      paint_(std::make_unique<PaintImpl>(*this)),
      sculpt_(std::make_unique<SculptImpl>(*this)),
      scene_(std::make_unique<SceneImpl>(*this)),
      ui_(std::make_unique<UiHost>()),
      rendering_(std::make_unique<RenderingImpl>(*this)) {
  listenForUi();
}

void EmbeddedHost::listenForUi() {
  // Windows hear of events once the code that posted them has returned, as from an event loop:
  // special events as they are, the update event as the change message, a redraw of the views
  // as the views' change message.
  events_.addReceiver([this](const SpecialEvent& e) { ui_->post(e.id, e.p1, e.p2); });
  events_.setOnUpdate([this] { ui_->post(host::kCoreDocumentChanged); });
  events_.setOnDraw([this](int32_t) { ui_->post(host::kCoreViewsChanged); });
}

host::Rendering& EmbeddedHost::rendering() {
  return *rendering_;
}

host::UserInterface& EmbeddedHost::ui() {
  return *ui_;
}

EmbeddedHost::~EmbeddedHost() {
  unload();
}

host::Scene& EmbeddedHost::scene() {
  return *scene_;
}
host::Paint& EmbeddedHost::paint() {
  return *paint_;
}
host::SculptLibrary& EmbeddedHost::sculpt() {
  return *sculpt_;
}

bool EmbeddedHost::loadLibrary(const std::string& path, std::string& error) {
  if (entry_) {
    error = "A plug-in is already loaded; " + path + " was not loaded.";
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    error = "The plug-in library " + path + " does not exist.";
    return false;
  }
  library_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library_) {
    const char* why = dlerror();
    error =
        "The plug-in library " + path + " could not be loaded: " + (why ? why : "unknown") + ".";
    return false;
  }
  auto* entry = reinterpret_cast<EntryPoint>(dlsym(library_, "c4d_main"));
  if (!entry) {
    error = "The plug-in library " + path + " has no c4d_main entry point.";
    dlclose(library_);
    library_ = nullptr;
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path() / "res";
  resources_.setFolder(folder.string());
  entry_ = entry;
  return start("The plug-in library " + path, error);
}

bool EmbeddedHost::loadEntry(EntryPoint entry, const std::string& resourceFolder,
                             std::string& error) {
  if (entry_) {
    error = "A plug-in is already loaded.";
    return false;
  }
  resources_.setFolder(resourceFolder);
  entry_ = entry;
  return start("The built-in plug-in", error);
}

bool EmbeddedHost::start(const std::string& label, std::string& error) {
  table_ = host::FunctionTable{apiVersion_, 0, this};
  if (entry_(kActionInit, &table_, nullptr, &hostData_) != 1) {
    error = label + " refused the host at initialisation (it needs host version " +
            std::to_string(host::kApiVersion) + " or later).";
    unload();
    return false;
  }
  initialised_ = true;
  int32_t priority = 0;
  entry_(kActionMessage, reinterpret_cast<void*>(kMessageLoadPriority), &priority, nullptr);
  if (entry_(kActionMessage, reinterpret_cast<void*>(kMessageResources), nullptr, nullptr) != 1) {
    error = label + " could not load its resources from " + resources_.resourceFolder() + ".";
    unload();
    return false;
  }
  if (entry_(kActionStart, nullptr, nullptr, nullptr) != 1) {
    error = label + " refused to start.";
    unload();
    return false;
  }
  started_ = true;
  for (const auto& p : registry_.plugins()) {
    if (p.kind != PluginKind::kMessage) continue;
    host::MessageData* msg = p.message;
    events_.addReceiver([msg](const SpecialEvent& e) {
      host::Settings data(e.id);
      data.setInt64(1, e.p1);
      data.setInt64(2, e.p2);
      msg->coreMessage(e.id, data);
    });
  }
  scene_->newDocument();
  return true;
}

void EmbeddedHost::unload() {
  // Scene hooks and registered objects are plug-in code: they go while the plug-in is bound.
  // Open windows close first, while the dialogs behind them still work.
  ui_->closeAll();
  sculpt_->forgetDocuments();
  scene_->freeDocuments();
  registry_.destroyAll(memory_);
  if (entry_ && initialised_) entry_(kActionEnd, nullptr, nullptr, nullptr);
  paint_->reset();
  events_.clearReceivers();
  listenForUi();
  initialised_ = false;
  started_ = false;
  entry_ = nullptr;
  if (library_) {
    dlclose(library_);
    library_ = nullptr;
  }
}

}  // namespace hostapp
