// What the preset commands share: the store as the command line sees it.
#pragma once

#include <string>
#include <vector>

#include "platform/HyGraphics.h"
#include "ui/HyPresetStore.h"

namespace seavast_app {

// A preset argument as `--preset` takes it: an existing file, a path ending in ".wvp", or CATEGORY/NAME
// in the preset store. Sets *path, or *error and returns false.
bool resolve_preset_argument(const std::string& argument, std::string* path, std::string* error);

// "warning 906: The preset: Harbour:Calm Cannot be found": a warning's text on one line.
std::string warning_line(const HyWarning& w);

// Prints a preset's keys, its parameters and values grouped as the effect panel groups them;
// returns the exit status (failure when the version key is missing).
int print_preset(const std::string& label, const std::string& text);

// Writes a window's picture as an image file (PNG, TIFF or EXR by the extension); an error text or "".
std::string write_picture(const std::string& path, const hyplat::HyBitmap& picture);

// Queues `--do` inputs on the window system; false after printing which one is not understood.
bool queue_inputs(const std::vector<std::string>& inputs);

// Prints every warning the window system showed, one line each, with the button that answered it.
void print_shown_warnings();

} // namespace seavast_app
