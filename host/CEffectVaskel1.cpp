#include "host/CEffectVaskel1.h"

#include "host/CAEHost.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "ocean/HyOceanSurface.h"
#include "optics/HyOceanOptics.h"

CEffectVaskel1::CEffectVaskel1()
{
    // Until RegisterParams runs, the indices are those of a host that takes groups.
    m_groupsTaken = true;
    for (int g = 0; g < kParamGroupCount; ++g) {
        const std::int32_t first = ParamFirstValueIndex(ParamGroup(g), true);
        m_groupIndex[g] = first > 0 ? first - 1 : 0;
    }
    m_rowIndex = ParamIndexMapFor(true);
    SettingsSetDefaults(m_settings);
    BuildSurface();
}

CEffectVaskel1::~CEffectVaskel1()
{
    m_maps.CleanUp(m_surface);
    DeleteSurface();
    delete m_oceanOptics;
    m_oceanOptics = nullptr;
    CEffectVaskel1::ResetRenderContext();
}

void CEffectVaskel1::BuildSurface()
{
    m_surface = new HyOceanSurface(HySurface_data());
    if (m_surface == nullptr) {
        std::printf("Out of Memory\n");
        return;
    }
    if (!m_surface->allocate_primary_waves(m_settings.primary))
        std::fprintf(stderr, "CEffectVaskel1::BuildSurface the primary waves could not be allocated\n");
}

void CEffectVaskel1::DeleteSurface()
{
    if (m_surface != nullptr)
        for (CSettingsSwell& w : m_settings.swells)
            if (w.id != 0)
                m_surface->remove_swell(w.id);
    for (CSettingsSwell& w : m_settings.swells) {
        w.id = 0;
        w.enabled = 0;
    }
    delete m_surface;
    m_surface = nullptr;
}

const char* CEffectVaskel1::GetName() { return "Vaskel1"; }

// Varies without parameter changes (bit 1: the sea moves with time) and works in place (bit 3).
std::uint32_t CEffectVaskel1::GetOutFlags() { return 10; }

std::int32_t CEffectVaskel1::SetRenderContext(const CRenderContext* context)
{
    return CEffect::SetRenderContext(context);
}

void CEffectVaskel1::ResetRenderContext() { CEffect::ResetRenderContext(); }

void* CEffectVaskel1::GetSettings() { return &m_settings; }
std::uint32_t CEffectVaskel1::GetSettingsSize() { return sizeof(CSettings); }

std::int32_t CEffectVaskel1::ReadSettingsFromHost(void* settings)
{
    if (m_host == nullptr || settings == nullptr)
        return kEffectBadParams;
    SettingsReadFromHost(*m_host, m_rowIndex, *static_cast<CSettings*>(settings));
    return kEffectOk;
}

std::int32_t CEffectVaskel1::ResetToDefaults()
{
    m_maps.CleanUp(m_surface);
    DeleteSurface();
    SettingsSetDefaults(m_settings);
    m_pendingLevel = kSurfaceUpToDate;
    m_lastFrameTime = -1.0f;
    m_surfaceDirty = true;
    if (m_oceanOptics != nullptr) {
        m_oceanOptics->clear_slope_table();
        m_oceanOptics->clear_second();
        m_oceanOptics->set_parameters(m_settings.ocean.block);
    }
    BuildSurface();
    return m_surface != nullptr ? kEffectOk : kEffectOutOfMemory;
}

namespace {

template <class T> bool differs(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) != 0; }

bool air_counts(const HyAirOpticsParams& o, const HyAirOpticsParams& n)
{
    if (o.haze_on != n.haze_on || o.rainbow_style != n.rainbow_style)
        return true;
    if (n.haze_on &&
        (o.haze_visibility != n.haze_visibility || o.haze_height != n.haze_height ||
         o.haze_diffusivity != n.haze_diffusivity || o.haze_color[0] != n.haze_color[0] ||
         o.haze_color[1] != n.haze_color[1] || o.haze_color[2] != n.haze_color[2] ||
         o.scattering_bias != n.scattering_bias))
        return true;
    return n.rainbow_style != 0 && (o.rainbow_radius != n.rainbow_radius ||
                                    o.rainbow_intensity != n.rainbow_intensity ||
                                    o.rainbow_thickness != n.rainbow_thickness);
}

bool light_counts(const CSettingsLight& o, const CSettingsLight& n)
{
    if (o.affects != n.affects)
        return true;
    if (n.affects == 0)
        return false;
    return o.elevation != n.elevation || o.azimuth != n.azimuth || o.red != n.red || o.green != n.green ||
           o.blue != n.blue || o.intensity != n.intensity || o.viewedIntensity != n.viewedIntensity ||
           o.viewedSize != n.viewedSize || o.glitterScale != n.glitterScale ||
           o.waterColourScale != n.waterColourScale;
}

bool swell_differs(const HySwell_data& a, const HySwell_data& b)
{
    return a.size != b.size || a.spacing != b.spacing || a.height != b.height || a.length != b.length ||
           a.direction != b.direction || a.roughness != b.roughness || a.oscillations != b.oscillations;
}

} // namespace

void CEffectVaskel1::ApplySwell(int n, const CSettingsSwell& fresh)
{
    CSettingsSwell& cur = m_settings.swells[n];
    if (cur.enabled != fresh.enabled || swell_differs(cur.record, fresh.record))
        m_surfaceDirty = true;
    if (cur.enabled && !fresh.enabled) {
        if (cur.id != 0 && m_surface != nullptr)
            m_surface->remove_swell(cur.id);
        cur.record = fresh.record;
        cur.id = 0;
        cur.enabled = 0;
    } else if (!cur.enabled && fresh.enabled) {
        cur.record = fresh.record;
        cur.id = m_surface != nullptr ? m_surface->add_new_swell(cur.record) : 0;
        cur.enabled = cur.id != 0 ? 1 : 0;
    } else if (cur.enabled && fresh.enabled) {
        if (!swell_differs(cur.record, fresh.record))
            return;
        const bool realloc = cur.record.size != fresh.record.size || cur.record.spacing != fresh.record.spacing;
        cur.record = fresh.record;
        if (cur.id == 0 || m_surface == nullptr)
            return;
        if (realloc)
            m_surface->reallocate_swell(cur.id, cur.record);
        else
            m_surface->reset_swell_parameters(cur.id, cur.record.height, cur.record.length, cur.record.roughness,
                                              cur.record.oscillations, cur.record.direction,
                                              cur.record.vertical_scale);
    } else {
        cur.record = fresh.record; // off before and after: keep the values for the next switch-on
    }
}

std::int32_t CEffectVaskel1::ApplySettings(void* settings)
{
    if (settings == nullptr)
        return kEffectBadParams;
    const CSettings& n = *static_cast<const CSettings*>(settings);
    CSettings& c = m_settings;
    bool changed = false;

    if (differs(c.render, n.render)) {
        c.render = n.render;
        changed = true;
    }
    for (int m = 0; m < 3; ++m)
        if (differs(c.maps[m], n.maps[m])) {
            c.maps[m] = n.maps[m];
            changed = true;
        }
    if (differs(c.camera, n.camera)) {
        c.camera = n.camera;
        changed = true;
    }

    // Primary waves: a new lattice needs new grids; the rest only new wave parameters.
    const HyPrimaryWaves_data& op = c.primary;
    const HyPrimaryWaves_data& np = n.primary;
    if (op.size != np.size || op.small_spacing != np.small_spacing || op.large_spacing != np.large_spacing) {
        m_pendingLevel = kSurfaceRebuild;
        changed = true;
    } else if (op.wind_speed != np.wind_speed || op.wind_direction != np.wind_direction ||
               op.shortest_wavelength != np.shortest_wavelength || op.vertical_scale != np.vertical_scale) {
        m_pendingLevel = std::max(m_pendingLevel, std::int32_t(kSurfaceResetWaves));
        changed = true;
    }

    // Ocean optics: its block is rebuilt only when what it is made from changed.
    const HyOceanOpticsParams& ob = c.ocean.block;
    const HyOceanOpticsParams& nb = n.ocean.block;
    bool opticsChanged = ob.wind_speed != np.wind_speed || ob.shortest_wave_length != np.shortest_wavelength;
    for (int k = 0; k < 3; ++k)
        opticsChanged = opticsChanged || ob.water_color[k] != nb.water_color[k] ||
                        ob.index_of_refraction[k] != nb.index_of_refraction[k];
    c.ocean = n.ocean;
    c.primary = n.primary;
    if (opticsChanged) {
        c.ocean.block.wind_speed = np.wind_speed;
        c.ocean.block.shortest_wave_length = np.shortest_wavelength;
        if (m_oceanOptics != nullptr) {
            m_oceanOptics->clear_slope_table();
            m_oceanOptics->clear_second();
            m_oceanOptics->set_parameters(c.ocean.block);
        }
        changed = true;
    }

    if (air_counts(c.air, n.air))
        changed = true;
    c.air = n.air;

    for (int l = 0; l < 2; ++l) {
        if (light_counts(c.lights[l], n.lights[l]))
            changed = true;
        c.lights[l] = n.lights[l];
    }

    for (int w = 0; w < 2; ++w) {
        const CSettingsSwell before = c.swells[w];
        ApplySwell(w, n.swells[w]);
        if (before.enabled != c.swells[w].enabled || before.id != c.swells[w].id ||
            swell_differs(before.record, c.swells[w].record))
            changed = true;
    }

    const float t = float(double(c.render.timeStretch) * double(m_context.time.currentTime));
    if (!changed && t == m_lastFrameTime)
        return kEffectNothingToDo;
    return kEffectOk;
}

// ---- Presets ----------------------------------------------------------------------------------

std::string CEffectVaskel1::SavePreset()
{
    CSettings s;
    SettingsSetDefaults(s);
    if (m_host != nullptr)
        SettingsReadFromHost(*m_host, m_rowIndex, s);
    return PresetText(s);
}

bool CEffectVaskel1::LoadPreset(std::string_view text, std::uint32_t mask, std::vector<std::string>* warnings)
{
    CSettings s;
    SettingsSetDefaults(s);
    if (!PresetRead(text, mask, s, warnings))
        return false;
    if (m_host != nullptr)
        SettingsWriteToHost(*m_host, m_rowIndex, s, mask, warnings);
    return true;
}

void CEffectVaskel1::ResetGroups(std::uint32_t mask, std::vector<std::string>* warnings)
{
    CSettings s;
    SettingsSetDefaults(s);
    if (m_host != nullptr)
        SettingsWriteToHost(*m_host, m_rowIndex, s, mask, warnings);
}

// The effect's own layer and the three image-map layers.
std::int32_t CEffectVaskel1::GetInputCount() { return 4; }

std::int32_t CEffectVaskel1::GetInputParamIndex(std::int32_t input)
{
    switch (input) {
    case 1:
        return FirstValueIndex(ParamGroup::ImageMap1);
    case 2:
        return FirstValueIndex(ParamGroup::ImageMap2);
    case 3:
        return FirstValueIndex(ParamGroup::ImageMap3);
    default:
        return 0;
    }
}

std::int32_t CEffectVaskel1::RegisterParams()
{
    if (m_host == nullptr)
        return 0;
    CHostInterface& host = *m_host;
    // The adapter counts what it adds; the generic interface has no counter, so count here too and
    // reset the adapter's own counter when it is the host-API adapter.
    std::int32_t added = 0;
    auto* ae = dynamic_cast<CAEHost*>(m_host);
    if (ae)
        ae->SetParamCount(0);
    m_groupsTaken = host.IsParamTypeSupported(kParamGroupStart) != 0;
    const std::int32_t offset = m_groupsTaken ? 1 : 0;

    bool seen[kParamGroupCount] = {};
    m_rowIndex.fill(-1);
    int rowNumber = -1;
    std::int32_t cameraId = kCameraFirstId;
    for (const ParamRow& row : ParamTable()) {
        ++rowNumber;
        if (row.kind == kParamHostInput) {
            m_rowIndex[std::size_t(rowNumber)] = 0;
            continue;
        }
        const std::int32_t index = added + 1; // index 0 is the host's input layer
        std::int32_t id = index;
        if (row.idRule == ParamIdRule::Camera)
            id = cameraId;
        else if (row.idRule == ParamIdRule::Zero)
            id = 0;

        const int g = int(row.group);
        if (!seen[g]) {
            seen[g] = true;
            m_groupIndex[g] = row.kind == kParamGroupStart ? index : index - offset;
        }

        std::int32_t ok = 0;
        switch (row.kind) {
        case kParamCustomUI:
            ok = host.AddCustomParam(index, 0, row.name, row.uiWidth, row.uiHeight, row.flags);
            break;
        case kParamGroupStart:
            ok = host.AddGroupStart(index, id, row.name, row.flags);
            break;
        case kParamGroupEnd:
            ok = host.AddGroupEnd(index, id);
            break;
        case kParamLayer:
            ok = host.AddLayerParam(index, id, row.name, row.mapNumber, row.dflt != 0.0f ? 1 : 0, row.flags);
            break;
        case kParamSlider:
            ok = host.AddSliderParam(index, id, row.name, row.sliderMin, row.sliderMax, row.dflt, row.flags,
                                     row.hasValidRange, row.validMin, row.validMax);
            break;
        case kParamAngle:
            ok = host.AddAngleParam(index, id, row.name, row.dflt, row.flags);
            break;
        case kParamCheckbox:
            ok = host.AddCheckboxParam(index, id, row.name, row.flags, row.dflt != 0.0f ? 1 : 0);
            break;
        case kParamPoint:
            ok = host.AddPointParam(index, id, row.name, row.dflt, row.dflt2, row.flags);
            break;
        case kParamPopup:
            ok = host.AddPopupParam(index, id, row.name, row.choices, row.choiceCount, std::int32_t(row.dflt),
                                    row.flags);
            break;
        case kParamColor:
            ok = host.AddColorParam(index, id, row.name, std::int32_t(row.dflt), std::int32_t(row.dflt2),
                                    std::int32_t(row.dflt3), row.flags);
            break;
        default:
            break;
        }
        if (ok) {
            m_rowIndex[std::size_t(rowNumber)] = index;
            ++added;
            if (row.idRule == ParamIdRule::Camera)
                ++cameraId;
        }
    }
    m_registeredCount = (ae ? ae->ParamCount() : added) + 1;
    return m_registeredCount;
}
