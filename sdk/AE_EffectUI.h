/* Custom user interface events: the record the host passes as `extra` with PF_Cmd_EVENT.
 * Part of this project's own header layer for the host effect API (see sdk/A.h).
 */
#ifndef SEAVAST_SDK_AE_EFFECTUI_H
#define SEAVAST_SDK_AE_EFFECTUI_H

#include "sdk/AE_Effect.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    PF_Event_NEW_CONTEXT = 0,
    PF_Event_ACTIVATE = 1,
    PF_Event_DO_CLICK = 2,
    PF_Event_DRAG = 3,
    PF_Event_DRAW = 4,
    PF_Event_DEACTIVATE = 5,
    PF_Event_CLOSE_CONTEXT = 6,
    PF_Event_IDLE = 7,
    PF_Event_ADJUST_CURSOR = 8,
    PF_Event_KEYDOWN = 9,
    PF_Event_MOUSE_EXITED = 10,
    PF_Event_NUM_EVENTS
};
typedef A_long PF_EventType;

enum { PF_Window_COMP = 0, PF_Window_LAYER = 1, PF_Window_EFFECT = 2, PF_Window_PREVIEW = 3 };
typedef A_long PF_WindowType;

/* evt_out_flags */
#define PF_EO_NONE 0L
#define PF_EO_HANDLED_EVENT (1L << 0)
#define PF_EO_ALWAYS_UPDATE (1L << 1)
#define PF_EO_NEVER_UPDATE (1L << 2)
#define PF_EO_UPDATE_NOW (1L << 3)
typedef A_long PF_EventOutFlags;

#define PF_EI_NONE 0L
#define PF_EI_DONT_DRAW (1L << 0)
typedef A_long PF_EventInFlags;

#define PF_Mod_NONE 0x0000
#define PF_Mod_CMD_CTRL_KEY 0x0100
#define PF_Mod_SHIFT_KEY 0x0200
#define PF_Mod_CAPS_LOCK_KEY 0x0400
#define PF_Mod_OPT_ALT_KEY 0x0800
#define PF_Mod_MAC_CONTROL_KEY 0x1000
typedef A_long PF_Modifiers;

#define PF_CONTEXT_MAGIC 0x05ea2d8f

/* One window in which the effect draws. */
typedef struct PF_Context {
    A_u_long magic;
    PF_WindowType w_type;
    A_long reserved_flt;
    A_long plugin_state[4];
    void* reserved_drawref;
    void* reserved_paneP;
} PF_Context, *PF_ContextPtr, **PF_ContextH;

typedef struct {
    A_u_long when;
    PF_Point screen_point; /* window coordinates of the click, despite the name */
    A_long num_clicks;
    PF_Modifiers modifiers;
    A_intptr_t continue_refcon[4];
    PF_Boolean send_drag;
    PF_Boolean last_time;
} PF_DoClickEventInfo;

typedef struct {
    PF_Rect update_rect;
    A_long depth;
} PF_DrawEventInfo;

typedef struct {
    PF_Point screen_point;
    PF_Modifiers modifiers;
    A_long set_cursor;
} PF_AdjustCursorEventInfo;

typedef struct {
    A_u_long when;
    PF_Point screen_point;
    A_long key_code;
    PF_Modifiers modifiers;
} PF_KeyDownEvent;

typedef union {
    PF_DoClickEventInfo do_click;
    PF_DrawEventInfo draw;
    PF_AdjustCursorEventInfo adjust_cursor;
    PF_KeyDownEvent key_down;
} PF_EventUnion;

/* Where the effect's control sits in the effect window. */
typedef struct {
    PF_ParamIndex index;
    PF_Rect area; /* the control's rectangle in window coordinates */
    PF_Rect current_frame;
    A_long param_title_frame;
    A_long horiz_offset;
} PF_EffectWindowInfo;

typedef struct {
    void* refcon;
    PF_Err (*layer_to_comp)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                            PF_FixedPoint* pt);
    PF_Err (*comp_to_layer)(void* refcon, PF_ContextH context, A_long curr_time, A_long time_scale,
                            PF_FixedPoint* pt);
    PF_Err (*get_comp2layer_xform)(void* refcon, PF_ContextH context, A_long curr_time,
                                   A_long time_scale, A_long* exists, PF_FixedPoint* xform);
    PF_Err (*get_layer2comp_xform)(void* refcon, PF_ContextH context, A_long curr_time,
                                   A_long time_scale, PF_FixedPoint* xform);
    PF_Err (*source_to_frame)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*frame_to_source)(void* refcon, PF_ContextH context, PF_FixedPoint* pt);
    PF_Err (*info_draw_color)(void* refcon, PF_Pixel color);
    PF_Err (*info_draw_text)(void* refcon, const A_char* text1, const A_char* text2);
} PF_EventCallbacks;

/* The `extra` argument of PF_Cmd_EVENT. */
typedef struct PF_EventExtra {
    PF_ContextH contextH;
    PF_EventType e_type;
    PF_EventUnion u;
    PF_EffectWindowInfo effect_win;
    PF_EventCallbacks* cbs;
    PF_EventInFlags evt_in_flags;
    PF_EventOutFlags evt_out_flags;
} PF_EventExtra;

#ifdef __cplusplus
}
#endif

#endif
