#include "host/CEffect.h"

#include <cstring>

CEffect::~CEffect() = default;

const char* CEffect::GetName() { return "CEffect"; }
bool CEffect::IsAvailable() { return true; }
bool CEffect::HasDialog() { return false; }
std::uint32_t CEffect::GetOutFlags() { return 0; }

std::int32_t CEffect::SetRenderContext(const CRenderContext* context)
{
    if (context == nullptr)
        return kEffectBadParams;
    m_context = *context;
    m_output = m_context.images[kImageOutput];
    m_input = m_context.images[kImageInput];
    return kEffectOk;
}

std::int32_t CEffect::UpdateSettingsFromHost()
{
    void* current = GetSettings();
    if (current == nullptr)
        return kEffectBadParams;
    const std::uint32_t size = GetSettingsSize();
    // The fresh record starts as a copy, so fields the host does not own (ids in the surface, the
    // optics blocks' derived values) carry over.
    void* fresh = hymem::allocate(size != 0 ? size : 1, false);
    if (fresh == nullptr)
        return kEffectOutOfMemory;
    std::memcpy(fresh, current, size);
    const std::int32_t r = ReadSettingsFromHost(fresh);
    if (r == kEffectOk)
        ApplySettings(fresh);
    m_settingsValid = 1;
    hymem::release(fresh);
    return r;
}

std::int32_t CEffect::SetContextAndApply(const CRenderContext* context, void* settings)
{
    const std::int32_t r = SetRenderContext(context);
    if (r == kEffectOk && settings != nullptr)
        return ApplySettings(settings);
    return r;
}

std::int32_t CEffect::SetContextApplyAndRender(const CRenderContext* context, void* settings)
{
    const std::int32_t r = SetContextAndApply(context, settings);
    // "Nothing changed" still renders the frame; a bad context does not.
    if (r != kEffectOk && r != kEffectNothingToDo)
        return r;
    return RenderFrame();
}

void CEffect::ResetRenderContext()
{
    m_settingsValid = 0;
    m_context = CRenderContext{};
    m_output = nullptr;
    m_input = nullptr;
}

void CEffect::SetHost(CHostInterface* host) { m_host = host; }
std::int32_t CEffect::GetInputCount() { return 1; }
std::int32_t CEffect::GetInputParamIndex(std::int32_t) { return 0; }

std::int32_t CEffect::KeepRenderContext()
{
    m_keepRenderContext = 1;
    return kEffectOk;
}

std::int32_t CEffect::ResetAll()
{
    ResetRenderContext();
    m_keepRenderContext = 0;
    m_settingsValid = 0;
    return kEffectOk;
}

std::uint32_t CEffect::GetCapabilityMask() { return 0xFFFFFFFFu; }

std::int32_t CEffect::Render(std::int32_t inputCount, CImage32** images)
{
    if (m_host == nullptr)
        return kEffectBadParams;
    CRenderContext context;
    m_host->GetTimeInfo(&context.time);
    context.inputCount = inputCount;
    if (images != nullptr)
        for (int i = 0; i < kRenderImageCount; ++i)
            context.images[i] = images[i];
    std::int32_t r = SetRenderContext(&context);
    if (r != kEffectOk)
        return r;
    UpdateSettingsFromHost();
    m_quality = m_host->IsHighQuality() ? 2 : 0;
    r = RenderFrame();
    if (!m_keepRenderContext)
        ResetRenderContext();
    return r;
}

std::int32_t CEffect::GetReserved() { return 0; }
