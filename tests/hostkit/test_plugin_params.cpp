// The parameter set as a host receives it from the real module, on a host with parameter groups
// (API 12 and later) and on an older one. Names, ids, indices, types, defaults as 16.16 values,
// ranges and flags are pinned row by row by the checked-in listings of the command-line tests;
// here: the host kit's checks of every definition, the custom interface and typed values.
#include <gtest/gtest.h>

#include <string>

#include "PluginFixture.h"

namespace {

using hostkit::Host;
using seavast_test::config_for_api;
using seavast_test::fresh_module;

int count_type(const Host& host, PF_ParamType type)
{
    int n = 0;
    for (const hostkit::HostParam& p : host.params())
        n += p.def.param_type == type;
    return n;
}

// Every definition passes the host's checks (ranges in order, defaults inside, pop-up choice counts,
// balanced groups, unique ids, names terminated); the custom interface is for the effect window only;
// values can be typed as a user would.
TEST(PluginParams, CountsInterfaceAndTypedValues)
{
    for (const int api : {13, 12, 11, 10}) {
        SCOPED_TRACE(api);
        const int expected = api >= 12 ? 124 : 102;
        Host host(fresh_module(), config_for_api(api));
        ASSERT_EQ(host.setup(), PF_Err_NONE);
        EXPECT_EQ(host.out_data().num_params, expected);
        EXPECT_EQ(host.param_count(), expected);
        EXPECT_EQ(host.global_setdown(), PF_Err_NONE);
        EXPECT_EQ(count_type(host, PF_Param_GROUP_START), api >= 12 ? 11 : 0);
        EXPECT_EQ(count_type(host, PF_Param_GROUP_END), api >= 12 ? 11 : 0);
        EXPECT_NO_MISUSE(host);
        EXPECT_EQ(host.register_ui_count(), 1);
        const PF_CustomUIInfo& ui = host.registered_ui();
        EXPECT_EQ(ui.events, PF_CustomEFlag_EFFECT);
        EXPECT_EQ(ui.comp_ui_width | ui.comp_ui_height | ui.layer_ui_width | ui.layer_ui_height |
                      ui.preview_ui_width | ui.preview_ui_height | ui.comp_ui_alignment |
                      ui.layer_ui_alignment | ui.preview_ui_alignment,
                  0);
        if (api != 13)
            continue;
        const int haze = host.find_param("Haze Color");
        std::string why;
        EXPECT_TRUE(host.set_from_text(haze, "1,2,3", &why)) << why;
        const PF_Pixel c = host.param(haze).def.u.cd.value;
        EXPECT_TRUE(c.red == 1 && c.green == 2 && c.blue == 3 && c.alpha == 255);
        for (const char* bad : {"1,2,3,4", "1,2", "256,0,0", "-1,0,0", "a,b,c", ""})
            EXPECT_FALSE(host.set_from_text(haze, bad)) << bad;
        EXPECT_TRUE(host.set_from_text(host.find_param("Render Mode:"), "Depth Map"));
        EXPECT_EQ(host.param(host.find_param("Render Mode:")).def.u.pd.value, 8);
        EXPECT_TRUE(host.set_from_text(host.find_param("Tilt"), "-12.5"));
        EXPECT_EQ(host.param(host.find_param("Tilt")).def.u.ad.value, -819200);
        EXPECT_FALSE(host.set_from_text(host.find_param("Field Of View"), "176", &why));
        EXPECT_EQ(why, "\"Field Of View\" takes 1 to 175");
    }
}

} // namespace
