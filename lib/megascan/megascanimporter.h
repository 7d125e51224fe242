// Megascans surface assets: reading one asset folder's JSON description, and turning the asset
// into a standard material whose channels link the asset's map files.
#pragma once

#include <cstdint>
#include <string>

#include "host/host.h"
#include "lib/megascan/megascan_templates.h"
#include "plugin/paintchannels.h"

namespace pigmora {

// What the host is told about the description file it opens (file type and creator codes).
constexpr uint32_t kDescriptionFileType = host::fileCode("C4DC");
constexpr uint32_t kDescriptionFileCreator = host::fileCode("C4D1");

class MegascanAsset {
 public:
  MegascanAsset() = default;
  MegascanAsset(const MegascanAsset&) = delete;
  MegascanAsset& operator=(const MegascanAsset&) = delete;

  // Empties everything read from a description; the folder stays.
  void clear();
  // Reads the first entry of the folder whose suffix is "json", in the host's listing order.
  // Answers `loaded`.
  bool load(const std::string& assetFolder);
  // Reads a description from zero-terminated text into a cleared asset; sets and answers
  // `loaded`. A text that is no JSON, or that lacks a required key, answers false.
  bool parse(const char* text);

  // The file of a format of this asset: the folder joined with the format's uri. Empty when the
  // uri is absolute or climbs out of the folder with "..": a description names only its own
  // files.
  std::string filePath(const TemplateFormat& format) const;

  bool loaded = false;
  std::string id;
  StringList categories;
  std::string name;  // the material's name
  StringList tags;
  StringList environment;
  OwnedArray<TemplateComponent> components;  // in file order
  TemplatePreview previews;
  std::string folder;
};

// The channel a component of the given "type" feeds: "albedo" Color, "bump" Bump, "gloss"
// Specular, "normal" Normal; -1 for every other type.
ChannelIndex megascanChannel(const std::string& type);
// True for the map types known to feed no channel ("cavity", "roughness", "ao", ...).
bool isSkippedMegascanType(const std::string& type);

// Makes a standard material named like the asset in the document, as one undo step, and links
// into each mapped channel the asset's files that exist, in description order, so that the last
// existing file of a component wins. The material is made even when no file is linked. Answers
// the material (owned by the document), or null when the host could not make one.
host::Material* createMegascanMaterial(const MegascanAsset& asset, host::Document* doc);

}  // namespace pigmora
