#include "host/ParamTable.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr std::int32_t S = kParamFlagStartCollapsed;
constexpr std::int32_t T = kParamFlagCannotTimeVary;
constexpr std::int32_t I = kParamFlagCannotInterp;

constexpr const char* kRenderWhatChoices = "Air Only|Water Only|Both Air and Water|Water Only To Max Distance";
constexpr const char* kRenderModeChoices = "Grayscale [Icons]|Grayscale [No Icons]|Wireframe|Texture [No Geometry]|"
                                           "Light Tracking|Realistic|Too Realistic [RTM]|Depth Map";
constexpr const char* kMapIsChoices = "Displacement|Texture On Surface|Texture Above Surface|Texture Below Surface|"
                                      "Displace + Texture On|Displace + Texture Above|Displace + Texture Below";
constexpr const char* kDisplaceOnChoices = "Red|Green|Blue|Alpha|Luminance|Lightness|Hue|Saturation";
constexpr const char* kLayoutChoices = "Normal|Tile|Stretch to Max distance";
constexpr const char* kRainbowChoices = "No Rainbow|Haze Rainbow [Best]|Clear Air Rainbow";
constexpr const char* kComplexityChoices = "Preview Detail|Video Detail|Film Detail";
constexpr const char* kLightAffectsChoices = "Nothing|Air|Water|Both Air and Water";
constexpr const char* kEnableChoices = "None|Swell 1|Swell 2|Both";

void set_text(char* dst, std::size_t cap, const std::string& s)
{
    std::snprintf(dst, cap, "%s", s.c_str());
}

// Builds the rows in registration order.
class Builder {
public:
    std::array<ParamRow, kParamCountWithGroups> rows{};
    int next = 0;
    ParamGroup group = ParamGroup::Input;

    ParamRow& add(std::int32_t kind, const std::string& name, std::int32_t flags)
    {
        ParamRow& r = rows.at(std::size_t(next++));
        r.kind = kind;
        set_text(r.name, sizeof(r.name), name);
        r.flags = flags;
        r.group = group;
        return r;
    }
    static void key(ParamRow& r, const std::string& k)
    {
        set_text(r.presetKeys[r.presetKeyCount], sizeof(r.presetKeys[0]), k);
        ++r.presetKeyCount;
    }
    void start(ParamGroup g, const std::string& name)
    {
        group = g;
        add(kParamGroupStart, name, S);
    }
    void end(ParamIdRule rule = ParamIdRule::Index)
    {
        add(kParamGroupEnd, "", 0).idRule = rule;
    }
    void slider(const std::string& name, std::int32_t flags, float dflt, float smin, float smax,
                const std::string& k)
    {
        ParamRow& r = add(kParamSlider, name, flags);
        r.dflt = dflt;
        r.sliderMin = smin;
        r.sliderMax = smax;
        if (!k.empty())
            key(r, k);
    }
    void slider(const std::string& name, std::int32_t flags, float dflt, float smin, float smax, float vmin,
                float vmax, const std::string& k)
    {
        slider(name, flags, dflt, smin, smax, k);
        ParamRow& r = rows.at(std::size_t(next - 1));
        r.hasValidRange = true;
        r.validMin = vmin;
        r.validMax = vmax;
    }
    void popup(const std::string& name, std::int32_t flags, int dflt, const char* choices, int count,
               const std::string& k)
    {
        ParamRow& r = add(kParamPopup, name, flags);
        r.dflt = float(dflt);
        r.choices = choices;
        r.choiceCount = count;
        if (!k.empty())
            key(r, k);
    }
    void angle(const std::string& name, std::int32_t flags, float dflt, const std::string& k)
    {
        ParamRow& r = add(kParamAngle, name, flags);
        r.dflt = dflt;
        key(r, k);
    }
    void color(const std::string& name, int red, int green, int blue, const std::string& kr,
               const std::string& kg, const std::string& kb)
    {
        ParamRow& r = add(kParamColor, name, 0);
        r.dflt = float(red);
        r.dflt2 = float(green);
        r.dflt3 = float(blue);
        key(r, kr);
        key(r, kg);
        key(r, kb);
    }
};

// Light and swell keys: the number minus one, a tag, then the digits 0 up to the field written one
// after another (field 10 of light 1: 0_LP_012345678910).
std::string run_key(int number, const char* tag, int field)
{
    std::string k = std::to_string(number - 1) + tag;
    for (int d = 0; d <= field; ++d)
        k += std::to_string(d);
    return k;
}

std::array<ParamRow, kParamCountWithGroups> build_table()
{
    Builder b;

    b.group = ParamGroup::Input;
    b.add(kParamHostInput, "", 0);

    b.group = ParamGroup::Presets;
    {
        ParamRow& r = b.add(kParamCustomUI, "Presets", I);
        r.idRule = ParamIdRule::Zero;
        r.uiWidth = kPresetsPanelWidth;
        r.uiHeight = kPresetsPanelHeight;
    }

    b.start(ParamGroup::RenderOptions, "Render Options");
    b.popup("Render What:", T, 3, kRenderWhatChoices, 4, "OP_RWHAT");
    b.popup("Render Mode:", T, 4, kRenderModeChoices, 8, "OP_RENMODE");
    b.slider("Grayscale Zoom", S | T, 1, 0, 2, "OP_GZOOM");
    b.slider("Double Distance (M)", S, 25, 1, 500, "OP_DDIST");
    b.slider("Max Distance (KM) ", S, 3, 0.01f, 10, "OP_MDIST");
    b.slider("Time Stretch", S, 1, 0, 60, "OP_TSCALE");
    b.slider("Loop Time (S)", S | T, 0, 0, 60, "OP_LOOPT");
    b.slider("Gamma Scale", S, 1, 0, 2, 0, 4, "OP_GAMMA");
    b.slider("Color Min Scale", S, 0, -2, 2, -20000, 20000, "OP_CMIN");
    b.slider("Color Max Scale", S, 1, -2, 2, -20000, 20000, "OP_CMAX");
    b.end();

    const ParamGroup maps[3] = {ParamGroup::ImageMap1, ParamGroup::ImageMap2, ParamGroup::ImageMap3};
    for (int n = 1; n <= 3; ++n) {
        const std::string im = "IM" + std::to_string(n);
        b.start(maps[n - 1], "Image Map " + std::to_string(n));
        {
            ParamRow& r = b.add(kParamLayer, "Map Layer:", 0);
            r.mapNumber = n;
            r.dflt = 0; // none
        }
        b.popup("Map is:", T, 1, kMapIsChoices, 7, im + "DOES");
        b.popup("Displace on:", T, 4, kDisplaceOnChoices, 8, im + "DISPLACEON");
        b.slider("Displace Intensity", S, 1, -10, 10, im + "INTENSITY");
        b.slider("Center X (M)", S, 50, -500, 500, im + "CENTERX");
        b.slider("Center Y (M)", S, 0, -500, 500, im + "CENTERY");
        b.angle("Angle", S, 90, im + "ANGLE");
        // The keys of the two scales are crossed; presets on disk rely on it.
        b.slider("Scale X", S, 0.2f, -1, 1, im + "SCALEY");
        b.slider("Scale Y", S, 0.2f, -1, 1, im + "SCALEX");
        b.slider("Blur Amount", S, 0, 0, 100, im + "BLUR");
        b.popup("Layout:", T, 1, kLayoutChoices, 3, im + "LAYOUT");
        b.end();
    }

    b.start(ParamGroup::Camera, "Camera");
    b.rows.at(std::size_t(b.next - 1)).idRule = ParamIdRule::Camera;
    {
        const int first = b.next;
        b.slider("X East-West (M)", S, 0, -500, 500, "CP_X");
        b.slider("Y North-South (M)", S, 0, -500, 500, "CP_Y");
        b.slider("Elevation (M)", S, 10, -10, 500, "CP_Z");
        b.angle("Tilt", S, 100, "CP_PITCH");
        b.angle("Pan", S, 90, "CP_YAW");
        b.angle("Roll", S, 0, "CP_ROLL");
        b.slider("Field Of View", S, 61.39f, 1, 90, 1, 175, "CP_HFOV");
        b.slider("Bobbing Platform Size (M)", S, 0, 0, 100, "CP_PLATSZ");
        for (int i = first; i < b.next; ++i)
            b.rows.at(std::size_t(i)).idRule = ParamIdRule::Camera;
    }
    b.end(ParamIdRule::Zero);

    b.start(ParamGroup::AirOptics, "Air Optics");
    b.slider("Scattering Bias", S, 4, -4, 4, "AO_MSB");
    {
        ParamRow& r = b.add(kParamCheckbox, "Haze On", T);
        r.dflt = 0;
        Builder::key(r, "AO_HAZE");
    }
    b.slider("Haze Visibilty (KM)", S, 2, 0, 25, "AO_HVIS");
    b.slider("Haze Height (M)", S, 250, 1, 500, "AO_HHGT");
    b.color("Haze Color", 165, 165, 165, "AO_HCLR_R", "AO_HCLR_G", "AO_HCLR_B");
    b.slider("Haze Diffusivity", S, 0.1f, 0, 1, 0, 1, "AO_HDIFF");
    b.popup("Rainbow Style", T, 1, kRainbowChoices, 3, "AO_RB_FLAG");
    b.slider("Rainbow Radius", S, 42, 0, 180, 0, 180, "AO_RB_RAD");
    b.slider("Rainbow Intensity", S, 5, 0, 10, "AO_RB_STRENGTH");
    b.slider("Rainbow Thickness", S, 1, 0, 5, "AO_RB_THICK");
    b.end();

    b.start(ParamGroup::OceanOptics, "Ocean Optics");
    b.color("Water Color", 26, 26, 26, "OO_UR_R", "OO_UR_G", "OO_UR_B");
    b.slider("Water Color Scale", S, 1, 0, 3, "OO_UR_SCALE");
    b.slider("Index of Refraction", S, 1.34f, 1, 10, 1, 20, "OO_IR_SCALE");
    b.end();

    b.start(ParamGroup::PrimaryWaves, "Primary Waves");
    b.popup("Ocean Complexity", T, 1, kComplexityChoices, 3, "PW_LATSIZE");
    b.slider("Coarse Grid Size (M)", S | T, 3.8f, 0.01f, 5, 0.01f, 20, "PW_LLATTICE");
    b.slider("Fine Grid Size (M)", S | T, 0.4f, 0.01f, 1, 0.01f, 5, "PW_SLATTICE");
    b.angle("Wind Direction", S, 90, "PW_WDIR");
    b.slider("Wind Speed (M/S)", S, 5, 0, 20, "PW_WSPEED");
    b.slider("Wave Smoothness", S, 0, 0, 20, "PW_GLASS");
    b.slider("Vertical Scale (M)", S, 2, 0, 10, "PW_LSCALE");
    b.end();

    const ParamGroup lights[2] = {ParamGroup::Light1, ParamGroup::Light2};
    for (int n = 1; n <= 2; ++n) {
        b.start(lights[n - 1], "Light " + std::to_string(n));
        b.popup("Light Affects:", I, n == 1 ? 4 : 1, kLightAffectsChoices, 4, run_key(n, "_LP_", 0));
        b.angle("Light Elevation", S, 82, run_key(n, "_LP_", 1));
        b.angle("Light Azimuth", S, 0, run_key(n, "_LP_", 2));
        b.color("Light Color", 255, 255, 255, run_key(n, "_LP_", 3), run_key(n, "_LP_", 4),
                run_key(n, "_LP_", 5));
        b.slider("Light Intensity", S, 1, 0, 5, run_key(n, "_LP_", 6));
        b.slider("Viewed Intensity", S, 1, 0, 5, run_key(n, "_LP_", 7));
        b.slider("Viewed Size", S, 1, 0, 5, run_key(n, "_LP_", 8));
        b.slider("Glitter Scale", S, 1, 0, 5, run_key(n, "_LP_", 9));
        b.slider("Water Color Scale", S, 1, 0, 5, run_key(n, "_LP_", 10));
        b.end();
    }

    b.start(ParamGroup::Swells, "Swells");
    {
        b.popup("Enable:", T, 1, kEnableChoices, 4, run_key(1, "_SWP_", 0));
        Builder::key(b.rows.at(std::size_t(b.next - 1)), run_key(2, "_SWP_", 0));
    }
    const ParamGroup swells[2] = {ParamGroup::Swell1, ParamGroup::Swell2};
    for (int n = 1; n <= 2; ++n) {
        b.group = swells[n - 1];
        const std::string p = std::to_string(n) + "- ";
        b.angle(p + "Direction", S, 90, run_key(n, "_SWP_", 1));
        b.slider(p + "Height (M)", S, 0.5f, 0, 10, run_key(n, "_SWP_", 2));
        b.slider(p + "Length (M)", S, 25, 0.1f, 100, 0.1f, 1000, run_key(n, "_SWP_", 3));
        b.slider(p + "Roughness", S, 0.5f, 0.01f, 100, run_key(n, "_SWP_", 4));
        b.slider(p + "Oscillations", S, 0.25f, 0.01f, 100, run_key(n, "_SWP_", 5));
    }
    b.group = ParamGroup::Swells;
    b.end(ParamIdRule::Zero);

    if (b.next != kParamCountWithGroups)
        std::abort(); // the list above is the whole truth; a wrong count is a build defect

    // Persistent ids on a host that takes groups, by the same rule registration applies.
    std::int32_t camera = kCameraFirstId;
    for (int i = 0; i < kParamCountWithGroups; ++i) {
        ParamRow& r = b.rows.at(std::size_t(i));
        switch (r.idRule) {
        case ParamIdRule::Index:
            r.idWithGroups = i;
            break;
        case ParamIdRule::Camera:
            r.idWithGroups = camera++;
            break;
        case ParamIdRule::Zero:
            r.idWithGroups = 0;
            break;
        }
    }
    return b.rows;
}

} // namespace

const std::array<ParamRow, kParamCountWithGroups>& ParamTable()
{
    static const std::array<ParamRow, kParamCountWithGroups> table = build_table();
    return table;
}

void DeriveValidRange(float sliderMin, float sliderMax, float* validMin, float* validMax)
{
    float vmax = std::min(std::max(10.0f * sliderMax, sliderMax), 24000.0f);
    float vmin = sliderMin > 0.0f ? sliderMin : std::max(10.0f * sliderMin, -24000.0f);
    if (validMin)
        *validMin = vmin;
    if (validMax)
        *validMax = vmax;
}

void ParamValidRange(const ParamRow& row, float* validMin, float* validMax)
{
    if (row.hasValidRange || row.kind != kParamSlider) {
        if (validMin)
            *validMin = row.validMin;
        if (validMax)
            *validMax = row.validMax;
        return;
    }
    DeriveValidRange(row.sliderMin, row.sliderMax, validMin, validMax);
}

std::vector<ParamSlot> ParamLayout(bool groups)
{
    const auto& table = ParamTable();
    std::vector<ParamSlot> out;
    out.reserve(table.size());
    std::int32_t camera = kCameraFirstId;
    for (const ParamRow& r : table) {
        if (!groups && ParamIsGroupRow(r))
            continue;
        ParamSlot s;
        s.row = &r;
        s.index = std::int32_t(out.size());
        switch (r.idRule) {
        case ParamIdRule::Index:
            s.id = s.index;
            break;
        case ParamIdRule::Camera:
            s.id = camera++;
            break;
        case ParamIdRule::Zero:
            s.id = 0;
            break;
        }
        ParamValidRange(r, &s.validMin, &s.validMax);
        out.push_back(s);
    }
    return out;
}

std::int32_t ParamFirstValueIndex(ParamGroup group, bool groups)
{
    for (const ParamSlot& s : ParamLayout(groups))
        if (s.row->group == group && !ParamIsGroupRow(*s.row))
            return s.index;
    return -1;
}

const char* ParamGroupName(ParamGroup group)
{
    switch (group) {
    case ParamGroup::Input: return "Input Layer";
    case ParamGroup::Presets: return "Presets";
    case ParamGroup::RenderOptions: return "Render Options";
    case ParamGroup::ImageMap1: return "Image Map 1";
    case ParamGroup::ImageMap2: return "Image Map 2";
    case ParamGroup::ImageMap3: return "Image Map 3";
    case ParamGroup::Camera: return "Camera";
    case ParamGroup::AirOptics: return "Air Optics";
    case ParamGroup::OceanOptics: return "Ocean Optics";
    case ParamGroup::PrimaryWaves: return "Primary Waves";
    case ParamGroup::Light1: return "Light 1";
    case ParamGroup::Light2: return "Light 2";
    case ParamGroup::Swells: return "Swells";
    case ParamGroup::Swell1: return "Swell 1";
    case ParamGroup::Swell2: return "Swell 2";
    }
    return "";
}
