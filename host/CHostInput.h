// The parameter descriptor the effect hands to the host adapter for every parameter it defines, the
// effect's internal parameter type codes, and its internal parameter flags.
#pragma once

#include <cstdint>

#include "platform/HyMemory.h"

// Internal parameter type codes; the adapter turns them into host parameter types.
enum : std::int32_t {
    kParamLayer = 1,      // host layer; default 0 = none, otherwise the effect's own layer
    kParamFixedInt = 2,   // a 16.16 value read back like a slider (no adder uses it)
    kParamSlider = 3,     // fixed-point slider, precision 2
    kParamAngle = 5,      // degrees in 16.16
    kParamCheckbox = 6,   // 0 or 1
    kParamPoint = 7,      // fractions of the layer; the host keeps pixels
    kParamPopup = 8,      // 1-based choice
    kParamColor = 9,      // red, green, blue 0..255
    kParamGroupStart = 11,
    kParamGroupEnd = 12,
};

// Internal flags; the adapter maps them to host parameter flags.
enum : std::int32_t {
    kParamFlagStartCollapsed = 2,  // S: the group or slider twirly starts collapsed
    kParamFlagCannotTimeVary = 16, // T: no keyframes
    kParamFlagCannotInterp = 32,   // I: hold keyframes only
};

// One parameter's definition, or a value read back from the host (see CAEHost::GetParamValue).
class CHostInput : public HyAllocated {
public:
    CHostInput() = default;
    virtual ~CHostInput() = default;

    const char* name = nullptr; // may be null for a group end
    std::int32_t index = 0;     // position in the parameter list
    std::int32_t id = 0;        // persistent id saved with projects
    std::int32_t flags = 0;     // internal flags above
    float dflt = 0.0f;          // default (value when read back)
    float dflt2 = 0.0f;         // colour green, point y
    float dflt3 = 0.0f;         // colour blue
    float sliderMin = 0.0f;
    float sliderMax = 0.0f;
    float validMin = 0.0f;
    float validMax = 0.0f;
    const char* choices = nullptr; // pop-up choices separated by '|'
    std::int32_t choiceCount = 0;  // pop-up choice count; integer value when read back
    std::uint8_t hasValidRange = 0; // 0: the adapter derives the valid range from the slider range
};
