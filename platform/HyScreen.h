// Screen position of the pointer, for hosts that give no local-to-global conversion of their own.
// Headless build: a provider can be installed (tests, a windowing front end); without one the
// position is unknown and the result is false.
#pragma once

namespace hyplat {

using HyCursorProvider = bool (*)(int* x, int* y, void* user);

void set_cursor_provider(HyCursorProvider provider, void* user);
// Screen coordinates of the pointer; false (and 0, 0) when no provider knows.
bool cursor_screen_position(int* x, int* y);

} // namespace hyplat
