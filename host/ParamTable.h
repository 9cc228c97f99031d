// The effect's parameter list: one table that states every parameter once (registration order,
// type, name, persistent id, flags, defaults, ranges, pop-up choices, group and preset keys). It drives
// registration with the host, and the settings reader, presets and the command-line host read it.
//
// Saved projects store parameters by index and id: the order and ids here must never change.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "host/CHostInput.h"

// Groups of the list (a row's `group`); the remembered group indices are kept per group.
enum class ParamGroup : std::int8_t {
    Input,        // index 0, the host's own layer
    Presets,      // index 1, the presets panel
    RenderOptions,
    ImageMap1,
    ImageMap2,
    ImageMap3,
    Camera,
    AirOptics,
    OceanOptics,
    PrimaryWaves,
    Light1,
    Light2,
    Swells,       // the group with "Enable:"
    Swell1,       // swell 1's fields inside "Swells"
    Swell2,       // swell 2's fields inside "Swells"
};
constexpr int kParamGroupCount = 15;

// Table-only kinds besides the internal type codes of CHostInput.h.
enum : std::int32_t {
    kParamHostInput = 0,   // the host supplies it; never registered
    kParamCustomUI = 100,  // the presets panel: added with AddCustomParam
};

// How a row's persistent id is formed when it is registered.
enum class ParamIdRule : std::int8_t {
    Index,  // id = the index it gets
    Camera, // ids of the camera group run from 200 in the order they are added
    Zero,   // id 0 (the presets panel, the camera and swells group ends)
};

constexpr std::int32_t kParamCountWithGroups = 124;
constexpr std::int32_t kParamCountWithoutGroups = 102;
constexpr std::int32_t kCameraFirstId = 200;
constexpr std::int32_t kPresetsPanelWidth = 215;
constexpr std::int32_t kPresetsPanelHeight = 79;

struct ParamRow {
    std::int32_t kind = kParamHostInput; // internal type code, kParamHostInput or kParamCustomUI
    char name[32] = {};                  // exact text, trailing blanks included; "" for a group end
    std::int32_t idWithGroups = 0;       // the persistent id on a host that takes groups
    ParamIdRule idRule = ParamIdRule::Index;
    std::int32_t flags = 0;              // kParamFlag* of CHostInput.h
    float dflt = 0.0f;                   // in the parameter's own units (degrees, metres, 1-based choice)
    float dflt2 = 0.0f;                  // colour green
    float dflt3 = 0.0f;                  // colour blue
    float sliderMin = 0.0f;
    float sliderMax = 0.0f;
    bool hasValidRange = false;          // false: derived from the slider range (DeriveValidRange)
    float validMin = 0.0f;
    float validMax = 0.0f;
    const char* choices = nullptr;       // pop-up choices separated by '|'
    std::int32_t choiceCount = 0;
    std::int32_t mapNumber = 0;          // 1..3 for an image map's layer
    std::int32_t uiWidth = 0;            // custom control area
    std::int32_t uiHeight = 0;
    ParamGroup group = ParamGroup::Input;
    // Preset keys: colours have three (red, green, blue); "Enable:" has two (the enabled state of
    // swell 1 and swell 2); most have one; layers, groups and the panel none.
    char presetKeys[3][24] = {};
    std::int32_t presetKeyCount = 0;
};

// Row i is the parameter at index i on a host that takes groups.
const std::array<ParamRow, kParamCountWithGroups>& ParamTable();

// One parameter as a host of the given kind sees it, with every later index closed up.
struct ParamSlot {
    const ParamRow* row = nullptr;
    std::int32_t index = 0;
    std::int32_t id = 0;
    float validMin = 0.0f; // given or derived
    float validMax = 0.0f;
};

// The list a host receives when every add succeeds: 124 slots with groups, 102 without.
std::vector<ParamSlot> ParamLayout(bool groups);

// Index of the first value parameter of a group (e.g. ImageMap1 -> its "Map Layer:"), or -1.
std::int32_t ParamFirstValueIndex(ParamGroup group, bool groups);

// Valid range of a slider that gives none: maximum 10 × smax, not below smax, not above 24000;
// minimum 10 × smin except that a positive smin is kept, and not below -24000.
void DeriveValidRange(float sliderMin, float sliderMax, float* validMin, float* validMax);
// The row's valid range: given, or derived for sliders.
void ParamValidRange(const ParamRow& row, float* validMin, float* validMax);

// True for rows that exist only on hosts that take groups.
inline bool ParamIsGroupRow(const ParamRow& row)
{
    return row.kind == kParamGroupStart || row.kind == kParamGroupEnd;
}

// Name of a group as the presets panel and the command line show it ("Render Options", ...).
const char* ParamGroupName(ParamGroup group);
