// The UDIM loader: gives every UDIM tile that an object's UV islands occupy its own selection,
// material and restricted texture tag, and links texture files to those materials by the tile
// number and a texture token in their names.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"

namespace pigmora {

// Gadgets of the loader's window.
constexpr int32_t kUdimFileField = 1001;
constexpr int32_t kUdimLoadButton = 1003;
constexpr int32_t kUdimSetupButton = 1004;
constexpr int32_t kUdimCreateCheck = 1005;
constexpr int32_t kUdimCloseButton = 1006;
constexpr int32_t kUdimTokenField = 2000;  // + channel index
// Keys of the token sub-container (key 1012 of the preferences): 2000 + channel index.
constexpr int32_t kUdimTokenKey = 2000;

class UDIMLoadDialog : public host::GeDialog {
 public:
  bool createLayout() override;
  bool initValues() override;
  bool command(int32_t id, const host::Settings& msg) override;
  void destroyWindow() override;

  // Whether "Create New Textures" is ticked (as last seen when the window is closed).
  bool createNewTextures() const;
  // Writes the edited tokens into the preferences, where file matching reads them.
  void storeTokens();

 private:
  bool createTextures_ = true;
};

// The texture token of a channel: the stored one, the token sub-container being created with the
// channel keys when it is missing; the channel key when there are no preferences.
std::string textureToken(int32_t channel);

// Links the files of `folder` whose names hold the tile number to the material's channels: each
// file feeds the channel whose token is the longest one its name holds (ties go to the lower
// channel), and of several files for one channel the last one walked wins.
void linkUdimFiles(int32_t tile, const std::string& folder, host::Material* mat);

// The folder a chosen file lies in (the file itself when it names a folder); empty for none.
std::string folderOfChosenFile(const std::string& file);

// "Setup Selected" on one object: a "UDIM_" + tile selection, material and texture tag for every
// tile its islands occupy (islands of a tile that has them already join its selection), with
// blank textures or the files of the chosen file's folder.
void setupUdimTiles(const UDIMLoadDialog* dialog, host::Document* doc, host::Object* obj,
                    const std::string& file);
// "Load Textures" on one object: the chosen file's folder feeds the materials of its texture tags
// that are restricted to a "UDIM_" + tile selection.
void loadUdimTextures(host::Document* doc, host::Object* obj, const std::string& file);

}  // namespace pigmora
