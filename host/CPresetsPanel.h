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

// The panel events go to. Until a panel is installed it is one that draws nothing and ignores
// clicks, so events are still answered as handled.
CPresetsPanel* PresetsPanel();
// Installs a panel (the caller keeps ownership); null restores the default.
void SetPresetsPanel(CPresetsPanel* panel);
