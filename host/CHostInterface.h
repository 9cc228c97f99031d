// The effect's only view of its host. The effect classes know nothing of the host's data blocks;
// everything they ask of the host (parameter definitions and values, progress, time) goes through here.
//
// Virtual operations are in a fixed order (the comment number is each operation's place); a derived
// adapter keeps the places. Duplicate places (16/19, 17/21, 22/26, 23/27) behave alike.
#pragma once

#include <cstdint>

#include "host/CHostInput.h"
#include "platform/HyMemory.h"

// Time information of the current call, 32-bit words in this order.
struct CHostTimeInfo {
    float framesPerSecond = 0.0f;   // time scale / step
    float frameDuration = 0.0f;     // seconds: time step / time scale
    float currentTime = 0.0f;       // seconds
    std::int32_t reserved0 = 0;
    float duration = 0.0f;          // seconds
    std::int32_t reserved1 = 0;
    std::int32_t frameCount = 0;    // trunc(total time / step)
    std::int32_t currentFrame = 0;  // trunc(current time / step)
    std::int32_t untouched[3] = {0, 0, 0}; // GetTimeInfo leaves these as they are
    std::int32_t downsampleX = 1;   // denominator / numerator of the host's downsample ratio
    std::int32_t downsampleY = 1;
};
static_assert(sizeof(CHostTimeInfo) == 13 * 4, "time information is thirteen 32-bit words");

class CHostInterface : public HyAllocated {
public:
    virtual ~CHostInterface();                                                   // 0
    virtual std::int32_t MapParamIndex(std::int32_t index) = 0;                   // 1
    virtual bool IsHighQuality() = 0;                                            // 2
    // Reports progress; nonzero means the host asks to stop (the host's error code).
    virtual std::int32_t Progress(std::int32_t current, std::int32_t total) = 0; // 3
    // 0 when filled; 2 without host data or record.
    virtual std::int32_t GetTimeInfo(CHostTimeInfo* record) = 0;                 // 4

    // Adders return 1 when the parameter was added (or counted), 0 when not.
    virtual std::int32_t AddLayerParam(std::int32_t index, std::int32_t id, const char* name,
                                       std::int32_t mapNumber, std::int32_t defaultFlag,
                                       std::int32_t flags) = 0;                  // 5
    virtual std::int32_t NoOperation() = 0;                                      // 6
    virtual std::int32_t AddCheckboxParam(std::int32_t index, std::int32_t id, const char* name,
                                          std::int32_t flags, std::int32_t dflt) = 0; // 7
    // Without a valid range (hasValid 0) the adapter derives one from the slider range.
    virtual std::int32_t AddSliderParam(std::int32_t index, std::int32_t id, const char* name,
                                        float sliderMin, float sliderMax, float dflt,
                                        std::int32_t flags, bool hasValid, float validMin,
                                        float validMax) = 0;                    // 8
    virtual std::int32_t AddPointParam(std::int32_t index, std::int32_t id, const char* name,
                                       float x, float y, std::int32_t flags) = 0; // 9
    virtual std::int32_t AddColorParam(std::int32_t index, std::int32_t id, const char* name,
                                       std::int32_t red, std::int32_t green, std::int32_t blue,
                                       std::int32_t flags) = 0;                  // 10
    virtual std::int32_t AddPopupParam(std::int32_t index, std::int32_t id, const char* name,
                                       const char* choices, std::int32_t count, std::int32_t dflt,
                                       std::int32_t flags) = 0;                  // 11
    virtual std::int32_t AddAngleParam(std::int32_t index, std::int32_t id, const char* name,
                                       float dflt, std::int32_t flags) = 0;      // 12
    virtual std::int32_t AddPointParamD(std::int32_t index, std::int32_t id, const char* name,
                                        double x, double y, std::int32_t flags) = 0; // 13
    virtual std::int32_t AddSliderParamD(std::int32_t index, std::int32_t id, const char* name,
                                         double sliderMin, double sliderMax, double dflt,
                                         std::int32_t flags) = 0;                // 14
    virtual std::int32_t AddCustomParam(std::int32_t index, std::int32_t id, const char* name,
                                        std::int32_t width, std::int32_t height,
                                        std::int32_t flags) = 0;                 // 15

    // Getters read the current parameter array; without one they return 1.
    virtual std::int32_t GetParamInt(std::int32_t index) = 0;                    // 16
    virtual float GetParamFloat(std::int32_t index) = 0;                         // 17
    virtual std::int32_t GetParamPoint(std::int32_t index, float* x, float* y) = 0; // 18
    virtual std::int32_t GetParamLong(std::int32_t index) = 0;                   // 19
    virtual std::int32_t GetParamColor(std::int32_t index, std::uint8_t* red, std::uint8_t* green,
                                       std::uint8_t* blue) = 0;                  // 20
    virtual double GetParamDouble(std::int32_t index) = 0;                       // 21

    // Setters store the value and mark the parameter changed; 0 when done, 1 when there is nothing
    // to set (no parameter array, index out of range, a parameter of another kind).
    virtual std::int32_t SetParamInt(std::int32_t index, std::int32_t value) = 0; // 22
    virtual std::int32_t SetParamFloat(std::int32_t index, float value) = 0;      // 23
    virtual std::int32_t SetParamPoint(std::int32_t index, float x, float y) = 0; // 24
    virtual std::int32_t SetParamColor(std::int32_t index, std::int32_t red, std::int32_t green,
                                       std::int32_t blue) = 0;                   // 25
    virtual std::int32_t SetParamLong(std::int32_t index, std::int32_t value) = 0; // 26
    virtual std::int32_t SetParamDouble(std::int32_t index, double value) = 0;    // 27

    virtual std::int32_t AddGroupStart(std::int32_t index, std::int32_t id, const char* name,
                                       std::int32_t flags) = 0;                  // 28
    virtual std::int32_t AddGroupEnd(std::int32_t index, std::int32_t id) = 0;   // 29
    virtual std::int32_t AddParam(std::int32_t type, CHostInput* descriptor) = 0; // 30
    // 0 when the value was read into the descriptor, 1 when not.
    virtual std::int32_t GetParamValue(std::int32_t type, std::int32_t index,
                                       CHostInput* descriptor) = 0;              // 31
    virtual std::int32_t GetParamValueAt(std::int32_t type, std::int32_t index, std::int32_t time,
                                         CHostInput* descriptor) = 0;            // 32
    virtual std::int32_t IsParamTypeSupported(std::int32_t type);                // 33
};
