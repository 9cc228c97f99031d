// The header layer's published values: hosts and saved projects depend on these numbers, so a
// typo here would break compatibility silently.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

#include "sdk/AE_EffectSuites.h"

TEST(SdkValues, VersionPackingRoundTrips)
{
    // 1.4.8 release build 0 is the word reported at global setup and in the property data.
    EXPECT_EQ(PF_VERSION(1, 4, 8, PF_Stage_RELEASE, 0), 0x000A4600u);
    const A_u_long v = PF_VERSION(5, 9, 3, PF_Stage_BETA, 417);
    EXPECT_EQ(PF_Vers_VERS_BITS(v), 5u);
    EXPECT_EQ(PF_Vers_SUBVERS_BITS(v), 9u);
    EXPECT_EQ(PF_Vers_BUGVERS_BITS(v), 3u);
    EXPECT_EQ(PF_Vers_STAGE_BITS(v), unsigned(PF_Stage_BETA));
    EXPECT_EQ(PF_Vers_BUILD_BITS(v), 417u);
}

TEST(SdkValues, FlagsSelectorsErrorsAndTypes)
{
    const struct {
        long value, expected;
        const char* name;
    } values[] = {
        {PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_NON_PARAM_VARY |
             PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING | PF_OutFlag_CUSTOM_UI |
             PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS,
         0x00808015L, "property out flags"},
        {PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS | PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER,
         0x00008001L, "property out flags 2"},
        {PF_OutFlag_FORCE_RERENDER, 0x00400000L, "FORCE_RERENDER"},
        {PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0x100L, "DISPLAY_ERROR_MESSAGE"},
        {PF_OutFlag_PIX_INDEPENDENT, 0x400L, "PIX_INDEPENDENT"},
        {PF_OutFlag_WORKS_IN_PLACE, 0x2000L, "WORKS_IN_PLACE"},
        {PF_OutFlag_WIDE_TIME_INPUT, 0x2L, "WIDE_TIME_INPUT"},
        {PF_ParamFlag_START_COLLAPSED, 32, "START_COLLAPSED"},
        {PF_ParamFlag_CANNOT_TIME_VARY, 2, "CANNOT_TIME_VARY"},
        {PF_ParamFlag_CANNOT_INTERP, 4, "CANNOT_INTERP"},
        {PF_PUI_CONTROL, 2, "PUI_CONTROL"},
        {PF_CustomEFlag_EFFECT, 4, "CustomEFlag_EFFECT"},
        {PF_EO_HANDLED_EVENT | PF_EO_UPDATE_NOW, 9, "event out flags"},
        {PF_Err_OUT_OF_MEMORY, 4, "OUT_OF_MEMORY"},
        {PF_Err_INVALID_INDEX, 513, "INVALID_INDEX"},
        {PF_Err_UNRECOGNIZED_PARAM_TYPE, 514, "UNRECOGNIZED_PARAM_TYPE"},
        {PF_Err_BAD_CALLBACK_PARAM, 516, "BAD_CALLBACK_PARAM"},
        {PF_Interrupt_CANCEL, 517, "Interrupt_CANCEL"},
        {PF_Param_LAYER, 0, "Param_LAYER"},
        {PF_Param_FIX_SLIDER, 2, "Param_FIX_SLIDER"},
        {PF_Param_POPUP, 7, "Param_POPUP"},
        {PF_Param_NO_DATA, 9, "Param_NO_DATA"},
        {PF_Param_GROUP_START, 13, "Param_GROUP_START"},
        {PF_Param_GROUP_END, 14, "Param_GROUP_END"},
        {PF_Event_DO_CLICK, 2, "Event_DO_CLICK"},
        {PF_Event_DRAW, 4, "Event_DRAW"},
        {PF_Window_EFFECT, 2, "Window_EFFECT"},
    };
    for (const auto& v : values)
        EXPECT_EQ(v.value, v.expected) << v.name;
    const int cmds[] = {PF_Cmd_ABOUT,
                        PF_Cmd_GLOBAL_SETUP,
                        PF_Cmd_UNUSED_0,
                        PF_Cmd_GLOBAL_SETDOWN,
                        PF_Cmd_PARAMS_SETUP,
                        PF_Cmd_SEQUENCE_SETUP,
                        PF_Cmd_SEQUENCE_RESETUP,
                        PF_Cmd_SEQUENCE_FLATTEN,
                        PF_Cmd_SEQUENCE_SETDOWN,
                        PF_Cmd_DO_DIALOG,
                        PF_Cmd_FRAME_SETUP,
                        PF_Cmd_RENDER,
                        PF_Cmd_FRAME_SETDOWN,
                        PF_Cmd_USER_CHANGED_PARAM,
                        PF_Cmd_UPDATE_PARAMS_UI,
                        PF_Cmd_EVENT,
                        PF_Cmd_GET_EXTERNAL_DEPENDENCIES,
                        PF_Cmd_COMPLETELY_GENERAL,
                        PF_Cmd_QUERY_DYNAMIC_FLAGS,
                        PF_Cmd_AUDIO_RENDER};
    for (int i = 0; i < int(std::size(cmds)); ++i)
        EXPECT_EQ(cmds[i], i);
}

TEST(SdkValues, BlocksArePlainAndFieldsFitTheHostLimits)
{
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
