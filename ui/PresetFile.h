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

// Test hook: called with the temporary file's name after it was written and synced, before the rename;
// returning false makes the write fail there, as a crash at that moment would. Null removes it.
using BeforeRenameHook = bool (*)(const std::string& temporary);
void SetBeforeRenameHook(BeforeRenameHook hook);

} // namespace preset_file
