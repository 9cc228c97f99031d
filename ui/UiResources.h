// Resource ids of the effect's dialogs and pictures.
#pragma once

#include <cstdint>

constexpr std::int32_t kPresetsDialog = 900; // dialog and its layout text
constexpr std::int32_t kRenameDialog = 913;
constexpr std::int32_t kPanelBackgroundBitmap = 16100; // the presets panel, 215 x 79
