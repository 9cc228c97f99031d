// Presets through their keys: every group saved and loaded back into a host, group masks, the
// version key, resets, and files that are not what they claim to be.
#include <set>

#include <fstream>
#include <unistd.h>

#include "DriverFixture.h"
#include "host/CPresetsPanel.h"
#include "hostkit/DrawReplay.h"
#include "platform/HyWindowSystem.h"
#include "ui/HyPresetStore.h"

namespace driver_test {
namespace {

// Value of a parameter as the host holds it: 16.16, choice, or packed colour.
long long host_value(const hostkit::Host& h, int i)
{
    const PF_ParamDef& d = h.param(i).def;
    switch (d.param_type) {
    case PF_Param_FIX_SLIDER: return d.u.fd.value;
    case PF_Param_ANGLE: return d.u.ad.value;
    case PF_Param_POPUP: return d.u.pd.value;
    case PF_Param_CHECKBOX: return d.u.bd.value;
    case PF_Param_COLOR:
        return (long long)(d.u.cd.value.red) << 16 | d.u.cd.value.green << 8 | d.u.cd.value.blue;
    default: return 0;
    }
}

// The parameter table beyond what the command-line tests' checked-in listings pin: the rule that derives
// valid ranges at its clamps, and the first value index of each group.
TEST(ParamTable, DerivedRangesGroupIndicesAndPresetKeysFollowTheirPatterns)
{
    // max = clamp(10 smax, smax, 24000); min = smin when positive, else max(10 smin, -24000).
    const struct {
        float smin, smax, lo, hi;
    } cases[] = {{0, 5, 0, 50},
                 {0.01f, 10, 0.01f, 100},
                 {-500, 500, -5000, 5000},
                 {-4000, 3000, -24000, 24000},
                 {-10, -2, -100, -2}};
    for (const auto& c : cases) {
        float lo = 0, hi = 0;
        DeriveValidRange(c.smin, c.smax, &lo, &hi);
        EXPECT_FLOAT_EQ(lo, c.lo) << c.smin << ".." << c.smax;
        EXPECT_FLOAT_EQ(hi, c.hi) << c.smin << ".." << c.smax;
    }
    const struct {
        ParamGroup group;
        int with, without;
    } firsts[] = {{ParamGroup::ImageMap1, 15, 12}, {ParamGroup::ImageMap2, 28, 23},
                  {ParamGroup::ImageMap3, 41, 34}, {ParamGroup::Swells, 112, 91},
                  {ParamGroup::Swell1, 113, 92},   {ParamGroup::Swell2, 118, 97}};
    for (const auto& f : firsts) {
        EXPECT_EQ(ParamFirstValueIndex(f.group, true), f.with);
        EXPECT_EQ(ParamFirstValueIndex(f.group, false), f.without);
        EXPECT_STREQ(ParamLayout(false)[std::size_t(f.without)].row->name,
                     ParamTable()[std::size_t(f.with)].name);
    }

    // The published keys: repeated nowhere (two parameters would share one stored value), every value
    // parameter but the three layers has one, colours three, "Enable:" two; the scale keys are crossed.
    std::set<std::string> keys;
    for (const PresetKeyInfo& k : PresetKeys())
        EXPECT_TRUE(keys.insert(k.key).second) << "repeated key " << k.key;
    EXPECT_EQ(keys.size(), std::size_t(102 - 2 - 3 + 2 * 4 + 1));
    EXPECT_EQ(PresetKeys().front().key, std::string("OP_RWHAT"));
    const struct {
        int row, key;
        const char* text;
    } rows[] = {{3, 0, "OP_RWHAT"},       {29, 0, "IM2DOES"},           {22, 0, "IM1SCALEY"},
                {23, 0, "IM1SCALEX"},     {92, 0, "0_LP_012"},          {93, 0, "0_LP_0123"},
                {93, 2, "0_LP_012345"},   {98, 0, "0_LP_012345678910"}, {109, 0, "1_LP_012345678910"},
                {112, 0, "0_SWP_0"},      {112, 1, "1_SWP_0"},          {117, 0, "0_SWP_012345"},
                {122, 0, "1_SWP_012345"}, {68, 1, "AO_HCLR_G"}};
    for (const auto& k : rows) {
        const ParamRow& row = ParamTable()[std::size_t(k.row)];
        ASSERT_LT(k.key, row.presetKeyCount) << k.text;
        EXPECT_STREQ(row.presetKeys[k.key], k.text);
    }
    EXPECT_EQ(ParamTable()[15].presetKeyCount, 0);

    // Saved text: the version first, then the groups in file order, six decimals everywhere.
    CSettings s;
    SettingsSetDefaults(s);
    const std::string text = PresetText(s);
    EXPECT_EQ(text.rfind("SeaVast_Ver=1.000000;OP_RWHAT=3.000000;OP_RENMODE=4.000000;", 0), 0u) << text;
    for (const char* kv : {"OO_UR_R=26.000000;", "PW_LATSIZE=256.000000;", "OP_MDIST=3000.000000;"})
        EXPECT_NE(text.find(kv), std::string::npos) << kv;
    const char* order[] = {
        "IM1ANGLE=", "IM1SCALEX=",   "IM1SCALEY=",  "CP_PLATSZ=",         "OO_UR_R=", "OO_IR_SCALE=",
        "AO_MSB=",   "AO_RB_THICK=", "PW_LATSIZE=", "1_LP_012345678910=", "0_SWP_0="};
    for (std::size_t k = 1; k < std::size(order); ++k)
        EXPECT_LT(text.find(order[k - 1]), text.find(order[k])) << order[k];
    s.maps[0].scaleYValue = 0.75f; // the key SCALEX holds "Scale Y"
    EXPECT_NE(PresetText(s).find("IM1SCALEX=0.750000;"), std::string::npos);
}

// A second effect object that talks to the host kit's parameters through an adapter bound to a copy of
// them, as the plug-in does inside a command.
class Presets : public Driver {
protected:
    void SetUp() override
    {
        Driver::SetUp();
        refresh();
        fx_.SetHost(&adapter_);
        fx_.RegisterParams();
    }
    // Fresh copy of the host values before an operation; changed values go back afterwards.
    void refresh()
    {
        array_ = std::make_unique<ParamArray>(host());
        array_->bind(adapter_);
    }
    // One preset operation on a fresh copy, its changes handed back; returns what the load said.
    bool load(const std::string& text, std::uint32_t mask = kPresetAll,
              std::vector<std::string>* warnings = nullptr)
    {
        refresh();
        const bool ok = fx_.LoadPreset(text, mask, warnings);
        array_->write_back(host());
        return ok;
    }
    void reset(std::uint32_t mask = kPresetAll)
    {
        refresh();
        fx_.ResetGroups(mask);
        array_->write_back(host());
    }
    std::vector<long long> values() const
    {
        std::vector<long long> v;
        for (int i = 0; i < host_->param_count(); ++i)
            v.push_back(host_value(*host_, i));
        return v;
    }
    // Sets every value parameter away from its default, saves them as preset text and resets them all:
    // saved_ and defaults_ hold the values before and after.
    std::string save_unusual_then_reset()
    {
        int n = 0;
        for (int r = 0; r < kParamCountWithGroups; ++r) {
            const ParamRow& row = ParamTable()[std::size_t(r)];
            const int i = fx_.RowIndex()[std::size_t(r)];
            if (i <= 0 || row.presetKeyCount == 0)
                continue;
            ++n;
            // "Enable:" on both swells, so both swells' fields travel.
            const int choice =
                row.group == ParamGroup::Swells ? 4 : int(row.dflt) == row.choiceCount ? 1 : row.choiceCount;
            switch (row.kind) {
            case kParamPopup: EXPECT_TRUE(host().set_int(i, choice)) << row.name; break;
            case kParamCheckbox: EXPECT_TRUE(host().set_int(i, 1)); break;
            case kParamColor:
                EXPECT_TRUE(host().set_color(i, {255, A_u_char(10 + n), A_u_char(200 - n), A_u_char(n)}));
                break;
            case kParamAngle: EXPECT_TRUE(host().set_fixed(i, row.dflt + 37.3 + n)); break;
            default: {
                // An awkward fraction, so the 16.16 rounding is exercised.
                const double v = row.sliderMin + (0.3137 + 0.01 * (n % 7)) * (row.sliderMax - row.sliderMin);
                EXPECT_TRUE(host().set_fixed(i, v)) << row.name;
                EXPECT_NE(hostkit::from_fixed(host().param(i).def.u.fd.value), row.dflt) << row.name;
            }
            }
        }
        saved_ = values();
        refresh();
        const std::string text = fx_.SavePreset();
        reset();
        defaults_ = values();
        return text;
    }
    // Every row `loaded` selects holds its saved value, every other its default (presets keep radians to
    // six decimals: a few 16.16 steps of a degree).
    template <class Loaded> void expect_values(Loaded loaded)
    {
        for (int r = 0; r < kParamCountWithGroups; ++r) {
            const int i = fx_.RowIndex()[std::size_t(r)];
            const ParamRow& row = ParamTable()[std::size_t(r)];
            if (i <= 0)
                continue;
            const long long want = (loaded(row) ? saved_ : defaults_)[std::size_t(i)];
            const bool radians = row.kind == kParamAngle || std::strcmp(row.name, "Field Of View") == 0 ||
                                 std::strcmp(row.name, "Rainbow Radius") == 0;
            EXPECT_LE(std::llabs(host_value(host(), i) - want), radians ? 4 : 0)
                << row.name << " in " << ParamGroupName(row.group);
        }
    }

    std::unique_ptr<ParamArray> array_;
    CAEHost adapter_{0, 0};
    CEffectVaskel1 fx_;
    std::vector<long long> saved_, defaults_;
};

TEST_F(Presets, EveryGroupRoundTripsThroughAFileAndMasksChooseTheGroups)
{
    const std::string text = save_unusual_then_reset();
    int moved = 0; // back to the defaults: every value parameter moves
    for (std::size_t i = 0; i < saved_.size(); ++i)
        moved += saved_[i] != defaults_[i];
    EXPECT_GE(moved, 90);

    std::vector<std::string> warnings;
    ASSERT_TRUE(load(text, kPresetAll, &warnings));
    EXPECT_TRUE(warnings.empty()) << warnings.front();
    expect_values([](const ParamRow&) { return true; });

    // Without the version key nothing is applied.
    std::string unversioned = text;
    unversioned.replace(unversioned.find("SeaVast_Ver"), 11, "SeaVast_Vex");
    reset();
    EXPECT_FALSE(load(unversioned));
    expect_values([](const ParamRow&) { return false; });

    // Only the camera: the camera moves, everything else stays at its defaults.
    ASSERT_TRUE(load(text, kPresetCamera));
    expect_values([](const ParamRow& row) { return row.group == ParamGroup::Camera; });

    // One swell bit: "Enable:" comes from both swells' states; swell 2 is not in the file's reading, so
    // it is off. Resetting "Swells" turns both off.
    const int enable = index(ParamGroup::Swells, "Enable:");
    for (const auto& [mask, value] :
         {std::pair{unsigned(kPresetSwell1), 2}, std::pair{kPresetSwell1 | kPresetSwell2, 4}}) {
        ASSERT_TRUE(load(text, mask));
        EXPECT_EQ(host().param(enable).def.u.pd.value, value) << mask;
    }
    reset(PresetMaskForName("Swells"));
    EXPECT_EQ(host().param(enable).def.u.pd.value, 1);
    EXPECT_EQ(PresetMaskForName("Lights"), kPresetLight1 | kPresetLight2);
    EXPECT_EQ(PresetMaskForName("primary waves"), kPresetPrimaryWaves);
    EXPECT_EQ(PresetMaskForName("Nonsense"), 0u);
}

TEST_F(Presets, BadFilesNeverCrashOrLeaveTheRange)
{
    // After any load, every parameter holds a value its definition allows.
    const auto checked = [&](const std::string& text, std::vector<std::string>* warnings) {
        const bool ok = load(text, kPresetAll, warnings);
        for (int i = 1; i < host().param_count(); ++i) {
            const PF_ParamDef& d = host().param(i).def;
            const bool valid = d.param_type == PF_Param_FIX_SLIDER
                                   ? d.u.fd.value >= d.u.fd.valid_min && d.u.fd.value <= d.u.fd.valid_max
                               : d.param_type == PF_Param_POPUP
                                   ? d.u.pd.value >= 1 && d.u.pd.value <= d.u.pd.num_choices
                               : d.param_type == PF_Param_CHECKBOX ? d.u.bd.value == 0 || d.u.bd.value == 1
                                                                   : true;
            EXPECT_TRUE(valid) << d.name;
        }
        return ok;
    };
    const auto value = [&](ParamGroup g, const char* name) { return host_value(host(), index(g, name)); };

    // Out of range: clamped, with a warning naming the key.
    std::vector<std::string> warnings;
    ASSERT_TRUE(
        checked("SeaVast_Ver=1;OP_GAMMA=99;OP_RENMODE=42;PW_WSPEED=-5;AO_HCLR_R=7;CP_YAW=1e30;OO_UR_G=-40;",
                &warnings));
    EXPECT_EQ(value(ParamGroup::RenderOptions, "Gamma Scale"), 4 * 65536);
    EXPECT_EQ(value(ParamGroup::RenderOptions, "Render Mode:"), 8);
    EXPECT_EQ(host().param(index(ParamGroup::OceanOptics, "Water Color")).def.u.cd.value.green, 0);
    EXPECT_TRUE(std::any_of(warnings.begin(), warnings.end(), [](const std::string& w) {
        return w.find("OP_GAMMA") != std::string::npos && w.find("clamped") != std::string::npos;
    }));
    EXPECT_GE(warnings.size(), 5u);

    // Not numbers: skipped with a warning; the parameter keeps its default.
    warnings.clear();
    ASSERT_TRUE(checked("SeaVast_Ver=1;OP_DDIST=nan;OP_TSCALE=inf;OP_LOOPT=abc;", &warnings));
    EXPECT_EQ(value(ParamGroup::RenderOptions, "Double Distance (M)"), 25 * 65536);
    EXPECT_EQ(warnings.size(), 3u);

    // Repeated keys, cut values and binary text are the reader's own tests; an overlong number is not a
    // clean number: skipped, so the default stands.
    ASSERT_TRUE(checked("SeaVast_Ver=1;OP_CMAX=" + std::string(1 << 20, '9') + ";CP_Z=5;", &warnings));
    EXPECT_EQ(value(ParamGroup::RenderOptions, "Color Max Scale"), 65536);
    EXPECT_EQ(value(ParamGroup::Camera, "Elevation (M)"), 5 * 65536);
}

// The presets panel through the module's event command, as a host drives it: menus answered by the
// window system's script, drawing recorded by the host kit.
class Panel : public Presets {
protected:
    void SetUp() override
    {
        Presets::SetUp();
        root_ = std::filesystem::temp_directory_path() / ("seavast_panel_" + std::to_string(getpid()));
        std::filesystem::remove_all(root_);
        ASSERT_TRUE(SetUpPresetRoot(PresetManagerState(), root_));
        hyplat::window_system().clear_script();
        hyplat::window_system().clear_shown_warnings();
    }
    void TearDown() override
    {
        std::filesystem::remove_all(root_);
        PresetManagerState() = HyPresetState{};
        Presets::TearDown();
    }
    // A click in the middle of a panel area, with the menu choice the user then makes.
    PF_Err click(const presets_panel::Area& a, const char* choice = nullptr)
    {
        if (choice)
            hyplat::window_system().push(hyplat::HyInput{hyplat::HyInput::Choose, 0, 0, 0, choice});
        PF_EventExtra e = host().make_event(PF_Event_DO_CLICK);
        e.u.do_click.screen_point = PF_Point{(a.left + a.right) / 2, (a.top + a.bottom) / 2};
        return host().event(e);
    }
    std::vector<std::string> drawn_texts()
    {
        host().drawing().clear_ops();
        PF_EventExtra e = host().make_event(PF_Event_DRAW);
        EXPECT_EQ(host().event(e), PF_Err_NONE);
        std::vector<std::string> texts;
        for (const hostkit::DrawOp& op : host().drawing().ops())
            if (op.kind == hostkit::DrawOp::draw_string)
                texts.push_back(op.text);
        return texts;
    }
    std::filesystem::path root_;
};

TEST_F(Panel, LoadsOnlyTheChosenPartsAndResets)
{
    using namespace presets_panel;
    std::filesystem::create_directories(root_ / "Bay");
    std::ofstream(root_ / "Bay" / "Sunset.wvp") << save_unusual_then_reset();

    EXPECT_EQ(drawn_texts(), (std::vector<std::string>{"None Selected", "All"}));
    ASSERT_EQ(click(kPresetField, "Bay/Sunset"), PF_Err_NONE);
    ASSERT_EQ(click(kPartsField, "Lights"), PF_Err_NONE);
    ASSERT_EQ(click(kLoadButton), PF_Err_NONE);
    EXPECT_TRUE(hyplat::window_system().shown_warnings().empty());
    EXPECT_EQ(drawn_texts(), (std::vector<std::string>{"Bay:Sunset", "Lights"}));
    expect_values([](const ParamRow& row) {
        return row.group == ParamGroup::Light1 || row.group == ParamGroup::Light2;
    });

    // Reset "Swells": both swells back to their defaults, "Enable:" to "None".
    const int enable = index(ParamGroup::Swells, "Enable:");
    const int height2 = index(ParamGroup::Swell2, "2- Height (M)");
    set(ParamGroup::Swells, "Enable:", 4);
    set(ParamGroup::Swell2, "2- Height (M)", 3.5);
    ASSERT_EQ(click(kResetField, "Swells"), PF_Err_NONE);
    EXPECT_EQ(host().param(enable).def.u.pd.value, 1);
    EXPECT_EQ(host_value(host(), height2), defaults_[std::size_t(height2)]);

    // Nothing to load: 908 for no parts is not reachable from the menu, but a vanished file is 906.
    std::filesystem::remove(root_ / "Bay" / "Sunset.wvp");
    ASSERT_EQ(click(kLoadButton), PF_Err_NONE);
    ASSERT_EQ(hyplat::window_system().shown_warnings().size(), 1u);
    EXPECT_EQ(hyplat::window_system().shown_warnings()[0].text,
              "The preset: \n\nBay:Sunset\n\nCannot be found");

    // A long name is cut to its field, as the host shows it.
    const std::string longName(31, 'W');
    std::ofstream(root_ / "Bay" / (longName + ".wvp")) << "SeaVast_Ver=1;";
    ASSERT_EQ(click(kPresetField, ("Bay/" + longName).c_str()), PF_Err_NONE);
    EXPECT_EQ(drawn_texts()[0], "Bay:" + longName);
    const hyplat::HyBitmap shown = hostkit::replay(host().drawing().ops(), kWidth, kHeight);
    int inked = 0;
    for (int y = kPresetField.top; y < kPresetField.bottom; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (shown.at(x, y) == 0xFF000000u) {
                EXPECT_TRUE(kPresetField.contains(x, y)) << x << "," << y;
                ++inked;
            }
    EXPECT_GT(inked, 100);

    // A host that does not give the drawing suites: nothing is drawn and the panel says why. (The host
    // kit counts the suite it handed out empty as acquired and never released; that note is its own.)
    host().add_suite(kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1, nullptr);
    host().drawing().clear_ops();
    PF_EventExtra e = host().make_event(PF_Event_DRAW);
    EXPECT_EQ(host().event(e), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host().message(), "Not able to acquire AEFX Suite.");
    EXPECT_TRUE(host().drawing().ops().empty());
    host().clear_misuse();
    EXPECT_EQ(std::string(PartsText(0x3)), "Render Options");
    EXPECT_EQ(std::string(PartsText(0x300)), "Lights");
}

} // namespace
} // namespace driver_test
