// Image files for the command-line host. PNG files are read and written here through libpng; every
// other format goes through the image module (images/ImageModule.h), loaded on first use, so that a
// run that touches only PNG files never loads the general image library.
#pragma once

#include <string>

#include "hostkit/World.h"

namespace seavast_app {

// Largest image-map layer taken, per side.
constexpr int kMaxLayerSide = 8192;

// zlib level of written PNG files: 0 (stored) to 9 (smallest, slowest). A rendered sea is noisy and
// gains little from the high levels, so the default is fast.
constexpr int kDefaultPngCompression = 1;

// Reads an image into `layer` (8 bits per channel; gray becomes gray red, green and blue, a missing
// alpha is opaque). Returns an error text, empty on success.
std::string read_layer_image(const std::string& path, hostkit::World* layer);

// True for the output extensions .png, .tif, .tiff and .exr (any case).
bool output_format_known(const std::string& path);

// Writes the host's 8-bit output as red, green, blue, alpha (EXR as half floats 0..1). Returns an
// error text, empty on success. The format follows the extension of `path`; `compression` is the
// PNG level (see above) and is ignored by the other formats.
std::string write_output_image(const std::string& path, const hostkit::World& image,
                               int compression = kDefaultPngCompression);

} // namespace seavast_app
