// Preset files on disk: plain key=value text (see CTokener), every number written with six decimals.
#pragma once

#include <cstddef>
#include <string>

namespace preset_file {

// Presets are a few kilobytes; anything far larger is not a preset and is refused before reading.
constexpr std::size_t kMaxBytes = 4u << 20;

enum class Status { Ok, Missing, Unreadable, TooLarge, Unwritable };

const char* StatusText(Status s);

// Reads the whole file into `text`. On failure `text` is left empty.
Status Read(const std::string& path, std::string& text);

// Writes `text` to a temporary file beside `path` and renames it over `path`, so an existing preset is
// never left half written when the disk fills or the write fails.
Status Write(const std::string& path, const std::string& text);

} // namespace preset_file
