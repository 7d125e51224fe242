// A software z-buffer renderer of a document's polygon objects with their colour textures, seen
// from a camera: the command line's preview images and camera-bookmark previews.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "host/host.h"
#include "hostapp/paint/plain_bitmap.h"

namespace hostapp {

class DocumentImpl;
class EmbeddedHost;

// A perspective view: the camera looks along the matrix's third axis with the second one up;
// the focal length and the film width (aperture) are in millimetres.
struct RenderCamera {
  host::Matrix matrix;
  double focalLength = 36.0;
  double aperture = 36.0;
};

RenderCamera cameraView(const host::CameraObject& camera);
// A camera placed to look at a point from a position, with y up.
RenderCamera lookAt(const host::Vector& position, const host::Vector& target, double focalLength);
// The editor's view: every polygon object framed from the front, a little from above and the
// side, for an image of the given aspect (width / height).
RenderCamera editorCamera(const DocumentImpl& doc, double aspect);
// The world-space box around every point of the document's polygon objects; false when there
// are none.
bool sceneBounds(const DocumentImpl& doc, host::Vector& lo, host::Vector& hi);

// Which material each polygon shows, as an index into `used` (the materials of `materials` the
// object's texture tags name, in the order met), or -1: texture tags in order, the last that
// covers a polygon wins.
std::vector<int32_t> polygonSurfaces(host::PolygonObject& obj,
                                     const std::vector<host::Material*>& materials,
                                     std::vector<host::Material*>& used);
// World-space normals per polygon corner (four per polygon), smoothed over the faces around a
// point that meet at a small angle.
std::vector<host::Vector> cornerNormals(const host::PolygonObject& obj,
                                        const std::vector<host::Vector>& world);
// A rectangle of a texture (its visible layers flattened) as 8-bit RGBA rows.
void readTextureRgba(const host::PaintBitmap& tex, int32_t x, int32_t y, int32_t width,
                     int32_t height, uint8_t* rgba);

struct RenderOptions {
  int32_t width = 800;
  int32_t height = 600;
  // Samples per pixel along each axis; 2 smooths the edges at four times the work.
  int32_t supersample = 2;
  // Told the share of the work done, 0 .. 1.
  std::function<void(double)> progress;
};

// Renders into `out` (initialised here to the options' size, 24 bits). Each polygon shows the
// colour texture of the material its texture tags give it (the last tag that covers it wins, a
// tag restricted to a selection covers that selection), sampled bilinearly; a material without a
// texture shows its colour, an object without a material light grey. Lighting is a key light
// from the upper left of the camera, a weaker fill from the right, ambient light and a soft
// highlight. False when the size is not usable.
bool renderDocument(EmbeddedHost& host, DocumentImpl& doc, const RenderCamera& camera,
                    const RenderOptions& options, PlainBitmap& out);

}  // namespace hostapp
