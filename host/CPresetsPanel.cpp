#include "host/CPresetsPanel.h"

CPresetsPanel::~CPresetsPanel() = default;

namespace {

class CQuietPresetsPanel final : public CPresetsPanel {
public:
    PF_Err Draw(PF_InData*, PF_OutData*, PF_EventExtra*) override { return PF_Err_NONE; }
    PF_Err Click(PF_InData*, PF_OutData*, PF_EventExtra*, const PF_Rect&, PF_Point, PF_Point) override
    {
        return PF_Err_NONE;
    }
};

CQuietPresetsPanel g_quiet;
CPresetsPanel* g_panel = &g_quiet; // guarded by the entry lock

} // namespace

CPresetsPanel* PresetsPanel() { return g_panel; }
void SetPresetsPanel(CPresetsPanel* panel) { g_panel = panel ? panel : &g_quiet; }
