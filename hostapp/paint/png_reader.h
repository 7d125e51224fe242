// PNG files the program decodes itself, with the PNG library: the common kinds (8 or 16-bit
// grey, grey with alpha, RGB and RGBA, no palette and no transparency chunk), read at the file's
// own depth, so that painting with a PNG stamp or stencil never loads the general image library.
// The samples are the file's, as the general library gives them: no gamma, alpha unchanged.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "hostapp/paint/image_library.h"

namespace hostapp {

// A reader for `path` when it is such a PNG and `wanted` (the sample type the caller will ask
// for; none asks for the file's own) is its depth; null otherwise, and for anything doubtful in
// its header, which the general library then reads and judges.
std::unique_ptr<ImageFileReader> openOwnPng(const std::string& path,
                                            std::optional<SampleType> wanted);

}  // namespace hostapp
