// A grid of image cells from one source: the stamp folder, the stencil folder, or one of the
// host's content libraries. A click makes the image the brush stamp (with control, the stencil)
// and starts dragging it as a file, so that it can be dropped on a material cell; a double click
// shows the file; the context menu offers both uses.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"
#include "lib/gui/textureelement.h"
#include "lib/gui/viewarea.h"

namespace pigmora {

enum TexturesKind : int32_t {
  kTexturesStamps = 1,
  kTexturesStencils = 2,
  kTexturesLibrary = 3,
};

// Context-menu entries of image cells.
constexpr int32_t kMenuUseAsStamp = 1001;
constexpr int32_t kMenuUseAsStencil = 1002;

// Status texts while a grid fills.
inline constexpr const char* kLoadingStamps = "Loading Stamps";
inline constexpr const char* kLoadingStencils = "Loading Stencils";
inline constexpr const char* kLoadingImages = "Loading Images: ";

// Ids and files of a folder walk, in walk order (so ordered by id).
using FileMap = std::vector<std::pair<int32_t, std::string>>;

// A folder of the painting preferences (1005 Megascans, 1006 stamps, 1007 stencils); empty
// when the host has no preferences container.
std::string preferenceFolder(int32_t key);

// Walks a folder in the host's listing order: every file gets the next id of `next`, every
// subfolder is walked where it stands. Folders deeper than a sane nesting are not entered, so a
// link that leads back up cannot make the walk endless.
void walkFolder(const std::string& folder, FileMap& map, int32_t& next, int32_t depth = 0);

class TexturesViewArea : public ViewAreaBase {
 public:
  explicit TexturesViewArea(int32_t kind, std::string library = {})
      : kind_(kind), library_(std::move(library)) {}

  // Fills the grid on the first initialisation only (every time with the reload flag).
  bool init() override;
  bool inputEvent(const host::InputEvent& event) override;

  int32_t kind() const { return kind_; }
  const std::string& library() const { return library_; }
  const FileMap& stampMap() const { return stampMap_; }
  const FileMap& stencilMap() const { return stencilMap_; }
  const std::vector<host::ContentEntry>& libraryEntries() const { return entries_; }
  bool populated() const { return populated_; }
  TextureElement* cell(int32_t index) const;

 private:
  void populate();
  void fillFromMap(const FileMap& map, const char* status);
  void fillFromLibrary();
  void gather(host::ContentBrowser& browser, const std::string& location, int32_t depth);
  void contextMenu(const host::InputEvent& event, TextureElement* target);

  int32_t kind_;
  std::string library_;
  FileMap stampMap_, stencilMap_;
  std::vector<host::ContentEntry> entries_;
  bool reload_ = false;
  bool populated_ = false;
};

}  // namespace pigmora
