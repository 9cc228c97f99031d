// File names as the program holds them (UTF-8 text) turned into what the system opens: on Windows
// the wide-character name, so folders and presets with names outside the ANSI code page work;
// elsewhere the bytes unchanged. Also the common documents folder, the root of the preset store.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace hyplat {

// The path of a UTF-8 file name.
std::filesystem::path file_path(const std::string& utf8);
// The UTF-8 name of a path.
std::string file_name(const std::filesystem::path& path);

// std::fopen with a UTF-8 name; null on failure (errno set).
std::FILE* open_file(const char* utf8, const char* mode);

// The documents folder shared by every user of the machine: $SEAVAST_DOCUMENTS when set and not
// empty; else on Windows the Public Documents known folder, elsewhere $HOME/Documents. Empty when
// none is known.
std::filesystem::path common_documents_folder();

// Sets an environment variable of this process (UTF-8 name and value).
void set_environment(const char* name, const std::string& value);

} // namespace hyplat
