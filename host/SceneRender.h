// Writing the scene's float planes into the effect's 32-bit output image.
#pragma once

#include <cstdint>

#include "host/CImage32.h"
#include "render/HyCamera.h"

// Each channel becomes clamp(trunc(value x 256), 0, 255), in the effect's blue, green, red, alpha byte
// order. Plane rows run bottom to top: the last plane row becomes the first (top) picture row. Alpha
// comes from the alpha plane, 255 without one or in "Wireframe" (render mode 3); in "Light Tracking"
// (render mode 5) the red channel is copied into alpha.
void write_planes_to_image(const HyImagePlanes& planes, std::int32_t render_mode, CImage32& output);
