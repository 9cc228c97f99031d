// The modal "Presets" manager dialog (resource 900) and its "Rename Preset" dialog (913), on the
// preset store's commands.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/HyGraphics.h"
#include "platform/HyWindowSystem.h"
#include "ui/HyPresetStore.h"

class CPWindow;
class CViewPopMenu;

// The text of a new preset: every group of the current parameter values.
using HyPresetTextFn = std::function<std::string()>;

// Control ids of dialog 900.
enum : int {
    kCtlDone = 1,
    kCtlPresetName = 3,
    kCtlCategoryName = 4,
    kCtlCurrentCategory = 5,
    kCtlDestination = 6,
    kCtlPresets = 7,
    kCtlSavePreset = 8,
    kCtlCreateCategory = 9,
    kCtlDeleteCategory = 10,
    kCtlDeletePreset = 12,
    kCtlCopyPreset = 13,
    kCtlRenamePreset = 14,
};

// The preset menu from disk: categories, each followed by its presets (with `folders_only` false) as
// items whose parent is the category's item.
std::vector<hyplat::HyMenuItem> preset_menu_items(const HyPresetState& state, bool folders_only);
// Fills a pop-up from disk: the categories, and with `folders_only` false each category's presets as
// its sub-menu.
void build_menu(CViewPopMenu& popup, const HyPresetState& state, bool folders_only);

// Sets the root up (folders created), runs dialog 900 modally on the window system's script, and
// afterwards resets the load selection to the root. `picture`, when given, receives the dialog as it
// looked when it closed.
int open_presets_dialog(HyPresetState& state, const HyPresetTextFn& preset_text, hyplat::HyBitmap* picture = nullptr);
