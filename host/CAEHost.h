// The host adapter for hosts that speak the effect API in sdk/: adds parameter definitions, reads and
// writes parameter values of the current call, reports progress, gives time information and checks
// layers out and in.
//
// The entry point binds the adapter to each call (in-data and parameter array) and puts the previous
// binding back afterwards. Every operation tolerates a missing in-data or parameter array.
#pragma once

#include <cstdint>

#include "host/CHostInterface.h"
#include "sdk/AE_Effect.h"

class CAEHost : public CHostInterface {
public:
    CAEHost(std::int32_t paramCount = 0, std::int32_t setupMode = 1, PF_InData* inData = nullptr,
            PF_ParamDef** params = nullptr);
    ~CAEHost() override;

    std::int32_t MapParamIndex(std::int32_t index) override;
    bool IsHighQuality() override;
    std::int32_t Progress(std::int32_t current, std::int32_t total) override;
    std::int32_t GetTimeInfo(CHostTimeInfo* record) override;
    std::int32_t AddLayerParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t mapNumber,
                               std::int32_t defaultFlag, std::int32_t flags) override;
    std::int32_t NoOperation() override;
    std::int32_t AddCheckboxParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t flags,
                                  std::int32_t dflt) override;
    std::int32_t AddSliderParam(std::int32_t index, std::int32_t id, const char* name, float sliderMin,
                                float sliderMax, float dflt, std::int32_t flags, bool hasValid, float validMin,
                                float validMax) override;
    std::int32_t AddPointParam(std::int32_t index, std::int32_t id, const char* name, float x, float y,
                               std::int32_t flags) override;
    std::int32_t AddColorParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t red,
                               std::int32_t green, std::int32_t blue, std::int32_t flags) override;
    std::int32_t AddPopupParam(std::int32_t index, std::int32_t id, const char* name, const char* choices,
                               std::int32_t count, std::int32_t dflt, std::int32_t flags) override;
    std::int32_t AddAngleParam(std::int32_t index, std::int32_t id, const char* name, float dflt,
                               std::int32_t flags) override;
    std::int32_t AddPointParamD(std::int32_t index, std::int32_t id, const char* name, double x, double y,
                                std::int32_t flags) override;
    std::int32_t AddSliderParamD(std::int32_t index, std::int32_t id, const char* name, double sliderMin,
                                 double sliderMax, double dflt, std::int32_t flags) override;
    std::int32_t AddCustomParam(std::int32_t index, std::int32_t id, const char* name, std::int32_t width,
                                std::int32_t height, std::int32_t flags) override;
    std::int32_t GetParamInt(std::int32_t index) override;
    float GetParamFloat(std::int32_t index) override;
    std::int32_t GetParamPoint(std::int32_t index, float* x, float* y) override;
    std::int32_t GetParamLong(std::int32_t index) override;
    std::int32_t GetParamColor(std::int32_t index, std::uint8_t* red, std::uint8_t* green,
                               std::uint8_t* blue) override;
    double GetParamDouble(std::int32_t index) override;
    std::int32_t SetParamInt(std::int32_t index, std::int32_t value) override;
    std::int32_t SetParamFloat(std::int32_t index, float value) override;
    std::int32_t SetParamPoint(std::int32_t index, float x, float y) override;
    std::int32_t SetParamColor(std::int32_t index, std::int32_t red, std::int32_t green,
                               std::int32_t blue) override;
    std::int32_t SetParamLong(std::int32_t index, std::int32_t value) override;
    std::int32_t SetParamDouble(std::int32_t index, double value) override;
    std::int32_t AddGroupStart(std::int32_t index, std::int32_t id, const char* name, std::int32_t flags) override;
    std::int32_t AddGroupEnd(std::int32_t index, std::int32_t id) override;
    std::int32_t AddParam(std::int32_t type, CHostInput* descriptor) override;
    std::int32_t GetParamValue(std::int32_t type, std::int32_t index, CHostInput* descriptor) override;
    std::int32_t GetParamValueAt(std::int32_t type, std::int32_t index, std::int32_t time,
                                 CHostInput* descriptor) override;
    std::int32_t IsParamTypeSupported(std::int32_t type) override;

    // Checks a layer parameter out at the current time, time step and time scale. True when the host
    // gave a layer with pixels; a layer without pixels is checked back in at once.
    bool CheckoutLayer(std::int32_t index, PF_ParamDef* layer);
    void CheckinLayer(PF_ParamDef* layer);

    // Binding: the entry point stores each call's in-data and parameter array here.
    void Bind(PF_InData* inData, PF_ParamDef** params)
    {
        m_inData = inData;
        m_params = params;
    }
    PF_InData* InData() const { return m_inData; }
    PF_ParamDef** Params() const { return m_params; }

    std::int32_t ParamCount() const { return m_paramCount; }
    void SetParamCount(std::int32_t n) { m_paramCount = n; }
    std::int32_t ParamSetupMode() const { return m_setupMode; }
    void SetParamSetupMode(std::int32_t mode) { m_setupMode = mode; }

    // Host parameter flags of the internal flags (S 2 -> 32, T 16 -> 2, I 32 -> 4).
    static PF_ParamFlags MapFlags(std::int32_t internalFlags);

private:
    // The parameter at index in the current array, or null when there is none.
    PF_ParamDef* Param(std::int32_t index) const;
    void CopyName(PF_ParamDef& def, const char* name) const;
    std::int32_t Send(PF_ParamDef& def);

    std::int32_t m_paramCount = 0;
    std::int32_t m_setupMode = 1;
    PF_InData* m_inData = nullptr;
    PF_ParamDef** m_params = nullptr;
};
