// The header layer's published values: hosts and saved projects depend on these numbers.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>
#include <utility>
#include <vector>

#include "sdk/AE_EffectSuites.h"

TEST(SdkValues, PublishedNumbersAndBlockLayouts)
{
    // 1.4.8 release build 0 is the word reported at global setup and in the property data.
    EXPECT_EQ(PF_VERSION(1, 4, 8, PF_Stage_RELEASE, 0), 0x000A4600u);
    const A_u_long v = PF_VERSION(5, 9, 3, PF_Stage_BETA, 417);
    EXPECT_EQ((std::vector<A_u_long>{PF_Vers_VERS_BITS(v), PF_Vers_SUBVERS_BITS(v), PF_Vers_BUGVERS_BITS(v),
                                     PF_Vers_STAGE_BITS(v), PF_Vers_BUILD_BITS(v)}),
              (std::vector<A_u_long>{5, 9, 3, PF_Stage_BETA, 417}));

    // The property data holds its flag words as numbers, pinned by the property-list test.
    const std::pair<long, long> values[] = {
        {PF_OutFlag_FORCE_RERENDER, 0x00400000L}, {PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0x100L},
        {PF_OutFlag_PIX_INDEPENDENT, 0x400L},     {PF_OutFlag_WORKS_IN_PLACE, 0x2000L},
        {PF_OutFlag_WIDE_TIME_INPUT, 0x2L},       {PF_ParamFlag_START_COLLAPSED, 32},
        {PF_ParamFlag_CANNOT_TIME_VARY, 2},       {PF_ParamFlag_CANNOT_INTERP, 4},
        {PF_PUI_CONTROL, 2},                      {PF_CustomEFlag_EFFECT, 4},
        {PF_EO_HANDLED_EVENT | PF_EO_UPDATE_NOW, 9},
        {PF_Err_OUT_OF_MEMORY, 4},                {PF_Err_INVALID_INDEX, 513},
        {PF_Err_UNRECOGNIZED_PARAM_TYPE, 514},    {PF_Err_BAD_CALLBACK_PARAM, 516},
        {PF_Interrupt_CANCEL, 517},               {PF_Param_LAYER, 0},
        {PF_Param_FIX_SLIDER, 2},                 {PF_Param_POPUP, 7},
        {PF_Param_NO_DATA, 9},                    {PF_Param_GROUP_START, 13},
        {PF_Param_GROUP_END, 14},                 {PF_Event_DO_CLICK, 2},
        {PF_Event_DRAW, 4},                       {PF_Window_EFFECT, 2}};
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(values[i].first, values[i].second) << "row " << i;
    // The selectors run 0 .. 19 in this order; the plug-in dispatches on these.
    // clang-format off
    const int cmds[] = {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_UNUSED_0, PF_Cmd_GLOBAL_SETDOWN,
                        PF_Cmd_PARAMS_SETUP, PF_Cmd_SEQUENCE_SETUP, PF_Cmd_SEQUENCE_RESETUP,
                        PF_Cmd_SEQUENCE_FLATTEN, PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_DO_DIALOG, PF_Cmd_FRAME_SETUP,
                        PF_Cmd_RENDER, PF_Cmd_FRAME_SETDOWN, PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_UPDATE_PARAMS_UI,
                        PF_Cmd_EVENT, PF_Cmd_GET_EXTERNAL_DEPENDENCIES, PF_Cmd_COMPLETELY_GENERAL,
                        PF_Cmd_QUERY_DYNAMIC_FLAGS, PF_Cmd_AUDIO_RENDER};
    // clang-format on
    for (int i = 0; i < int(std::size(cmds)); ++i)
        EXPECT_EQ(cmds[i], i);

    static_assert(std::is_standard_layout_v<PF_InData> && std::is_trivially_copyable_v<PF_InData>);
    static_assert(std::is_standard_layout_v<PF_OutData> && std::is_trivially_copyable_v<PF_OutData>);
    static_assert(std::is_standard_layout_v<PF_ParamDef> && std::is_trivially_copyable_v<PF_ParamDef>);
    static_assert(std::is_standard_layout_v<PF_EventExtra> && sizeof(PF_Pixel) == 4);
    EXPECT_EQ(sizeof(PF_OutData{}.return_msg), 256u);
    EXPECT_EQ(sizeof(PF_ParamDef{}.name), 32u);
    // Pixels are alpha, red, green, blue in memory.
    EXPECT_EQ(offsetof(PF_Pixel, alpha), 0u);
    EXPECT_EQ(offsetof(PF_Pixel, blue), 3u);
    // FLOAT2FIX sends halves away from zero on both sides.
    EXPECT_EQ(FLOAT2FIX(0.5 / 65536.0), 1);
    EXPECT_EQ(FLOAT2FIX(-0.5 / 65536.0), -1);
    EXPECT_EQ(FLOAT2FIX(2.0), 2 * 65536);
}
