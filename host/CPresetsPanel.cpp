#include "host/CPresetsPanel.h"

#include <cstring>
#include <string>
#include <vector>

#include "host/CEffectVaskel1.h"
#include "host/CSuiteCache.h"
#include "host/PluginState.h"
#include "host/Settings.h"
#include "platform/HyWindowSystem.h"
#include "ui/CPWindow.h"
#include "ui/HyPresetDialog.h"
#include "ui/HyPresetStore.h"
#include "ui/UiResources.h"

CPresetsPanel::~CPresetsPanel() = default;

namespace presets_panel {
namespace {

struct Part {
    const char* name;
    unsigned mask;
};
// Menu order; the parts field names the first group of the mask in this order.
constexpr Part kParts[] = {
    {"Render Options", 0x1}, {"Image Map 1", 0x2},   {"Image Map 2", 0x4},   {"Image Map 3", 0x8},
    {"Camera", 0x10},        {"Air Optics", 0x40},   {"Ocean Optics", 0x80}, {"Primary Waves", 0x20},
    {"Lights", 0x300},       {"Swells", 0xC00},
};

} // namespace

const char* PartsText(unsigned mask)
{
    if ((mask & 0xFFF) == 0)
        return kNoneSelected;
    if (mask == 0xFFFF)
        return "All";
    for (const Part& p : kParts)
        if (mask & p.mask)
            return p.name;
    return kNoneSelected;
}

} // namespace presets_panel

namespace {

using namespace presets_panel;

std::vector<DRAWBOT_UTF16Char> utf16(const std::string& s)
{
    std::vector<DRAWBOT_UTF16Char> out;
    for (std::size_t i = 0; i < s.size();) {
        std::uint32_t cp = hyplat::next_code_point(s, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(DRAWBOT_UTF16Char(0xD800 + (cp >> 10)));
            out.push_back(DRAWBOT_UTF16Char(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(DRAWBOT_UTF16Char(cp));
        }
    }
    out.push_back(0);
    return out;
}

CEffectVaskel1* effect() { return dynamic_cast<CEffectVaskel1*>(CurrentEffect()); }

class CSeavastPresetsPanel final : public CPresetsPanel {
public:
    CSeavastPresetsPanel()
    {
        // The artwork is kept bottom row first, as the host's images of this size are, and turned once.
        if (const hyplat::HyBitmap* b = EffectResources().Bitmap(kPanelBackgroundBitmap))
            if (b->width() == kWidth && b->height() == kHeight)
                for (int y = 0; y < kHeight; ++y)
                    std::memcpy(&m_background[std::size_t(kHeight - 1 - y) * kWidth], &b->pixels()[std::size_t(y) * kWidth],
                                kWidth * sizeof(std::uint32_t));
    }

    PF_Err Draw(PF_InData* in, PF_OutData* out, PF_EventExtra* event) override;
    PF_Err Click(PF_InData* in, PF_OutData* out, PF_EventExtra* event, const PF_Rect& area, PF_Point window,
                 PF_Point screen) override;

    HyPresetState m_state;

private:
    void FlipOnce();
    void PresetMenu(int x, int y);
    void PartsMenu(int x, int y, bool reset);
    void Load();
    void Manage();

    // 0xAARRGGBB words; the 32-bit image of 860 bytes a row the host draws.
    std::uint32_t m_background[kWidth * kHeight] = {};
    bool m_flipped = false;
};

void CSeavastPresetsPanel::FlipOnce()
{
    if (m_flipped)
        return;
    for (int y = 0; y < kHeight / 2; ++y)
        for (int x = 0; x < kWidth; ++x)
            std::swap(m_background[std::size_t(y) * kWidth + std::size_t(x)],
                      m_background[std::size_t(kHeight - 1 - y) * kWidth + std::size_t(x)]);
    m_flipped = true;
}

PF_Err CSeavastPresetsPanel::Draw(PF_InData* in, PF_OutData* out, PF_EventExtra* event)
{
    CCustomUISuiteSet suites;
    if (const PF_Err err = suites.Acquire(in ? in->pica_basicP : nullptr, out))
        return err;
    EnsurePresetRoot(m_state);
    FlipOnce();
    DRAWBOT_DrawRef ref = nullptr;
    DRAWBOT_SupplierRef supplier = nullptr;
    DRAWBOT_SurfaceRef surface = nullptr;
    if (suites.customUI->PF_GetDrawingReference(event->contextH, &ref) != PF_Err_NONE || !ref ||
        suites.draw->GetSupplier(ref, &supplier) != kSPNoError || suites.draw->GetSurface(ref, &surface) != kSPNoError)
        return suites.Release(out);

    const float x0 = float(event->effect_win.area.left), y0 = float(event->effect_win.area.top);
    DRAWBOT_ImageRef image = nullptr;
    // Host images take their pixels as B, G, R, A bytes in memory order: the words' own order here.
    if (suites.supplier->NewImageFromBuffer(supplier, kWidth, kHeight, kWidth * 4, kDRAWBOT_PixelLayout_32BGRA_Straight,
                                            m_background, &image) == kSPNoError) {
        const DRAWBOT_PointF32 origin{x0, y0};
        suites.surface->DrawImage(surface, image, &origin, 1.0f);
        suites.supplier->ReleaseObject(image);
    }

    const DRAWBOT_ColorRGBA black{0.0f, 0.0f, 0.0f, 1.0f};
    DRAWBOT_BrushRef brush = nullptr;
    DRAWBOT_FontRef font = nullptr;
    float size = 0.0f;
    suites.supplier->NewBrush(supplier, &black, &brush);
    suites.supplier->GetDefaultFontSize(supplier, &size);
    suites.supplier->NewDefaultFont(supplier, size, &font);
    if (brush && font) {
        // Centred on each field; the baseline sits half the letters' height below the centre.
        const auto text = [&](const Area& a, const std::string& s) {
            const std::vector<DRAWBOT_UTF16Char> u = utf16(s);
            const DRAWBOT_PointF32 at{x0 + float(a.left + a.right) / 2.0f, y0 + float(a.top + a.bottom) / 2.0f + 4.0f};
            suites.surface->DrawString(surface, brush, font, u.data(), &at, kDRAWBOT_TextAlignment_Center,
                                       kDRAWBOT_TextTruncation_EndEllipsis, float(a.right - a.left - 2));
        };
        text(kPresetField, PresetDisplayName(m_state, m_state.selected));
        text(kPartsField, PartsText(m_state.mask));
    }
    if (font)
        suites.supplier->ReleaseObject(font);
    if (brush)
        suites.supplier->ReleaseObject(brush);
    // The supplier and the surface belong to the drawing reference; only what we made is released.
    return suites.Release(out);
}

PF_Err CSeavastPresetsPanel::Click(PF_InData*, PF_OutData*, PF_EventExtra*, const PF_Rect& area,
                                   PF_Point window, PF_Point screen)
{
    EnsurePresetRoot(m_state);
    const int x = window.h - area.left, y = window.v - area.top;
    // Menus open at a field's lower-left corner, in screen coordinates.
    const auto at = [&](int fx, int fy, int& sx, int& sy) {
        sx = screen.h + (fx - x);
        sy = screen.v + (fy - y);
    };
    int sx = 0, sy = 0;
    if (kPresetField.contains(x, y)) {
        at(kPresetField.left, kPresetField.bottom, sx, sy);
        PresetMenu(sx, sy);
    }
    if (kPartsField.contains(x, y)) {
        at(kPartsField.left, kPartsField.bottom, sx, sy);
        PartsMenu(sx, sy, false);
    }
    if (kLoadButton.contains(x, y))
        Load();
    if (kResetField.contains(x, y)) {
        at(kResetField.left, kResetField.bottom, sx, sy);
        PartsMenu(sx, sy, true);
    }
    if (kManagerButton.contains(x, y))
        Manage();
    return PF_Err_NONE;
}

void CSeavastPresetsPanel::PresetMenu(int x, int y)
{
    const std::vector<hyplat::HyMenuItem> items = preset_menu_items(m_state, false);
    const int chosen = hyplat::window_system().popup_menu(items, x, y);
    if (chosen <= 0 || items[std::size_t(chosen) - 1].parent == 0)
        return;
    const hyplat::HyMenuItem& item = items[std::size_t(chosen) - 1];
    m_state.selected = m_state.root / items[std::size_t(item.parent) - 1].text / (item.text + "." + kPresetExtension);
}

void CSeavastPresetsPanel::PartsMenu(int x, int y, bool reset)
{
    std::vector<hyplat::HyMenuItem> items;
    std::vector<unsigned> masks;
    if (!reset) {
        items.push_back({"All", 0});
        masks.push_back(0xFFFF);
    }
    for (const Part& p : kParts) {
        items.push_back({p.name, 0});
        masks.push_back(p.mask);
    }
    const int chosen = hyplat::window_system().popup_menu(items, x, y);
    if (chosen <= 0)
        return;
    const unsigned mask = masks[std::size_t(chosen) - 1];
    if (!reset)
        m_state.mask = mask;
    else if (CEffectVaskel1* fx = effect())
        fx->ResetGroups(mask);
}

void CSeavastPresetsPanel::Load()
{
    std::string text;
    const HyWarning w = ReadSelectedPreset(m_state, m_state.mask, text);
    if (!w.ok()) {
        show_warning(w);
        return;
    }
    if (CEffectVaskel1* fx = effect())
        fx->LoadPreset(text, m_state.mask, nullptr);
}

void CSeavastPresetsPanel::Manage()
{
    CEffectVaskel1* fx = effect();
    open_presets_dialog(m_state, [fx]() { return fx ? fx->SavePreset() : std::string(); });
}

CSeavastPresetsPanel& own_panel()
{
    static CSeavastPresetsPanel panel;
    return panel;
}

CPresetsPanel* g_panel = nullptr; // guarded by the entry lock; null: the effect's own

} // namespace

CPresetsPanel* PresetsPanel() { return g_panel ? g_panel : &own_panel(); }
void SetPresetsPanel(CPresetsPanel* panel) { g_panel = panel; }
HyPresetState& PresetManagerState() { return own_panel().m_state; }
