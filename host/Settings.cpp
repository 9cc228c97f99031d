#include "host/Settings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "host/CHostInterface.h"
#include "ui/CTokener.h"

namespace {

constexpr double kDegToRad = 0.0174532925199433;
constexpr double kRadToDeg = 1.0 / kDegToRad;
// An angle parameter holds degrees in 16.16: beyond this the host cannot store it.
constexpr double kAngleLimit = 32767.0;

// How a host value becomes a record value.
enum class Conv : std::uint8_t {
    None,       // not stored (layers)
    AsInt,      // pop-ups and checkboxes as read (1-based)
    Minus1,     // 0-based pop-ups
    Complexity, // 1 -> 256, 2 -> 512, other -> 1024
    Enable,     // "Enable:": the component says which swell
    Plain,
    Kilo,       // kilometres -> metres
    Negate,
    Deg,        // degrees -> radians
    Compass450, // radians of 450 - degrees
    Compass360, // radians of 360 - degrees
    NegDeg,     // negated radians
    AtLeastOne,
    AtMostTen,
    ColourInt,  // three int32: 0..255
    ColourFrac, // three doubles: 0..1
};

enum class Store : std::uint8_t { None, I32, F32, F64 };

template <class T> constexpr Store store_of()
{
    using E = std::remove_cv_t<std::remove_extent_t<T>>;
    if constexpr (std::is_same_v<E, std::int32_t> || std::is_same_v<E, std::uint32_t>)
        return Store::I32;
    else if constexpr (std::is_same_v<E, float>)
        return Store::F32;
    else
        return Store::F64;
}

struct Spec {
    Conv conv = Conv::None;
    Store store = Store::None;
    std::size_t offset = 0; // within the group's struct
    bool presetBeforePrevious = false; // its key is saved ahead of the one before it
};

#define SPEC(conv, S, member) Spec{Conv::conv, store_of<decltype(S::member)>(), offsetof(S, member), false}

using RO = CSettingsRender;
using IM = CSettingsImageMap;
using CA = CSettingsCamera;
using OO = CSettingsOceanOptics;
using AO = HyAirOpticsParams;
using PW = HyPrimaryWaves_data;
using LI = CSettingsLight;
using SW = HySwell_data;

// One list per group, in the order of the group's value rows in the parameter table.
const Spec kRenderSpecs[] = {
    SPEC(AsInt, RO, renderWhat),     SPEC(AsInt, RO, renderMode),  SPEC(Plain, RO, grayscaleZoom),
    SPEC(Plain, RO, doubleDistance), SPEC(Kilo, RO, maxDistance),  SPEC(Plain, RO, timeStretch),
    SPEC(Plain, RO, loopTime),       SPEC(Plain, RO, gamma),       SPEC(Plain, RO, colourMin),
    SPEC(Plain, RO, colourMax),
};
const Spec kMapSpecs[] = {
    Spec{},                                  // "Map Layer:"
    SPEC(AsInt, IM, type),       SPEC(AsInt, IM, channel),     SPEC(Plain, IM, intensity),
    SPEC(Plain, IM, centreX),    SPEC(Plain, IM, centreY),     SPEC(Compass360, IM, angle),
    SPEC(Plain, IM, scaleXValue),
    // "Scale Y" is saved under SCALEX, ahead of "Scale X" under SCALEY.
    Spec{Conv::Plain, Store::F32, offsetof(IM, scaleYValue), true},
    SPEC(Plain, IM, blur),       SPEC(AsInt, IM, layout),
};
const Spec kCameraSpecs[] = {
    SPEC(Plain, CA, x),    SPEC(Negate, CA, y),          SPEC(Plain, CA, z),
    SPEC(Deg, CA, tilt),   SPEC(Compass450, CA, pan),    SPEC(Deg, CA, roll),
    SPEC(Deg, CA, horizontalFov), SPEC(Plain, CA, platformSize),
};
const Spec kAirSpecs[] = {
    SPEC(Plain, AO, scattering_bias),  SPEC(AsInt, AO, haze_on),          SPEC(Kilo, AO, haze_visibility),
    SPEC(AtLeastOne, AO, haze_height), SPEC(ColourFrac, AO, haze_color),  SPEC(Plain, AO, haze_diffusivity),
    SPEC(Minus1, AO, rainbow_style),   SPEC(Deg, AO, rainbow_radius),     SPEC(Plain, AO, rainbow_intensity),
    SPEC(Plain, AO, rainbow_thickness),
};
const Spec kOceanSpecs[] = {
    SPEC(ColourInt, OO, red), SPEC(Plain, OO, colourScale), SPEC(Plain, OO, indexOfRefraction),
};
const Spec kPrimarySpecs[] = {
    SPEC(Complexity, PW, size),     SPEC(AtMostTen, PW, large_spacing), SPEC(AtMostTen, PW, small_spacing),
    SPEC(Compass450, PW, wind_direction), SPEC(Plain, PW, wind_speed), SPEC(Plain, PW, shortest_wavelength),
    SPEC(Plain, PW, vertical_scale),
};
const Spec kLightSpecs[] = {
    SPEC(Minus1, LI, affects),        SPEC(Deg, LI, elevation),         SPEC(NegDeg, LI, azimuth),
    SPEC(ColourInt, LI, red),         SPEC(Plain, LI, intensity),       SPEC(Plain, LI, viewedIntensity),
    SPEC(Plain, LI, viewedSize),      SPEC(Plain, LI, glitterScale),    SPEC(Plain, LI, waterColourScale),
};
const Spec kSwellSpecs[] = {
    SPEC(Compass450, SW, direction), SPEC(Plain, SW, height), SPEC(Plain, SW, length),
    SPEC(Plain, SW, roughness),      SPEC(Plain, SW, oscillations),
};

#undef SPEC

// One field of the record fed by one parameter (one component of it).
struct Binding {
    int row = 0;       // ParamTable() index
    int component = 0; // colour component, or for "Enable:" the swell (0, 1)
    ParamGroup presetGroup = ParamGroup::Input;
    Spec spec;
    std::size_t offset = 0; // within CSettings
};

struct Bindings {
    std::vector<Binding> read;   // parameter order (one per value row; colours and "Enable:" once)
    std::vector<Binding> preset; // preset order, one per key
    std::vector<PresetKeyInfo> keys;
};

std::size_t group_base(ParamGroup g)
{
    switch (g) {
    case ParamGroup::RenderOptions: return offsetof(CSettings, render);
    case ParamGroup::ImageMap1: return offsetof(CSettings, maps);
    case ParamGroup::ImageMap2: return offsetof(CSettings, maps) + sizeof(CSettingsImageMap);
    case ParamGroup::ImageMap3: return offsetof(CSettings, maps) + 2 * sizeof(CSettingsImageMap);
    case ParamGroup::Camera: return offsetof(CSettings, camera);
    case ParamGroup::AirOptics: return offsetof(CSettings, air);
    case ParamGroup::OceanOptics: return offsetof(CSettings, ocean);
    case ParamGroup::PrimaryWaves: return offsetof(CSettings, primary);
    case ParamGroup::Light1: return offsetof(CSettings, lights);
    case ParamGroup::Light2: return offsetof(CSettings, lights) + sizeof(CSettingsLight);
    case ParamGroup::Swell1: return offsetof(CSettings, swells) + offsetof(CSettingsSwell, record);
    case ParamGroup::Swell2:
        return offsetof(CSettings, swells) + sizeof(CSettingsSwell) + offsetof(CSettingsSwell, record);
    default: return 0;
    }
}

template <std::size_t N> std::vector<Spec> list(const Spec (&a)[N]) { return std::vector<Spec>(a, a + N); }

std::vector<Spec> specs_of(ParamGroup g)
{
    switch (g) {
    case ParamGroup::RenderOptions: return list(kRenderSpecs);
    case ParamGroup::ImageMap1:
    case ParamGroup::ImageMap2:
    case ParamGroup::ImageMap3: return list(kMapSpecs);
    case ParamGroup::Camera: return list(kCameraSpecs);
    case ParamGroup::AirOptics: return list(kAirSpecs);
    case ParamGroup::OceanOptics: return list(kOceanSpecs);
    case ParamGroup::PrimaryWaves: return list(kPrimarySpecs);
    case ParamGroup::Light1:
    case ParamGroup::Light2: return list(kLightSpecs);
    case ParamGroup::Swell1:
    case ParamGroup::Swell2: return list(kSwellSpecs);
    default: return {};
    }
}

// Order of groups in a preset file.
constexpr ParamGroup kPresetOrder[] = {
    ParamGroup::RenderOptions, ParamGroup::ImageMap1,    ParamGroup::ImageMap2,  ParamGroup::ImageMap3,
    ParamGroup::Camera,        ParamGroup::OceanOptics,  ParamGroup::AirOptics,  ParamGroup::PrimaryWaves,
    ParamGroup::Light1,        ParamGroup::Light2,       ParamGroup::Swell1,     ParamGroup::Swell2,
};

int component_count(const Spec& s) { return s.conv == Conv::ColourInt || s.conv == Conv::ColourFrac ? 3 : 1; }

Bindings build_bindings()
{
    Bindings b;
    const auto& table = ParamTable();
    int enableRow = -1;
    // Parameter order: walk the table, matching each group's value rows with its list.
    int position[kParamGroupCount] = {};
    for (int r = 0; r < kParamCountWithGroups; ++r) {
        const ParamRow& row = table[std::size_t(r)];
        if (ParamIsGroupRow(row) || row.kind == kParamHostInput || row.kind == kParamCustomUI)
            continue;
        if (row.group == ParamGroup::Swells) {
            enableRow = r;
            for (int n = 0; n < 2; ++n) {
                Binding x;
                x.row = r;
                x.component = n;
                x.presetGroup = n == 0 ? ParamGroup::Swell1 : ParamGroup::Swell2;
                x.spec = Spec{Conv::Enable, Store::I32, 0, false};
                x.offset = offsetof(CSettings, swells) + std::size_t(n) * sizeof(CSettingsSwell) +
                           offsetof(CSettingsSwell, enabled);
                b.read.push_back(x);
            }
            continue;
        }
        const std::vector<Spec> specs = specs_of(row.group);
        const int p = position[int(row.group)]++;
        if (p >= int(specs.size()))
            std::abort(); // the lists above must follow the parameter table exactly
        Binding x;
        x.row = r;
        x.presetGroup = row.group;
        x.spec = specs[std::size_t(p)];
        x.offset = group_base(row.group) + x.spec.offset;
        if (x.spec.conv != Conv::None && row.presetKeyCount != component_count(x.spec))
            std::abort();
        b.read.push_back(x);
    }
    for (int g = 0; g < kParamGroupCount; ++g)
        if (position[g] != 0 && position[g] != int(specs_of(ParamGroup(g)).size()))
            std::abort();
    if (enableRow < 0)
        std::abort();

    // Preset order: the groups in file order; a swell starts with its enabled state.
    for (ParamGroup g : kPresetOrder) {
        std::vector<Binding> group;
        for (const Binding& x : b.read)
            if (x.presetGroup == g && x.spec.conv != Conv::None) {
                if (x.spec.presetBeforePrevious && !group.empty())
                    group.insert(group.end() - 1, x);
                else
                    group.push_back(x);
            }
        std::stable_partition(group.begin(), group.end(),
                              [](const Binding& x) { return x.spec.conv == Conv::Enable; });
        for (const Binding& x : group) {
            const int n = x.spec.conv == Conv::Enable ? 1 : component_count(x.spec);
            for (int c = 0; c < n; ++c) {
                Binding k = x;
                if (x.spec.conv != Conv::Enable)
                    k.component = c;
                b.preset.push_back(k);
                b.keys.push_back(PresetKeyInfo{table[std::size_t(k.row)].presetKeys[k.component], k.row,
                                               k.component, g});
            }
        }
    }
    return b;
}

const Bindings& bindings()
{
    static const Bindings b = build_bindings();
    return b;
}

// ---- Field access ---------------------------------------------------------------------------

double get_field(const CSettings& s, const Binding& x, int component)
{
    const auto* p = reinterpret_cast<const unsigned char*>(&s) + x.offset;
    switch (x.spec.store) {
    case Store::I32: {
        std::int32_t v;
        std::memcpy(&v, p + std::size_t(component) * 4, 4);
        return double(v);
    }
    case Store::F32: {
        float v;
        std::memcpy(&v, p + std::size_t(component) * 4, 4);
        return double(v);
    }
    case Store::F64: {
        double v;
        std::memcpy(&v, p + std::size_t(component) * 8, 8);
        return v;
    }
    default:
        return 0.0;
    }
}

std::int32_t to_int(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return std::int32_t(std::lround(v));
}

void set_field(CSettings& s, const Binding& x, int component, double value)
{
    auto* p = reinterpret_cast<unsigned char*>(&s) + x.offset;
    switch (x.spec.store) {
    case Store::I32: {
        const std::int32_t v = to_int(value);
        std::memcpy(p + std::size_t(component) * 4, &v, 4);
        break;
    }
    case Store::F32: {
        const float v = float(value);
        std::memcpy(p + std::size_t(component) * 4, &v, 4);
        break;
    }
    case Store::F64:
        std::memcpy(p + std::size_t(component) * 8, &value, 8);
        break;
    default:
        break;
    }
}

// Host value (degrees, kilometres, 1-based choice, 0..255) -> record value.
double to_record(Conv c, double v)
{
    switch (c) {
    case Conv::Minus1: return v - 1.0;
    case Conv::Complexity: return v == 1.0 ? 256.0 : (v == 2.0 ? 512.0 : 1024.0);
    case Conv::Kilo: return v * 1000.0;
    case Conv::Negate: return -v;
    case Conv::Deg: return v * kDegToRad;
    case Conv::Compass450: return (450.0 - v) * kDegToRad;
    case Conv::Compass360: return (360.0 - v) * kDegToRad;
    case Conv::NegDeg: return -v * kDegToRad;
    case Conv::AtLeastOne: return std::max(v, 1.0);
    case Conv::AtMostTen: return std::min(v, 10.0);
    case Conv::ColourFrac: return v / 255.0;
    default: return v;
    }
}

// Record value -> host value.
double to_host(Conv c, double v)
{
    switch (c) {
    case Conv::Minus1: return v + 1.0;
    case Conv::Complexity: return v == 256.0 ? 1.0 : (v == 512.0 ? 2.0 : 3.0);
    case Conv::Kilo: return v / 1000.0;
    case Conv::Negate: return -v;
    case Conv::Deg: return v * kRadToDeg;
    case Conv::Compass450: return 450.0 - v * kRadToDeg;
    case Conv::Compass360: return 360.0 - v * kRadToDeg;
    case Conv::NegDeg: return -v * kRadToDeg;
    case Conv::ColourFrac: return v * 255.0;
    default: return v;
    }
}

void derive(CSettings& s)
{
    CSettingsOceanOptics& o = s.ocean;
    const std::int32_t rgb[3] = {o.red, o.green, o.blue};
    for (int k = 0; k < 3; ++k) {
        o.block.water_color[k] = double(rgb[k]) * double(o.colourScale) / 255.0;
        o.block.index_of_refraction[k] = double(o.indexOfRefraction);
    }
    o.block.wind_speed = s.primary.wind_speed;
    o.block.shortest_wave_length = s.primary.shortest_wavelength;
    for (CSettingsLight& l : s.lights)
        l.valid = 1;
    for (CSettingsSwell& w : s.swells) {
        w.record.size = s.primary.size;
        w.record.spacing = w.record.length / (w.record.size < 256 ? 10.0 : 20.0);
    }
}

std::string number_text(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// The host value range a parameter accepts.
void host_range(const ParamRow& row, double& lo, double& hi)
{
    switch (row.kind) {
    case kParamSlider: {
        float a = 0, b = 0;
        ParamValidRange(row, &a, &b);
        lo = a;
        hi = b;
        return;
    }
    case kParamPopup:
        lo = 1;
        hi = row.choiceCount;
        return;
    case kParamCheckbox:
        lo = 0;
        hi = 1;
        return;
    case kParamColor:
        lo = 0;
        hi = 255;
        return;
    default:
        lo = -kAngleLimit;
        hi = kAngleLimit;
        return;
    }
}

// Brings a host value into its parameter's range; false when it is not a number at all.
bool fit(const ParamRow& row, const char* key, double& v, std::vector<std::string>* warnings)
{
    if (!std::isfinite(v)) {
        if (warnings)
            warnings->push_back(std::string(key) + ": value is not a number; \"" + row.name + "\" left unchanged");
        return false;
    }
    double lo, hi;
    host_range(row, lo, hi);
    if (row.kind == kParamPopup || row.kind == kParamCheckbox || row.kind == kParamColor)
        v = std::round(v);
    // A slider's limits are single-precision numbers; compare in the host's 16.16 steps.
    const double tol = row.kind == kParamSlider || row.kind == kParamAngle ? 0.5 / 65536.0 : 0.0;
    if (v < lo - tol || v > hi + tol) {
        const double c = std::clamp(v, lo, hi);
        if (warnings)
            warnings->push_back(std::string(key) + ": \"" + row.name + "\" value " + number_text(v) +
                                " is outside " + number_text(lo) + " .. " + number_text(hi) + "; clamped to " +
                                number_text(c));
        v = c;
    }
    return true;
}

} // namespace

// ---- Defaults ---------------------------------------------------------------------------------

void SettingsSetDefaults(CSettings& s)
{
    std::memset(static_cast<void*>(&s), 0, sizeof s);

    CSettingsRender& r = s.render;
    r.renderMode = 4;
    r.renderWhat = 3;
    r.colourMin = 0.0f;
    r.colourMax = 1.0f;
    r.timeStretch = 1.0f;
    r.doubleDistance = 25.0f;
    r.maxDistance = 3000.0f;
    r.loopTime = 0.0f;
    r.gamma = 1.0f;
    r.grayscaleZoom = 1.0f;

    for (CSettingsImageMap& m : s.maps) {
        m.reserved = 0;
        m.type = 1;
        m.channel = 4;
        m.intensity = 1.0f;
        m.centreX = 50.0f;
        m.centreY = 0.0f;
        m.scaleYValue = 0.2f;
        m.scaleXValue = 0.2f;
        m.angle = float(270.0 * kDegToRad);
        m.blur = 0.0f;
        m.layout = 1;
    }

    CSettingsCamera& c = s.camera;
    c.x = 0.0f;
    c.y = 0.0f;
    c.z = 10.0f;
    c.tilt = float(100.0 * kDegToRad);
    c.pan = float(360.0 * kDegToRad);
    c.roll = 0.0f;
    c.horizontalFov = float(61.39 * kDegToRad);
    c.platformSize = 0.0f;
    c.reserved = 0.0f;

    CSettingsOceanOptics& o = s.ocean;
    o.red = o.green = o.blue = 26;
    o.full[0] = o.full[1] = o.full[2] = 255;
    o.colourScale = 1.0f;
    o.indexOfRefraction = 1.34f;
    o.block = HyOceanOpticsParams();

    HyAirOpticsParams& a = s.air;
    a = HyAirOpticsParams();
    a.haze_visibility = 2000.0;
    a.haze_color[0] = a.haze_color[1] = a.haze_color[2] = 0.65;
    a.haze_on = 0;
    a.haze_height = 250.0;
    a.haze_diffusivity = 0.1;
    a.scattering_bias = 4.0;
    a.light_disc_brightness_cap = 5.0;
    a.light_disc_size_factor = 1.0;
    a.air_base_height = -200.0;
    a.rainbow_style = 0;
    a.rainbow_radius = 42.0 * kDegToRad;
    a.rainbow_intensity = 5.0;
    a.rainbow_thickness = 1.0;

    HyPrimaryWaves_data& p = s.primary;
    p = HyPrimaryWaves_data();
    p.size = 256;
    p.small_spacing = 0.4;
    p.large_spacing = 3.8;
    p.wind_speed = 5.0;
    p.wind_direction = 360.0 * kDegToRad;
    p.shortest_wavelength = 0.0;
    p.vertical_scale = 2.0;

    for (int n = 0; n < 2; ++n) {
        CSettingsLight& l = s.lights[n];
        l.elevation = float(82.0 * kDegToRad);
        l.azimuth = 0.0f;
        l.red = l.green = l.blue = 255;
        l.intensity = l.viewedIntensity = l.viewedSize = l.glitterScale = l.waterColourScale = 1.0f;
        l.valid = 1;
        l.affects = n == 0 ? 3 : 0;
    }

    for (CSettingsSwell& w : s.swells) {
        w.id = 0;
        w.enabled = 0;
        w.record = HySwell_data();
        w.record.size = 256;
        w.record.spacing = 1.25;
        w.record.height = 0.5;
        w.record.length = 25.0;
        w.record.direction = 360.0 * kDegToRad;
        w.record.roughness = 0.5;
        w.record.oscillations = 0.25;
    }

    // The ocean optics block carries the water colour and wind it is built from.
    derive(s);
}

ParamIndexMap ParamIndexMapFor(bool groups)
{
    ParamIndexMap m;
    m.fill(-1);
    const auto& table = ParamTable();
    for (const ParamSlot& slot : ParamLayout(groups))
        m[std::size_t(slot.row - table.data())] = slot.index;
    return m;
}

// ---- Host -> record ---------------------------------------------------------------------------

void SettingsReadFromHost(CHostInterface& host, const ParamIndexMap& index, CSettings& s)
{
    for (const Binding& x : bindings().read) {
        const std::int32_t i = index[std::size_t(x.row)];
        if (i < 0 || x.spec.conv == Conv::None)
            continue;
        switch (x.spec.conv) {
        case Conv::AsInt:
        case Conv::Minus1:
        case Conv::Complexity:
            set_field(s, x, 0, to_record(x.spec.conv, double(host.GetParamInt(i))));
            break;
        case Conv::Enable: {
            const std::int32_t v = host.GetParamInt(i);
            const bool on = x.component == 0 ? (v == 2 || v == 4) : (v == 3 || v == 4);
            set_field(s, x, 0, on ? 1.0 : 0.0);
            break;
        }
        case Conv::ColourInt:
        case Conv::ColourFrac: {
            std::uint8_t rgb[3] = {0, 0, 0};
            if (host.GetParamColor(i, &rgb[0], &rgb[1], &rgb[2]) != 0)
                break; // no colour to read: the record keeps what it had
            for (int k = 0; k < 3; ++k)
                set_field(s, x, k, to_record(x.spec.conv, double(rgb[k])));
            break;
        }
        default:
            set_field(s, x, 0, to_record(x.spec.conv, host.GetParamDouble(i)));
            break;
        }
    }
    derive(s);
}

// ---- Record -> host ---------------------------------------------------------------------------

std::uint32_t PresetMaskBit(ParamGroup group)
{
    switch (group) {
    case ParamGroup::RenderOptions: return kPresetRenderOptions;
    case ParamGroup::ImageMap1: return kPresetImageMap1;
    case ParamGroup::ImageMap2: return kPresetImageMap2;
    case ParamGroup::ImageMap3: return kPresetImageMap3;
    case ParamGroup::Camera: return kPresetCamera;
    case ParamGroup::PrimaryWaves: return kPresetPrimaryWaves;
    case ParamGroup::AirOptics: return kPresetAirOptics;
    case ParamGroup::OceanOptics: return kPresetOceanOptics;
    case ParamGroup::Light1: return kPresetLight1;
    case ParamGroup::Light2: return kPresetLight2;
    case ParamGroup::Swells: return kPresetSwell1 | kPresetSwell2;
    case ParamGroup::Swell1: return kPresetSwell1;
    case ParamGroup::Swell2: return kPresetSwell2;
    default: return 0;
    }
}

std::uint32_t PresetMaskForName(std::string_view name)
{
    auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    };
    if (same(name, "All"))
        return kPresetAll;
    if (same(name, "Lights"))
        return kPresetLight1 | kPresetLight2;
    for (int g = int(ParamGroup::RenderOptions); g < kParamGroupCount; ++g)
        if (same(name, ParamGroupName(ParamGroup(g))))
            return PresetMaskBit(ParamGroup(g));
    return 0;
}

void SettingsWriteToHost(CHostInterface& host, const ParamIndexMap& index, const CSettings& s,
                         std::uint32_t mask, std::vector<std::string>* warnings)
{
    const auto& table = ParamTable();
    const bool swells = (mask & (kPresetSwell1 | kPresetSwell2)) != 0;
    for (const Binding& x : bindings().read) {
        if (x.spec.conv == Conv::None)
            continue;
        const ParamRow& row = table[std::size_t(x.row)];
        const std::uint32_t bit = PresetMaskBit(row.group);
        const bool isSwell = bit & (kPresetSwell1 | kPresetSwell2);
        if (isSwell ? !swells : !(mask & bit))
            continue;
        const std::int32_t i = index[std::size_t(x.row)];
        if (i < 0)
            continue;
        const char* key = row.presetKeys[0];
        switch (x.spec.conv) {
        case Conv::Enable: {
            if (x.component != 0)
                break; // one parameter for both swells
            const bool one = s.swells[0].enabled != 0, two = s.swells[1].enabled != 0;
            host.SetParamInt(i, one ? (two ? 4 : 2) : (two ? 3 : 1));
            break;
        }
        case Conv::AsInt:
        case Conv::Minus1:
        case Conv::Complexity: {
            double v = to_host(x.spec.conv, get_field(s, x, 0));
            if (fit(row, key, v, warnings))
                host.SetParamInt(i, std::int32_t(v));
            break;
        }
        case Conv::ColourInt:
        case Conv::ColourFrac: {
            double rgb[3];
            bool ok = true;
            for (int k = 0; k < 3; ++k) {
                rgb[k] = to_host(x.spec.conv, get_field(s, x, k));
                ok = fit(row, row.presetKeys[k], rgb[k], warnings) && ok;
            }
            if (ok)
                host.SetParamColor(i, std::int32_t(rgb[0]), std::int32_t(rgb[1]), std::int32_t(rgb[2]));
            break;
        }
        default: {
            double v = to_host(x.spec.conv, get_field(s, x, 0));
            if (fit(row, key, v, warnings))
                host.SetParamDouble(i, v);
            break;
        }
        }
    }
}

// ---- Preset text ------------------------------------------------------------------------------

std::string PresetText(const CSettings& s)
{
    CTokener t;
    t.PutInt(kPresetVersionKey, kPresetVersion);
    const auto& table = ParamTable();
    for (const Binding& x : bindings().preset) {
        const char* key = table[std::size_t(x.row)].presetKeys[x.component];
        const int c = x.spec.conv == Conv::Enable ? 0 : x.component;
        if (x.spec.store == Store::I32)
            t.PutInt(key, to_int(get_field(s, x, c)));
        else
            t.PutReal(key, get_field(s, x, c));
    }
    return t.GetText();
}

bool PresetRead(std::string_view text, std::uint32_t mask, CSettings& s, std::vector<std::string>* warnings)
{
    CTokener t{std::string(text)};
    double version = 0.0;
    if (!t.GetReal(kPresetVersionKey, version))
        return false;
    if (t.LastSuspect() || version != double(kPresetVersion)) {
        if (warnings)
            warnings->push_back(std::string(kPresetVersionKey) + ": unexpected preset version " +
                                number_text(version) + "; reading it as version 1");
    }
    const auto& table = ParamTable();
    for (const Binding& x : bindings().preset) {
        if (!(mask & PresetMaskBit(x.presetGroup)))
            continue;
        const char* key = table[std::size_t(x.row)].presetKeys[x.component];
        const int c = x.spec.conv == Conv::Enable ? 0 : x.component;
        double v = 0.0;
        bool found;
        if (x.spec.store == Store::I32) {
            std::int32_t iv = 0;
            found = t.GetInt(key, iv);
            v = iv;
        } else {
            found = t.GetReal(key, v);
        }
        if (!found)
            continue; // a missing key keeps the value the record had
        if (t.LastSuspect() || !std::isfinite(v)) {
            if (warnings)
                warnings->push_back(std::string(key) + ": value is not a clean number; skipped");
            continue;
        }
        if (x.spec.conv == Conv::Enable)
            v = v != 0.0 ? 1.0 : 0.0;
        set_field(s, x, c, v);
    }
    derive(s);
    return true;
}

std::vector<PresetEntry> PresetEntries(std::string_view text)
{
    CTokener t{std::string(text)};
    std::vector<PresetEntry> out;
    const auto& table = ParamTable();
    for (const PresetKeyInfo& k : bindings().keys) {
        PresetEntry e;
        e.key = k.key;
        e.group = k.group;
        e.row = &table[std::size_t(k.row)];
        e.component = k.component;
        e.found = t.GetString(k.key, e.value);
        out.push_back(std::move(e));
    }
    return out;
}

const std::vector<PresetKeyInfo>& PresetKeys() { return bindings().keys; }
