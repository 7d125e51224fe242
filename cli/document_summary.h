// What the command line tells about a document: its scene summary and its camera bookmarks.
#pragma once

#include <string>
#include <vector>

namespace host {
struct Matrix;
class Object;
}  // namespace host
namespace hostapp {
class DocumentImpl;
}
namespace pigmora {
class ManagerSceneHook;
struct CameraBookmark;
}  // namespace pigmora

namespace pigmora::cli {

// The plug-in's bookmark hook of the document, or null when the plug-in made none. Its
// operations run the plug-in's own code through the instance the host holds.
pigmora::ManagerSceneHook* bookmarksOf(hostapp::DocumentImpl& doc);

// The document's camera bookmarks in their order; none when the plug-in made no hook.
std::vector<const pigmora::CameraBookmark*> bookmarkList(hostapp::DocumentImpl& doc);

// One line for the counts, then one per object (indented by depth), material, texture with its
// layers, and bookmark.
std::vector<std::string> describeDocument(hostapp::DocumentImpl& doc);

// "polygon object", "camera", "null" or "object TYPE".
std::string objectKind(const host::Object* o);

// "offset (x, y, z), axes (..) (..) (..)" of a matrix.
std::string describeMatrix(const host::Matrix& m);

}  // namespace pigmora::cli
