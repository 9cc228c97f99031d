/* Named function tables ("suites") the host offers through the suite broker, with the versions this
 * plug-in asks for, and the tables of the suites the effect calls.
 * Part of this project's own header layer for the host effect API (see sdk/A.h).
 */
#ifndef SEAVAST_SDK_AE_EFFECTSUITES_H
#define SEAVAST_SDK_AE_EFFECTSUITES_H

#include "sdk/AE_Effect.h"
#include "sdk/AE_EffectUI.h"
#include "sdk/DrawbotSuite.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Effect suites ------------------------------------------------------------------------ */

#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 1
#define kPFFillMatteSuite "PF Fill Matte Suite"
#define kPFFillMatteSuiteVersion2 2
#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion2 2
#define kPFSampling8Suite "PF Sampling8 Suite"
#define kPFSampling8SuiteVersion1 1
#define kPFSampling16Suite "PF Sampling16 Suite"
#define kPFSampling16SuiteVersion1 1
#define kPFSamplingFloatSuite "PF SamplingFloat Suite"
#define kPFSamplingFloatSuiteVersion1 1
#define kPFIterate8Suite "PF Iterate8 Suite"
#define kPFIterate8SuiteVersion1 1
#define kPFIterate16Suite "PF iterate16 Suite"
#define kPFIterate16SuiteVersion1 1
#define kPFIterateFloatSuite "PF iterateFloat Suite"
#define kPFIterateFloatSuiteVersion1 1
#define kPFPathQuerySuite "PF Path Query Suite"
#define kPFPathQuerySuiteVersion1 1
#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1
#define kPFAppSuite "PF AE App Suite"
#define kPFAppSuiteVersion6 6
#define kPFAdvAppSuite "PF AE Adv App Suite"
#define kPFAdvAppSuiteVersion2 2
#define kPFAdvItemSuite "PF AE Adv Item Suite"
#define kPFAdvItemSuiteVersion1 1
#define kPFColorSettingsSuite "PF Color Settings Suite"
#define kPFColorSettingsSuiteVersion2 2
#define kPFColorParamSuite "PF ColorParamSuite"
#define kPFColorParamSuiteVersion1 1
#define kPFColorCallbacks16Suite "PF Color16 Suite"
#define kPFColorCallbacks16SuiteVersion1 1
#define kPFPixelDataSuite "PF Pixel Data Suite"
#define kPFPixelDataSuiteVersion1 1
#define kPFEffectUISuite "PF Effect UI Suite"
#define kPFEffectUISuiteVersion1 1
#define kPFEffectCustomUISuite "PF Effect Custom UI Suite"
#define kPFEffectCustomUISuiteVersion1 1
#define kPFEffectCustomUIOverlayThemeSuite "PF Effect Custom UI Overlay Theme Suite"
#define kPFEffectCustomUIOverlayThemeSuiteVersion1 1
#define kPFCacheOnLoadSuite "PF Cache On Load Suite"
#define kPFCacheOnLoadSuiteVersion1 1
#define kAEGPPluginHelperSuite2 "AE Plugin Helper Suite2"
#define kAEGPPluginHelperSuite2Version1 1

/* ---- AEGP suites (listed so the suite cache can hold them; this effect does not call them) ---- */

#define kAEGPMarkerSuite "AEGP Marker Suite"
#define kAEGPMarkerSuiteVersion2 2
#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion8 8
#define kAEGPStreamSuite "AEGP Stream Suite"
#define kAEGPStreamSuiteVersion5 5
#define kAEGPDynamicStreamSuite "AEGP Dynamic Stream Suite"
#define kAEGPDynamicStreamSuiteVersion4 4
#define kAEGPKeyframeSuite "AEGP Keyframe Suite"
#define kAEGPKeyframeSuiteVersion4 4
#define kAEGPCompSuite "AEGP Comp Suite"
#define kAEGPCompSuiteVersion11 11
#define kAEGPCanvasSuite "AEGP Canvas Suite"
#define kAEGPCanvasSuiteVersion8 8
#define kAEGPCameraSuite "AEGP Camera Suite"
#define kAEGPCameraSuiteVersion2 2
#define kAEGPRegisterSuite "AEGP Register Suite"
#define kAEGPRegisterSuiteVersion5 5
#define kAEGPItemSuite "AEGP Item Suite"
#define kAEGPItemSuiteVersion9 9
#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
#define kAEGPMemorySuite "AEGP Memory Suite"
#define kAEGPMemorySuiteVersion1 1
#define kAEGPLightSuite "AEGP Light Suite"
#define kAEGPLightSuiteVersion2 2
#define kAEGPEffectSuite "AEGP Effect Suite"
#define kAEGPEffectSuiteVersion4 4
#define kAEGPLayerMaskSuite "AEGP Layer Mask Suite"
#define kAEGPLayerMaskSuiteVersion1 1
#define kAEGPMaskOutlineSuite "AEGP Mask Outline Suite"
#define kAEGPMaskOutlineSuiteVersion3 3
#define kAEGPCommandSuite "AEGP Command Suite"
#define kAEGPCommandSuiteVersion1 1
#define kAEGPUtilitySuite "AEGP Utility Suite"
#define kAEGPUtilitySuiteVersion6 6
#define kAEGPRenderSuite "AEGP Render Suite"
#define kAEGPRenderSuiteVersion4 4
#define kAEGPQueryXformSuite "AEGP QueryXform Suite"
#define kAEGPQueryXformSuiteVersion2 2
#define kAEGPCompositeSuite "AEGP Composite Suite"
#define kAEGPCompositeSuiteVersion2 2
#define kAEGPIOInSuite "AEGP IO In Suite"
#define kAEGPIOInSuiteVersion5 5
#define kAEGPIOOutSuite "AEGP IO Out Suite"
#define kAEGPIOOutSuiteVersion5 5
#define kAEGPRenderQueueSuite "AEGP Render Queue Suite"
#define kAEGPRenderQueueSuiteVersion1 1
#define kAEGPRQItemSuite "AEGP Render Queue Item Suite"
#define kAEGPRQItemSuiteVersion4 4
#define kAEGPOutputModuleSuite "AEGP Output Module Suite"
#define kAEGPOutputModuleSuiteVersion4 4
#define kAEGPFIMSuite "AEGP File Import Manager Suite"
#define kAEGPFIMSuiteVersion3 3
#define kAEGPCollectionSuite "AEGP Collection Suite"
#define kAEGPCollectionSuiteVersion2 2
#define kAEGPTextDocumentSuite "AEGP Text Document Suite"
#define kAEGPTextDocumentSuiteVersion1 1
#define kAEGPSoundDataSuite "AEGP Sound Data Suite"
#define kAEGPSoundDataSuiteVersion1 1
#define kAEGPTextLayerSuite "AEGP Text Layer Suite"
#define kAEGPTextLayerSuiteVersion1 1
#define kAEGPArtisanUtilSuite "AEGP Artisan Util Suite"
#define kAEGPArtisanUtilSuiteVersion1 1
#define kAEGPWorldSuite "AEGP World Suite"
#define kAEGPWorldSuiteVersion3 3
#define kAEGPRenderOptionsSuite "AEGP Render Options Suite"
#define kAEGPRenderOptionsSuiteVersion4 4
#define kAEGPTrackerSuite "AEGP Tracker Suite"
#define kAEGPTrackerSuiteVersion1 1
#define kAEGPTrackerUtilitySuite "AEGP Tracker Utility Suite"
#define kAEGPTrackerUtilitySuiteVersion1 1
#define kAEGPProjSuite "AEGP Proj Suite"
#define kAEGPProjSuiteVersion6 6
#define kAEGPFootageSuite "AEGP Footage Suite"
#define kAEGPFootageSuiteVersion5 5
#define kAEGPPersistentDataSuite "AEGP Persistent Data Suite"
#define kAEGPPersistentDataSuiteVersion4 4

/* ---- Application suite ("PF AE App Suite", version 6) ------------------------------------ */

typedef struct {
    A_u_short red, green, blue;
} PF_App_Color;

typedef struct {
    A_char name[64];
    A_char org[64];
    A_char serial_str[64];
} PF_AppPersonalTextInfo;

typedef A_long PF_App_ColorType;
typedef A_long PF_CursorType;

typedef struct PFAppSuite6 {
    PF_Err (*PF_AppGetBgColor)(PF_App_Color* bg_colorP);
    PF_Err (*PF_AppGetColor)(PF_App_ColorType color_type, PF_App_Color* app_colorP);
    PF_Err (*PF_GetPersonalInfo)(PF_AppPersonalTextInfo* ptiP);
    PF_Err (*PF_GetFontStyleSheet)(A_long sheet, A_char* font_nameP, A_short* font_numPS,
                                   A_short* sizePS, A_short* stylePS);
    PF_Err (*PF_SetCursor)(PF_CursorType cursor);
    PF_Err (*PF_IsRenderEngine)(PF_Boolean* render_enginePB);
    PF_Err (*PF_AppColorPickerDialog)(const A_char* dialog_title, const PF_Pixel* sample_colorP,
                                      PF_Boolean use_ws_to_monitor_xform, PF_Pixel* result_colorP);
    /* The cursor in the context's window coordinates. */
    PF_Err (*PF_GetMouse)(PF_ContextH contextH, PF_Point* pointP);
    /* Ask for a redraw of rectP0 (null: the whole window) of the context. */
    PF_Err (*PF_InvalidateRect)(PF_ContextH contextH, const PF_Rect* rectP0);
    /* Window coordinates of the current event's window to screen coordinates. */
    PF_Err (*PF_ConvertLocalToGlobal)(const PF_Point* localP, PF_Point* globalP);
} PFAppSuite6;

/* ---- Custom user interface suite ("PF Effect Custom UI Suite", version 1) ---------------- */

typedef struct PF_EffectCustomUISuite1 {
    PF_Err (*PF_GetDrawingReference)(const PF_ContextH effect_contextH, DRAWBOT_DrawRef* referenceP0);
} PF_EffectCustomUISuite1;

#ifdef __cplusplus
}
#endif

#endif
