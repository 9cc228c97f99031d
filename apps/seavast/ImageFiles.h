// Image files for the command-line host, through OpenImageIO: layers read from any format it knows,
// rendered frames written as PNG, TIFF or EXR by the file's extension.
#pragma once

#include <string>

#include "hostkit/World.h"

namespace seavast_app {

// Largest image-map layer taken, per side.
constexpr int kMaxLayerSide = 8192;

// Reads an image into `layer` (8 bits per channel; gray becomes gray red, green and blue, a missing
// alpha is opaque). Returns an error text, empty on success.
std::string read_layer_image(const std::string& path, hostkit::World* layer);

// True for the output extensions .png, .tif, .tiff and .exr (any case).
bool output_format_known(const std::string& path);

// Writes the host's 8-bit output as red, green, blue, alpha (EXR as half floats 0..1). Returns an
// error text, empty on success. The format follows the extension of `path`.
std::string write_output_image(const std::string& path, const hostkit::World& image);

} // namespace seavast_app
