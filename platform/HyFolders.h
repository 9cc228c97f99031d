// Folders the program keeps its files in, as the desktop names them.
#pragma once

#include <filesystem>

namespace hyplat {

// The user's documents folder: $XDG_DOCUMENTS_DIR, else the XDG_DOCUMENTS_DIR line of
// ~/.config/user-dirs.dirs, else ~/Documents. Empty when not even a home folder is known.
std::filesystem::path documents_folder();

} // namespace hyplat
