// The ocean effect.
#pragma once

#include <cstdint>

#include "host/CEffect.h"
#include "host/ParamTable.h"

class CEffectVaskel1 : public CEffect {
public:
    CEffectVaskel1();
    ~CEffectVaskel1() override;

    const char* GetName() override;
    std::uint32_t GetOutFlags() override;
    std::int32_t SetRenderContext(const CRenderContext* context) override;
    std::int32_t ApplySettings(void* settings) override;
    std::int32_t RenderFrame() override;
    void ResetRenderContext() override;
    void* GetSettings() override;
    std::uint32_t GetSettingsSize() override;
    std::int32_t ResetToDefaults() override;
    std::int32_t GetInputCount() override;
    std::int32_t GetInputParamIndex(std::int32_t input) override;
    std::int32_t ReadSettingsFromHost(void* settings) override;
    std::int32_t RegisterParams() override;

    // Remembered at registration: the index at which each group begins (its group start when the
    // host takes groups). Swell 1 and 2 have no group start of their own; theirs is set so that
    // FirstValueIndex works the same way.
    std::int32_t GroupIndex(ParamGroup group) const { return m_groupIndex[int(group)]; }
    // Index of a group's first value parameter: the remembered index, + 1 when groups were taken.
    std::int32_t FirstValueIndex(ParamGroup group) const
    {
        return m_groupIndex[int(group)] + (m_groupsTaken ? 1 : 0);
    }
    bool GroupsTaken() const { return m_groupsTaken; }
    std::int32_t RegisteredCount() const { return m_registeredCount; }

private:
    std::int32_t m_groupIndex[kParamGroupCount] = {};
    bool m_groupsTaken = true;
    std::int32_t m_registeredCount = 0;
};
