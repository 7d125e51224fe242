// Creating the sets that painting needs: a material with layered textures, a texture tag that maps
// it through the object's UVs, and the polygon selection that restricts the tag. The names tie
// them together: selections "UV_" + n or "UDIM_" + tile, materials object name + "_UV_" + n,
// + "_UDIM_" + tile or + "_POLY_" + polygon, textures material name + "_" + channel key.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "plugin/fill/floodlayers.h"

namespace pigmora {

// The texture format and sizes the creation commands use.
struct CreationSettings {
  int32_t format = host::kFormatTIFF;
  int32_t size = 1024;      // single and island materials, square
  int32_t polyWidth = 128;  // per-polygon materials
  int32_t polyHeight = 128;
};
// Reads keys 1000, 1001, 1003 and 1004 of the preferences. A value that cannot make a texture (a
// missing key, a size below 1, a format the host does not know) reads as its fallback.
CreationSettings creationSettings();

// "UV_" + n, with n the smallest number from 0 that no tag of the object is named with.
std::string uniqueSelectionName(host::Object* obj, int32_t& n);

// One plain file name from a scene name: folder separators, NULs and control characters become
// '_' and so do leading dots, so that the name can only ever name a file inside its folder.
std::string safeFileName(const std::string& name);
// `base` (made safe) with the format's suffix, in the document's folder, or alone when the
// document has none.
std::string documentFilePath(host::Document* doc, const std::string& base, int32_t format);
// The texture file of a material's channel: material name + "_" + channel key, as above.
std::string texturePath(host::Object* obj, host::Material* mat, int32_t channel, int32_t format);

// One more than the highest tile any polygon selection tag of the object is named with, or 1001.
int32_t nextFreeUdimTile(host::Object* obj);

// The colours of new per-polygon materials: one sequence for the whole process, from state 100.
IslandColorGenerator& materialColorGenerator();

// Gives a material with textures the grey it shows beside them (2100 = 0.75 grey, 500 = 1).
void setTexturedColor(host::Material* mat);
// Links a channel to a texture file: 1002 its name, 1017 its folder, 1005 0.
void linkChannelFile(host::Channel* ch, const std::string& name, const std::string& folder);

// Enables the channel, creates its texture file through the host and links the channel to it
// (1002 file name, 1017 folder, 1005 0). The Normal channel starts filled with (128, 128, 255).
// When the host cannot create the texture the channel is left without one; false then.
bool createChannelTexture(host::Material* mat, int32_t channel, const std::string& path,
                          int32_t format, int32_t width, int32_t height);

// Names the material after the object and the counter n (or the UDIM tile when it is not 0),
// creates its textures when asked (the source's textured channels, or Color alone), and gives it
// a texture tag inserted after `anchor` (first when null), restricted to the selection tag. With
// `activate` the material's texture becomes the one painted. The new tag, or null.
host::TextureTag* createMaterialSet(host::Material* mat, host::Material* source, host::Tag* anchor,
                                    host::SelectionTag* selection, int32_t n,
                                    host::PolygonObject* obj, int32_t size, int32_t format,
                                    bool activate, int32_t tile, bool createTextures);

// One material for the object's selected polygons (every polygon when none is selected): a new
// selection tag after `sourceSelection`, the selection's UVs re-laid to fill the texture square
// (on the next free UDIM tile with `udim`), a material (a copy of the source tag's material when
// given) with its textures and texture tag, and the source's texels carried into the new
// textures. Undo entries are added to the caller's open group. False when nothing could be
// made or the selection's UVs collapse.
bool createMaterialFromPolygons(host::UVWTag* uvw, host::PolygonObject* obj,
                                host::TextureTag* sourceTag, host::SelectionTag* sourceSelection,
                                int32_t size, int32_t format, host::Selection* output, bool udim);

}  // namespace pigmora
