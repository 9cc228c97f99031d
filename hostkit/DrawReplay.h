// Draws what a custom control recorded through the drawing suites into a picture, as a host's effect
// window would show it: rectangles, path bounds, strings in the built-in font, images, clips.
#pragma once

#include <vector>

#include "hostkit/Drawing.h"
#include "platform/HyGraphics.h"

namespace hostkit {

// A width x height picture filled with `background`, then every operation in order. Paths are drawn by
// their bounds (filled or framed); transforms are not applied.
hyplat::HyBitmap replay(const std::vector<DrawOp>& ops, int width, int height,
                        hyplat::HyColour background = {64, 64, 64});

} // namespace hostkit
