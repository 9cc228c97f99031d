// The presets panel's side of event routing. The entry point hands draw and click events of the
// effect window to the panel in use; the panel itself (artwork, menus, preset store) implements this.
#pragma once

#include "sdk/AE_EffectUI.h"

class CPresetsPanel {
public:
    virtual ~CPresetsPanel();
    // Draws the panel into the event's drawing context; its top-left corner is the event's
    // effect_win.area left/top. Returns a host error (0 when drawn).
    virtual PF_Err Draw(PF_InData* in, PF_OutData* out, PF_EventExtra* event) = 0;
    // A click: `area` is the panel's rectangle in window coordinates, `window` the click point in window
    // coordinates and `screen` the same point on the screen (for menus that open there).
    virtual PF_Err Click(PF_InData* in, PF_OutData* out, PF_EventExtra* event, const PF_Rect& area,
                         PF_Point window, PF_Point screen) = 0;
};

// The panel events go to: the effect's presets panel unless another was installed.
CPresetsPanel* PresetsPanel();
// Installs a panel (the caller keeps ownership); null restores the effect's own.
void SetPresetsPanel(CPresetsPanel* panel);

struct HyPresetState;
// The preset manager's state the effect's panel works on (one per module; the entry lock guards it).
HyPresetState& PresetManagerState();

// Panel geometry, relative to its top-left corner; each area is [left, right) x [top, bottom).
namespace presets_panel {
constexpr int kWidth = 215, kHeight = 79;
struct Area {
    int left, top, right, bottom;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};
constexpr Area kPresetField{74, 18, 191, 31};
constexpr Area kPartsField{74, 32, 191, 45};
constexpr Area kLoadButton{192, 15, 210, 41};
constexpr Area kResetField{74, 62, 191, 75};
constexpr Area kManagerButton{8, 62, 61, 75};
// Text of the parts field for a load-parts mask.
const char* PartsText(unsigned mask);
} // namespace presets_panel
