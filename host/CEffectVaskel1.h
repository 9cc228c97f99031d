// The ocean effect.
#pragma once

#include <cstdint>

#include <string>
#include <string_view>
#include <vector>

#include "host/CEffect.h"
#include "host/ImageMaps.h"
#include "host/ParamTable.h"
#include "host/Settings.h"
#include "render/HyCamera.h"

class HyOceanSurface;
class HyOceanOptics;

// Pending surface update levels (the driver applies and clears them at the next frame).
enum : std::int32_t {
    kSurfaceUpToDate = 0,
    kSurfaceResetWaves = 1, // wind, smoothness or vertical scale changed
    kSurfaceRebuild = 2,    // grid size or spacing changed
};

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

    // ---- Presets ------------------------------------------------------------------------------
    // The current host values of every group as preset text (the version key first).
    std::string SavePreset();
    // Writes the groups of `mask` from preset text into the host parameters. False (nothing
    // changed) when the text has no version key. Clamped and skipped values are listed in warnings.
    bool LoadPreset(std::string_view text, std::uint32_t mask, std::vector<std::string>* warnings);
    // Writes the defaults of the groups of `mask` into the host parameters.
    void ResetGroups(std::uint32_t mask, std::vector<std::string>* warnings = nullptr);

    // ---- Render driver ------------------------------------------------------------------------
    // Applies a pending surface update, the surface settings (looping) and evolves the surface to
    // `seconds` (already time-stretched), as a frame does before its image maps and camera. Returns an
    // internal code. Used by the frame and by callers that only want the sea (exporters).
    std::int32_t UpdateSurface(double seconds);
    // The progress hook of the scene: reports fraction (0..1) as a count of 1000 while no abort is
    // recorded, and records the host's answer as the abort code; true while nothing asked to stop.
    bool ReportProgress(double fraction);
    std::int32_t AbortCode() const { return m_abortCode; }

    // State, for the presets panel, the command-line host and tests.
    const CSettings& Settings() const { return m_settings; }
    std::int32_t PendingLevel() const { return m_pendingLevel; }
    HyOceanSurface* Surface() const { return m_surface; }
    HyOceanOptics* OceanOptics() const { return m_oceanOptics; }
    const HyRenderData_Camera& Camera() const { return m_camera; }
    const ParamIndexMap& RowIndex() const { return m_rowIndex; }
    float LastFrameTime() const { return m_lastFrameTime; }
    // How often the primary waves were rebuilt or reset (change tracking is measured by these).
    long PrimaryRebuilds() const { return m_primaryRebuilds; }
    long PrimaryResets() const { return m_primaryResets; }
    long Evolutions() const { return m_evolutions; }

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
    // A new surface built from the current primary waves record (null when that fails).
    void BuildSurface();
    // Rebuilds or resets the primary waves as the pending level says, then clears it.
    std::int32_t ApplyPendingSurface();
    // Loop settings from the record; marks the sea for evolution when they change.
    void ApplySurfaceSettings();
    void EvolveSurface(double seconds);
    void DeleteSurface();
    void ApplySwell(int n, const CSettingsSwell& fresh);
    std::int32_t RenderTopView();
    // Modes 3 to 8: the scene renderer into float planes, then into the output.
    std::int32_t RenderScene();

    CSettings m_settings;
    ParamIndexMap m_rowIndex{};
    HyOceanSurface* m_surface = nullptr;
    HyOceanOptics* m_oceanOptics = nullptr;
    HyRenderData_Camera m_camera;
    CImageMaps m_maps;
    float m_lastFrameTime = -1.0f;
    std::int32_t m_pendingLevel = kSurfaceUpToDate;
    std::int32_t m_abortCode = 0;
    // The sea is evolved again only when its time or its elements changed: a camera or colour change
    // at the same time reuses the composed heights.
    double m_evolvedTime = 0.0;
    bool m_surfaceDirty = true;
    bool m_displacedLastFrame = false;
    long m_evolutions = 0;
    long m_primaryRebuilds = 0;
    long m_primaryResets = 0;

    std::int32_t m_groupIndex[kParamGroupCount] = {};
    bool m_groupsTaken = true;
    std::int32_t m_registeredCount = 0;
};
