// The parameter set as a host receives it from the real module, on a host with parameter groups
// (API 12 and later) and on an older one.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "PluginFixture.h"
#include "hostkit/Fixed.h"

namespace {

using hostkit::Host;
using seavast_test::config_for_api;
using seavast_test::fresh_module;

std::unique_ptr<Host> defined(int api_major)
{
    auto host = std::make_unique<Host>(fresh_module(), config_for_api(api_major));
    EXPECT_EQ(host->setup(), PF_Err_NONE);
    EXPECT_EQ(host->global_setdown(), PF_Err_NONE);
    return host;
}

int count_type(const Host& host, PF_ParamType type)
{
    int n = 0;
    for (const hostkit::HostParam& p : host.params())
        n += p.def.param_type == type;
    return n;
}

TEST(PluginParams, CountsWithAndWithoutGroups)
{
    for (const int api : {13, 12, 11, 10}) {
        SCOPED_TRACE(api);
        const int expected = api >= 12 ? 124 : 102;
        auto host = std::make_unique<Host>(fresh_module(), config_for_api(api));
        ASSERT_EQ(host->setup(), PF_Err_NONE);
        EXPECT_EQ(host->out_data().num_params, expected);
        EXPECT_EQ(host->param_count(), expected);
        EXPECT_EQ(host->global_setdown(), PF_Err_NONE);
        EXPECT_EQ(count_type(*host, PF_Param_GROUP_START), api >= 12 ? 11 : 0);
        EXPECT_EQ(count_type(*host, PF_Param_GROUP_END), api >= 12 ? 11 : 0);
        // Every definition passed the host's checks (ranges in order, defaults inside, pop-up
        // choice counts, balanced groups, unique ids, names terminated).
        EXPECT_NO_MISUSE(*host);
    }
}

TEST(PluginParams, ImageMapLayersSitAtTheirIndices)
{
    const auto groups = defined(13);
    const auto flat = defined(11);
    const int with[] = {15, 28, 41};
    const int without[] = {12, 23, 34};
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(groups->find_param("Map Layer:", n), with[n]);
        EXPECT_EQ(flat->find_param("Map Layer:", n), without[n]);
        for (const Host* h : {groups.get(), flat.get()}) {
            const hostkit::HostParam& p = h->param(h->find_param("Map Layer:", n));
            EXPECT_EQ(p.def.param_type, PF_Param_LAYER);
            EXPECT_EQ(p.def.u.ld.dephault, PF_LayerDefault_NONE);
        }
    }
    EXPECT_EQ(groups->param(14).def.param_type, PF_Param_GROUP_START);
    EXPECT_STREQ(groups->param(14).def.name, "Image Map 1");
    EXPECT_EQ(groups->param(15).group, "Image Map 1");
}

TEST(PluginParams, NamesKeepTheirBlanks)
{
    for (const int api : {13, 11}) {
        const auto host = defined(api);
        const int index = host->find_param("Max Distance (KM) ");
        ASSERT_GT(index, 0) << api;
        EXPECT_EQ(index, api >= 12 ? 7 : 6);
        EXPECT_EQ(host->find_param("Max Distance (KM)"), -1);
        EXPECT_EQ(host->param(host->find_param("Haze On")).label, "  ");
    }
}

TEST(PluginParams, CameraIdsAreFixedWhateverTheIndices)
{
    const char* names[] = {"X East-West (M)", "Y North-South (M)", "Elevation (M)", "Tilt",
                           "Pan",             "Roll",              "Field Of View", "Bobbing Platform Size (M)"};
    const auto groups = defined(13);
    const auto flat = defined(11);
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(names[k]);
        const int gi = groups->find_param(names[k]);
        ASSERT_GT(gi, 0);
        EXPECT_EQ(gi, 54 + k);
        EXPECT_EQ(groups->param(gi).id, 201 + k);
        EXPECT_EQ(groups->param(gi).group, "Camera");
        const int fi = flat->find_param(names[k]);
        ASSERT_GT(fi, 0);
        EXPECT_EQ(flat->param(fi).id, 200 + k);
    }
    EXPECT_EQ(groups->param(53).id, 200); // the camera group itself
    EXPECT_EQ(groups->param(62).id, 0);   // its end
}

TEST(PluginParams, IdsAreUniqueAndEqualTheIndexOutsideTheCamera)
{
    for (const int api : {13, 11}) {
        SCOPED_TRACE(api);
        const auto host = defined(api);
        std::set<A_long> seen;
        for (int i = 1; i < host->param_count(); ++i) {
            const hostkit::HostParam& p = host->param(i);
            if (p.id == 0)
                continue; // the presets control and two group ends carry no id
            EXPECT_TRUE(seen.insert(p.id).second) << "duplicate id " << p.id;
            if (p.id < 200 || p.id > 208) {
                EXPECT_EQ(p.id, i) << p.def.name;
            }
        }
        // Index 1 is the presets panel's custom control.
        const hostkit::HostParam& presets = host->param(1);
        EXPECT_STREQ(presets.def.name, "Presets");
        EXPECT_EQ(presets.def.param_type, PF_Param_NO_DATA);
        EXPECT_EQ(presets.def.ui_flags, PF_PUI_CONTROL);
        EXPECT_EQ(presets.def.ui_width, 215);
        EXPECT_EQ(presets.def.ui_height, 79);
        EXPECT_EQ(presets.def.flags, PF_ParamFlag_CANNOT_INTERP);
        EXPECT_EQ(presets.id, 0);
    }
}

TEST(PluginParams, CustomInterfaceIsRegisteredForTheEffectWindowOnly)
{
    const auto host = defined(13);
    EXPECT_EQ(host->register_ui_count(), 1);
    const PF_CustomUIInfo& ui = host->registered_ui();
    EXPECT_EQ(ui.events, PF_CustomEFlag_EFFECT);
    EXPECT_EQ(ui.comp_ui_width | ui.comp_ui_height | ui.layer_ui_width | ui.layer_ui_height |
                  ui.preview_ui_width | ui.preview_ui_height | ui.comp_ui_alignment | ui.layer_ui_alignment |
                  ui.preview_ui_alignment,
              0);
}

TEST(PluginParams, SliderValuesAreNearestSixteenSixteen)
{
    // The values are converted from the effect's single-precision numbers; the host must see the
    // nearest 16.16 value of each (61.39 -> 4023255, 0.2 -> 13107, 3.8 -> 249037, 0.01 -> 655).
    const auto host = defined(13);
    const auto fd = [&](const char* name) { return host->param(host->find_param(name)).def.u.fd; };
    EXPECT_EQ(fd("Field Of View").dephault, 4023255);
    EXPECT_EQ(fd("Field Of View").valid_max, 175 << 16);
    EXPECT_EQ(fd("Scale X").dephault, 13107);
    EXPECT_EQ(fd("Scale X").valid_min, -10 << 16);
    EXPECT_EQ(fd("Coarse Grid Size (M)").dephault, 249037);
    EXPECT_EQ(fd("Max Distance (KM) ").slider_min, 655);
    EXPECT_EQ(fd("Max Distance (KM) ").valid_min, 655); // a positive minimum is kept as it is
    EXPECT_EQ(fd("Index of Refraction").dephault, hostkit::to_fixed(double(1.34f)));
    EXPECT_EQ(fd("Elevation (M)").valid_min, -100 << 16);
    EXPECT_EQ(fd("Elevation (M)").valid_max, 5000 << 16);
    for (const hostkit::HostParam& p : host->params())
        if (p.def.param_type == PF_Param_FIX_SLIDER) {
            EXPECT_EQ(p.def.u.fd.precision, PF_Precision_HUNDREDTHS) << p.def.name;
        }
}

TEST(PluginParams, ValuesCanBeTypedAsAUserWould)
{
    const auto host = defined(13);
    const int haze = host->find_param("Haze Color");
    std::string why;
    EXPECT_TRUE(host->set_from_text(haze, "1,2,3", &why)) << why;
    const PF_Pixel c = host->param(haze).def.u.cd.value;
    EXPECT_EQ(c.red, 1);
    EXPECT_EQ(c.green, 2);
    EXPECT_EQ(c.blue, 3);
    EXPECT_EQ(c.alpha, 255);
    for (const char* bad : {"1,2,3,4", "1,2", "256,0,0", "-1,0,0", "a,b,c", ""})
        EXPECT_FALSE(host->set_from_text(haze, bad)) << bad;
    EXPECT_TRUE(host->set_from_text(host->find_param("Render Mode:"), "Depth Map"));
    EXPECT_EQ(host->param(host->find_param("Render Mode:")).def.u.pd.value, 8);
    EXPECT_TRUE(host->set_from_text(host->find_param("Tilt"), "-12.5"));
    EXPECT_EQ(host->param(host->find_param("Tilt")).def.u.ad.value, -819200);
    EXPECT_FALSE(host->set_from_text(host->find_param("Field Of View"), "176", &why));
    EXPECT_EQ(why, "\"Field Of View\" takes 1 to 175");
}

} // namespace
