#include "hostapp/paint/image_library.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

namespace hostapp {

namespace {

constexpr const char* kModuleName = "libpigmora_images.so";

// The module sits beside the program; fuzzing programs live one folder further down.
void* loadModule(std::string& why) {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    for (const std::filesystem::path& dir : {exe.parent_path(), exe.parent_path().parent_path()}) {
      const std::filesystem::path candidate = dir / kModuleName;
      if (!std::filesystem::is_regular_file(candidate, ec)) continue;
      if (void* handle = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
      const char* error = dlerror();
      why = error ? error : "unknown reason";
      return nullptr;
    }
  }
  // Elsewhere the loader's own search (the library path) decides.
  if (void* handle = dlopen(kModuleName, RTLD_NOW | RTLD_LOCAL)) return handle;
  const char* error = dlerror();
  why = error ? error : "unknown reason";
  return nullptr;
}

}  // namespace

ImageLibrary* imageLibrary(std::string& why) {
  static std::once_flag once;
  static ImageLibrary* library = nullptr;
  static std::string failure;
  std::call_once(once, [] {
    std::string reason;
    void* handle = loadModule(reason);
    if (handle) {
      using Entry = ImageLibrary* (*)();
      if (auto* entry = reinterpret_cast<Entry>(dlsym(handle, "pigmoraImageLibrary")))
        library = entry();
      else
        reason = "it has no entry point";
    }
    if (!library)
      failure = std::string("the image library module ") + kModuleName + " could not be loaded (" +
                reason + ")";
  });
  if (!library) why = failure;
  return library;
}

}  // namespace hostapp
