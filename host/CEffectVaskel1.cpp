#include "host/CEffectVaskel1.h"

#include "host/CAEHost.h"

#include <cstddef>
#include <cstring>

CEffectVaskel1::CEffectVaskel1()
{
    // Until RegisterParams runs, the indices are those of a host that takes groups.
    m_groupsTaken = true;
    for (int g = 0; g < kParamGroupCount; ++g) {
        const std::int32_t first = ParamFirstValueIndex(ParamGroup(g), true);
        m_groupIndex[g] = first > 0 ? first - 1 : 0;
    }
}

CEffectVaskel1::~CEffectVaskel1() = default;

const char* CEffectVaskel1::GetName() { return "Vaskel1"; }

// Varies without parameter changes (bit 1: the sea moves with time) and works in place (bit 3).
std::uint32_t CEffectVaskel1::GetOutFlags() { return 10; }

std::int32_t CEffectVaskel1::SetRenderContext(const CRenderContext* context)
{
    return CEffect::SetRenderContext(context);
}

void CEffectVaskel1::ResetRenderContext() { CEffect::ResetRenderContext(); }

// The settings record, its comparison and the frame renderer are not part of this build yet:
// until they are, there is no record to read into or compare, and a render has nothing to do
// (internal result 4, which the host sees as success with its output left as it gave it).
std::int32_t CEffectVaskel1::ApplySettings(void*) { return kEffectNothingToDo; }

std::int32_t CEffectVaskel1::RenderFrame()
{
    m_lastHostError = 0;
    // Every frame starts transparent black, so a frame with nothing drawn is still well defined.
    if (m_output != nullptr && m_output->pixels != nullptr)
        for (std::int32_t y = 0; y < m_output->height; ++y)
            std::memset(m_output->pixels + std::ptrdiff_t(y) * m_output->rowBytes, 0,
                        std::size_t(m_output->width) * 4);
    return kEffectNothingToDo;
}

void* CEffectVaskel1::GetSettings() { return nullptr; }
std::uint32_t CEffectVaskel1::GetSettingsSize() { return 0; }
std::int32_t CEffectVaskel1::ResetToDefaults() { return kEffectOk; }
std::int32_t CEffectVaskel1::ReadSettingsFromHost(void*) { return kEffectBadParams; }

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
    std::int32_t cameraId = kCameraFirstId;
    for (const ParamRow& row : ParamTable()) {
        if (row.kind == kParamHostInput)
            continue;
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
            ++added;
            if (row.idRule == ParamIdRule::Camera)
                ++cameraId;
        }
    }
    m_registeredCount = (ae ? ae->ParamCount() : added) + 1;
    return m_registeredCount;
}
