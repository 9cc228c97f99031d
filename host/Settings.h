// The settings record: every parameter value of one frame in engine units (metres, seconds, radians),
// grouped as the effect compares them, plus the conversions between the record and the host's values
// and the preset keys through which presets store the record.
//
// Which parameter feeds which field, with which conversion, is stated once in Settings.cpp as a list per
// parameter group in the order of the parameter table (host/ParamTable.h); reading, writing back,
// presets and the command-line host all walk that one list.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/ParamTable.h"
#include "ocean/HyOceanSurface.h"
#include "optics/HyAirOptics.h"
#include "optics/HyOceanOptics.h"

class CHostInterface;

// Render options. Every field is 4 bytes and there is no padding, so a byte comparison is exact.
struct CSettingsRender {
    std::int32_t renderMode;   // 1-based "Render Mode:"
    std::int32_t renderWhat;   // 1-based "Render What:"
    float colourMin;
    float colourMax;
    float timeStretch;
    float doubleDistance;      // metres
    float maxDistance;         // metres
    float loopTime;            // seconds
    float gamma;
    float grayscaleZoom;
};

struct CSettingsImageMap {
    std::int32_t reserved;     // not read from the host
    std::int32_t type;         // 1-based "Map is:"
    std::int32_t channel;      // 1-based "Displace on:"
    float intensity;
    float centreX;             // metres
    float centreY;             // metres
    float scaleYValue;         // value of "Scale Y"
    float scaleXValue;         // value of "Scale X"
    float angle;               // radians of 360 - degrees
    float blur;
    std::int32_t layout;       // 1-based "Layout:"
};

struct CSettingsCamera {
    float x, y, z;             // metres; y is north (the host's value negated)
    float tilt, pan, roll;     // radians; pan is radians of 450 - degrees
    float horizontalFov;       // radians
    float platformSize;        // metres
    float reserved;
};

struct CSettingsOceanOptics {
    std::int32_t red, green, blue; // "Water Color" 0..255
    std::int32_t full[3];          // always 255
    float colourScale;
    float indexOfRefraction;
    HyOceanOpticsParams block;     // water colour = component x scale / 255; wind from the primary waves
};

struct CSettingsLight {
    float elevation;           // radians
    float azimuth;             // radians, the host's value negated
    std::int32_t red, green, blue;
    float intensity, viewedIntensity, viewedSize, glitterScale, waterColourScale;
    std::int32_t valid;        // 1
    std::int32_t affects;      // 0 nothing, 1 air, 2 water, 3 both
};

struct CSettingsSwell {
    std::uint32_t id;          // the swell's element id in the surface, 0 = none
    std::int32_t enabled;
    HySwell_data record;       // size follows the primary waves; spacing follows the length
};

struct CSettings {
    CSettingsRender render;
    CSettingsImageMap maps[3];
    CSettingsCamera camera;
    CSettingsOceanOptics ocean;
    HyAirOpticsParams air;
    HyPrimaryWaves_data primary;
    CSettingsLight lights[2];
    CSettingsSwell swells[2];
};

// Every byte cleared (so padding compares equal), then the defaults.
void SettingsSetDefaults(CSettings& s);

// Parameter index of each row of the parameter table for the host at hand (-1: not registered).
using ParamIndexMap = std::array<std::int32_t, kParamCountWithGroups>;
// The indices a host gets when every add succeeds.
ParamIndexMap ParamIndexMapFor(bool groups);

// Reads every group from the host into `s` at the current time, converting to engine units; fields
// the host does not own (swell ids, reserved words, the optics blocks' other values) keep what `s`
// held. Derived values (ocean optics colour and indices, swell sizes, light valid flags) are filled.
void SettingsReadFromHost(CHostInterface& host, const ParamIndexMap& index, CSettings& s);

// Preset group mask bits.
enum : std::uint32_t {
    kPresetRenderOptions = 0x1,
    kPresetImageMap1 = 0x2,
    kPresetImageMap2 = 0x4,
    kPresetImageMap3 = 0x8,
    kPresetCamera = 0x10,
    kPresetPrimaryWaves = 0x20,
    kPresetAirOptics = 0x40,
    kPresetOceanOptics = 0x80,
    kPresetLight1 = 0x100,
    kPresetLight2 = 0x200,
    kPresetSwell1 = 0x400,
    kPresetSwell2 = 0x800,
    kPresetAll = 0xFFFF,
};

// The mask bit of a preset group (0 for groups presets do not hold: the input layer, the panel).
// The "Swells" group row ("Enable:") belongs to both swell bits.
std::uint32_t PresetMaskBit(ParamGroup group);
// Mask of a group name as the presets panel lists it ("All", "Render Options", ..., "Lights",
// "Swells", also "Light 1", "Swell 2"); 0 for an unknown name. Case is ignored.
std::uint32_t PresetMaskForName(std::string_view name);

// Writes the groups of `mask` from the record into the host, converting back to the host's units
// (and setting each parameter's changed flag). When either swell bit is set, "Enable:" is set from
// both swells' enabled states and both swells are written. A value outside its parameter's valid
// range is clamped to it, and a value that is not a number is skipped; each says so in `warnings`.
void SettingsWriteToHost(CHostInterface& host, const ParamIndexMap& index, const CSettings& s,
                         std::uint32_t mask, std::vector<std::string>* warnings);

// ---- Preset text ------------------------------------------------------------------------------

constexpr const char* kPresetVersionKey = "SeaVast_Ver";
constexpr std::int32_t kPresetVersion = 1;

// KEY=VALUE; text of every group in preset order, the version key first.
std::string PresetText(const CSettings& s);

// Reads the groups of `mask` from preset text into `s` (other groups keep what `s` holds). False,
// with `s` untouched, when the text has no version key. Values that are not clean numbers are
// skipped with a warning (the field keeps its value).
bool PresetRead(std::string_view text, std::uint32_t mask, CSettings& s, std::vector<std::string>* warnings);

// One stored value of a preset, for listing: the key, the parameter it belongs to and its text.
struct PresetEntry {
    std::string key;
    ParamGroup group = ParamGroup::Input; // the swell a "Enable:" key belongs to for the enable keys
    const ParamRow* row = nullptr;
    int component = 0; // colour component (0 red, 1 green, 2 blue); the swell for the enable keys
    bool found = false;
    std::string value; // as written in the file, empty when missing
};
// Every key presets know, in preset order, with what `text` holds for it.
std::vector<PresetEntry> PresetEntries(std::string_view text);

// Each preset key in preset order with the table row it stores (for the command line's key lookup).
struct PresetKeyInfo {
    const char* key;
    int row;        // index in ParamTable()
    int component;  // which of the row's keys (colour component, or the swell of "Enable:")
    ParamGroup group;
};
const std::vector<PresetKeyInfo>& PresetKeys();
