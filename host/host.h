// The root of the host interface: what the host hands the plug-in at initialisation. Every host
// service is reached through the families below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/content.h"
#include "host/description.h"
#include "host/docfile.h"
#include "host/paint.h"
#include "host/plugins.h"
#include "host/scene.h"
#include "host/sculpt.h"
#include "host/settings.h"
#include "host/ui.h"

namespace host {

constexpr int32_t kApiVersion = 17050;

// Allocation. Failure is reported as null, never thrown.
class Memory {
 public:
  virtual ~Memory() = default;
  virtual void* alloc(size_t bytes) = 0;
  virtual void free(void* p) = 0;
};

// Registration of the plug-in's plug-ins. The host owns every registered object until it
// unloads the plug-in. Each call answers whether the host accepted it.
class Registration {
 public:
  virtual ~Registration() = default;
  virtual bool registerCommand(int32_t id, const std::string& name, int32_t info,
                               const std::string& icon, const std::string& help,
                               CommandData* cmd) = 0;
  virtual bool registerSceneHook(int32_t id, const std::string& name, int32_t info,
                                 NodeAllocator alloc, int32_t priority, int32_t diskLevel) = 0;
  virtual bool registerMessage(int32_t id, const std::string& name, int32_t info,
                               MessageData* msg) = 0;
  virtual bool registerPrefsPage(int32_t id, const std::string& name,
                                 const std::string& description, NodeAllocator alloc,
                                 int32_t parentId, int32_t sortId) = 0;
  // A brush tool; the host owns the tool and runs its strokes.
  virtual bool registerTool(int32_t id, const std::string& name, int32_t info,
                            const std::string& icon, const std::string& help,
                            SculptBrushToolData* tool) = 0;
  // A function library: the host keeps the record's address; the plug-in keeps the record.
  virtual bool installLibrary(int32_t id, void* record, int32_t version, int32_t size) = 0;
  // Looks a library up: host libraries (1031402 ...) and the installed records. Null if unknown.
  virtual void* findLibrary(int32_t id) = 0;
  // Executes a registered command by id.
  virtual bool callCommand(int32_t id, int32_t subId) = 0;
  // Plug-in info flags of a registered tool, or -1 when id is no tool.
  virtual int32_t toolInfo(int32_t id) = 0;
};

// The plug-in's own resources: its folder and its descriptions.
class Resources {
 public:
  virtual ~Resources() = default;
  // The folder of the plug-in library's resources ("res" beside it).
  virtual std::string resourceFolder() = 0;
  // Loads a description resource by name into desc; false when it does not exist.
  virtual bool loadDescription(const std::string& name, Description& desc) = 0;
};

// Settings: the world settings with their sub-containers.
constexpr int32_t kWorldUndoDepth = 1018;
class WorldSettings {
 public:
  virtual ~WorldSettings() = default;
  // The world settings container. Owned by the host; valid while the host runs.
  virtual Settings* world() = 0;
};

// Events, console and status bar.
constexpr int32_t kEventForceRedraw = 1;
constexpr int32_t kDrawFlagsFull = 0x8000;
class Events {
 public:
  virtual ~Events() = default;
  virtual void update() = 0;  // the update event
  virtual void post(int32_t flags) = 0;
  // Special events are delivered as core messages to dialogs, user areas and message plug-ins.
  virtual void special(int32_t id, int64_t p1, int64_t p2) = 0;
  virtual void drawViews(int32_t flags) = 0;
  virtual void print(const std::string& line) = 0;        // console
  virtual void debugOutput(const std::string& line) = 0;  // critical debug output
  virtual void statusSetText(const std::string& text) = 0;
  virtual void statusSetBar(double percent) = 0;
  virtual void statusClear() = 0;
};

// Files and directories.
// A four-character file type or creator code: fileCode("C4DC").
constexpr uint32_t fileCode(const char (&c)[5]) {
  return static_cast<uint32_t>(static_cast<unsigned char>(c[0])) << 24 |
         static_cast<uint32_t>(static_cast<unsigned char>(c[1])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(c[2])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(c[3]));
}

// A name inside a folder; the name alone when the folder is empty.
inline std::string joinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A file open for reading.
class File {
 public:
  virtual ~File() = default;
  virtual int64_t length() const = 0;
  // Reads up to `bytes` bytes into buffer and answers how many arrived: fewer at the end of the
  // file or when reading fails.
  virtual int64_t read(void* buffer, int64_t bytes) = 0;
};

class Files {
 public:
  virtual ~Files() = default;
  virtual bool readFile(const std::string& path, std::string& out) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
  // Entries of a directory (names without folder), sorted by name in byte order, so that every
  // walk of a folder sees its files in the same order. Empty when the folder does not exist.
  virtual std::vector<std::string> listDirectory(const std::string& path) = 0;
  // Opens a file for reading, saying what kind of file is expected by its type and creator
  // codes. Owned by the host; valid until closeFile. Null when the file is missing, is a folder
  // or cannot be opened.
  virtual File* openRead(const std::string& path, uint32_t type, uint32_t creator) = 0;
  virtual void closeFile(File* file) = 0;
};

// Rendering a document into a bitmap.
constexpr int32_t kRenderFlagExternal = 1;   // into the caller's bitmap, not a picture viewer
constexpr int32_t kRenderFlagNoClone = 2;    // renders the document itself, not a copy of it
constexpr int32_t kRenderFlagNoAnimate = 8;  // the document's current frame only
constexpr int32_t kRenderResultOk = 0;
constexpr int32_t kRenderResultOutOfMemory = 1;
constexpr int32_t kRenderResultNoDocument = 2;
constexpr int32_t kRenderResultBadImage = 3;    // no bitmap, or not of the settings' size
constexpr int32_t kRenderResultBadSize = 4;     // 5008 / 5009 outside what the renderer can make
constexpr int32_t kRenderResultNoRenderer = 5;  // 5300 names no renderer the host has
class Rendering {
 public:
  virtual ~Rendering() = default;
  // Renders the document through its active view's camera with the given render settings
  // (5008 width, 5009 height, 5300 renderer) into `bitmap`, which the caller initialised to that
  // size. Answers kRenderResultOk or the reason it could not render.
  virtual int32_t renderDocument(Document* doc, const Settings& settings, Bitmap* bitmap,
                                 int32_t flags) = 0;
};

class Host {
 public:
  virtual ~Host() = default;
  virtual int32_t apiVersion() const = 0;
  virtual Memory& memory() = 0;
  virtual Registration& registration() = 0;
  virtual Resources& resources() = 0;
  virtual Scene& scene() = 0;
  virtual Paint& paint() = 0;
  virtual SculptLibrary& sculpt() = 0;
  virtual WorldSettings& settings() = 0;
  virtual Events& events() = 0;
  virtual Files& files() = 0;
  virtual ContentBrowser& content() = 0;
  virtual UserInterface& ui() = 0;
  virtual Rendering& rendering() = 0;
};

// What c4d_main receives in p1 at action 1.
struct FunctionTable {
  int32_t apiVersion;
  int32_t reserved;
  Host* root;
};
static_assert(sizeof(FunctionTable) == 16);

}  // namespace host

// The plug-in's only exported symbol.
extern "C" int32_t c4d_main(int32_t action, void* p1, void* p2, void* p3);
