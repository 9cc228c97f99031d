/* The host effect API: command selectors, error codes, flags, parameter definitions, the in-data and
 * out-data blocks, the layer world, the callbacks the host offers, and the entry point's signature.
 *
 * This is this project's own header layer (see sdk/A.h): the names and numeric values are the
 * published ones, the layouts are ours and are shared by the plug-in and our command-line host.
 * Plain C structs only.
 */
#ifndef SEAVAST_SDK_AE_EFFECT_H
#define SEAVAST_SDK_AE_EFFECT_H

#include <stddef.h>

#include "sdk/A.h"
#include "sdk/SPBasic.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Version packing ------------------------------------------------------------------------- */

#define PF_Stage_DEVELOP 0
#define PF_Stage_ALPHA 1
#define PF_Stage_BETA 2
#define PF_Stage_RELEASE 3

/* major (3 low bits) << 19 | minor << 15 | fix level << 11 | stage << 9 | build (9 bits). */
#define PF_VERSION(vers, subvers, bugvers, stage, build)                                          \
    ((A_u_long)((((A_u_long)(vers) & 0x7) << 19) | (((A_u_long)(subvers) & 0xF) << 15) |           \
                (((A_u_long)(bugvers) & 0xF) << 11) | (((A_u_long)(stage) & 0x3) << 9) |           \
                ((A_u_long)(build) & 0x1FF)))

#define PF_Vers_VERS_BITS(v) (((A_u_long)(v) >> 19) & 0x7)
#define PF_Vers_SUBVERS_BITS(v) (((A_u_long)(v) >> 15) & 0xF)
#define PF_Vers_BUGVERS_BITS(v) (((A_u_long)(v) >> 11) & 0xF)
#define PF_Vers_STAGE_BITS(v) (((A_u_long)(v) >> 9) & 0x3)
#define PF_Vers_BUILD_BITS(v) ((A_u_long)(v)&0x1FF)

/* API version the host speaks; 12 and later take parameter groups. */
#define PF_PLUG_IN_VERSION 13
#define PF_PLUG_IN_SUBVERS 28

#define PF_MAX_EFFECT_NAME_LEN 31
#define PF_MAX_EFFECT_MSG_LEN 255
#define PF_MAX_EFFECT_PARAM_NAME_LEN 31
#define PF_MAX_PARAM_DESCRIPTION_LEN 31
#define PF_MAX_PARAM_VALUE_LEN 31

/* ---- Scalars ------------------------------------------------------------------------------- */

typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_Fixed; /* 16.16 fixed point */
typedef A_u_long PF_UFixed;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamValue;
typedef A_long PF_ParamType;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ChangeFlags;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_Quality;
typedef A_long PF_ModeFlags;
typedef A_long PF_Field;
typedef A_u_char PF_Boolean;
typedef A_FpLong PF_FpLong;
typedef A_FpShort PF_FpShort;
typedef void** PF_Handle; /* host memory handle: new, lock, unlock, dispose through PF_UtilCallbacks */
typedef struct _PF_ProgressData* PF_ProgPtr; /* the host's opaque reference to one effect call */

#define PF_Fixed_1 ((PF_Fixed)0x00010000L)
#define INT2FIX(i) ((PF_Fixed)(i) << 16)
#define FIX2INT(f) ((A_long)(f) >> 16)
#define FLOAT2FIX(f) ((PF_Fixed)((f) * 65536.0 + (((f) < 0) ? -0.5 : 0.5)))
#define FIX_2_FLOAT(f) ((PF_FpLong)(f) / 65536.0)

typedef struct {
    A_short major;
    A_short minor;
} PF_SpecVersion;

typedef struct {
    A_long num;
    A_u_long den;
} PF_RationalScale;

typedef struct {
    A_long left, top, right, bottom;
} PF_Rect, PF_LRect, PF_UnionableRect;

typedef struct {
    A_long h, v;
} PF_Point;

typedef struct {
    PF_Fixed x, y;
} PF_FixedPoint;

/* One 8-bit pixel, in the host's memory order: alpha, red, green, blue. */
typedef struct {
    A_u_char alpha, red, green, blue;
} PF_Pixel, PF_Pixel8, PF_UnionablePixel;

typedef PF_Pixel* PF_PixelPtr;

/* ---- Command selectors -------------------------------------------------------------------- */

enum {
    PF_Cmd_ABOUT = 0,
    PF_Cmd_GLOBAL_SETUP = 1,
    PF_Cmd_UNUSED_0 = 2,
    PF_Cmd_GLOBAL_SETDOWN = 3,
    PF_Cmd_PARAMS_SETUP = 4,
    PF_Cmd_SEQUENCE_SETUP = 5,
    PF_Cmd_SEQUENCE_RESETUP = 6,
    PF_Cmd_SEQUENCE_FLATTEN = 7,
    PF_Cmd_SEQUENCE_SETDOWN = 8,
    PF_Cmd_DO_DIALOG = 9,
    PF_Cmd_FRAME_SETUP = 10,
    PF_Cmd_RENDER = 11,
    PF_Cmd_FRAME_SETDOWN = 12,
    PF_Cmd_USER_CHANGED_PARAM = 13,
    PF_Cmd_UPDATE_PARAMS_UI = 14,
    PF_Cmd_EVENT = 15,
    PF_Cmd_GET_EXTERNAL_DEPENDENCIES = 16,
    PF_Cmd_COMPLETELY_GENERAL = 17,
    PF_Cmd_QUERY_DYNAMIC_FLAGS = 18,
    /* Later selectors; this effect ignores them. */
    PF_Cmd_AUDIO_RENDER = 19,
    PF_Cmd_AUDIO_SETUP = 20,
    PF_Cmd_AUDIO_SETDOWN = 21,
    PF_Cmd_ARBITRARY_CALLBACK = 22,
    PF_Cmd_SMART_PRE_RENDER = 23,
    PF_Cmd_SMART_RENDER = 24,
    PF_Cmd_RESERVED1 = 25,
    PF_Cmd_RESERVED2 = 26,
    PF_Cmd_RESERVED3 = 27,
    PF_Cmd_GET_FLATTENED_SEQUENCE_DATA = 28,
    PF_Cmd_TRANSLATE_PARAMS_TO_PREFS = 29,
    PF_Cmd_RESERVED4 = 30,
    PF_Cmd_SMART_RENDER_GPU = 31,
    PF_Cmd_GPU_DEVICE_SETUP = 32,
    PF_Cmd_GPU_DEVICE_SETDOWN = 33,
    PF_Cmd_NUM_CMDS
};

/* ---- Error codes -------------------------------------------------------------------------- */

#define PF_FIRST_ERR 512

enum {
    PF_Err_NONE = 0,
    PF_Err_OUT_OF_MEMORY = 4,
    PF_Err_INTERNAL_STRUCT_DAMAGED = PF_FIRST_ERR, /* 512 */
    PF_Err_INVALID_INDEX,                          /* 513 */
    PF_Err_UNRECOGNIZED_PARAM_TYPE,                /* 514 */
    PF_Err_INVALID_CALLBACK,                       /* 515 */
    PF_Err_BAD_CALLBACK_PARAM,                     /* 516 */
    PF_Interrupt_CANCEL,                           /* 517: the user interrupted a render */
    PF_Err_CANNOT_PARSE_KEYFRAME_TEXT              /* 518 */
};

/* ---- Out-flags (PF_OutData::out_flags, and 'eGLO' in the property data) ------------------ */

#define PF_OutFlag_NONE 0L
#define PF_OutFlag_KEEP_RESOURCE_OPEN (1L << 0)
#define PF_OutFlag_WIDE_TIME_INPUT (1L << 1)
#define PF_OutFlag_NON_PARAM_VARY (1L << 2)
#define PF_OutFlag_RESERVED6 (1L << 3)
#define PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING (1L << 4)
#define PF_OutFlag_I_DO_DIALOG (1L << 5)
#define PF_OutFlag_USE_OUTPUT_EXTENT (1L << 6)
#define PF_OutFlag_SEND_DO_DIALOG (1L << 7)
#define PF_OutFlag_DISPLAY_ERROR_MESSAGE (1L << 8)
#define PF_OutFlag_I_EXPAND_BUFFER (1L << 9)
#define PF_OutFlag_PIX_INDEPENDENT (1L << 10)
#define PF_OutFlag_I_WRITE_INPUT_BUFFER (1L << 11)
#define PF_OutFlag_I_SHRINK_BUFFER (1L << 12)
#define PF_OutFlag_WORKS_IN_PLACE (1L << 13)
#define PF_OutFlag_RESERVED8 (1L << 14)
#define PF_OutFlag_CUSTOM_UI (1L << 15)
#define PF_OutFlag_RESERVED7 (1L << 16)
#define PF_OutFlag_REFRESH_UI (1L << 17)
#define PF_OutFlag_NOP_RENDER (1L << 18)
#define PF_OutFlag_I_USE_SHUTTER_ANGLE (1L << 19)
#define PF_OutFlag_I_USE_AUDIO (1L << 20)
#define PF_OutFlag_I_AM_OBSOLETE (1L << 21)
#define PF_OutFlag_FORCE_RERENDER (1L << 22)
#define PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS (1L << 23)
#define PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES (1L << 24)
#define PF_OutFlag_DEEP_COLOR_AWARE (1L << 25)
#define PF_OutFlag_SEND_UPDATE_PARAMS_UI (1L << 26)
#define PF_OutFlag_AUDIO_FLOAT_ONLY (1L << 27)
#define PF_OutFlag_AUDIO_IIR (1L << 28)
#define PF_OutFlag_I_SYNTHESIZE_AUDIO (1L << 29)
#define PF_OutFlag_AUDIO_EFFECT_TOO (1L << 30)
#define PF_OutFlag_AUDIO_EFFECT_ONLY ((A_long)(1UL << 31))

/* ---- Out-flags2 (PF_OutData::out_flags2, and 'eGL2') ------------------------------------- */

#define PF_OutFlag2_NONE 0L
#define PF_OutFlag2_SUPPORTS_QUERY_DYNAMIC_FLAGS (1L << 0)
#define PF_OutFlag2_I_USE_3D_CAMERA (1L << 1)
#define PF_OutFlag2_I_USE_3D_LIGHTS (1L << 2)
#define PF_OutFlag2_PARAM_GROUP_START_COLLAPSED_FLAG (1L << 3)
#define PF_OutFlag2_I_AM_THREADSAFE (1L << 4)
#define PF_OutFlag2_CAN_COMBINE_WITH_DESTINATION (1L << 5)
#define PF_OutFlag2_DOESNT_NEED_EMPTY_PIXELS (1L << 6)
#define PF_OutFlag2_REVEALS_ZERO_ALPHA (1L << 7)
#define PF_OutFlag2_PRESERVES_FULLY_OPAQUE_PIXELS (1L << 8)
#define PF_OutFlag2_SUPPORTS_SMART_RENDER (1L << 10)
#define PF_OutFlag2_FLOAT_COLOR_AWARE (1L << 12)
#define PF_OutFlag2_I_USE_COLORSPACE_ENUMERATION (1L << 13)
#define PF_OutFlag2_I_AM_DEPRECATED (1L << 14)
#define PF_OutFlag2_PPRO_DO_NOT_CLONE_SEQUENCE_DATA_FOR_RENDER (1L << 15)
#define PF_OutFlag2_AUTOMATIC_WIDE_TIME_INPUT (1L << 17)
#define PF_OutFlag2_I_USE_TIMECODE (1L << 18)
#define PF_OutFlag2_DEPENDS_ON_UNREFERENCED_MASKS (1L << 19)
#define PF_OutFlag2_OUTPUT_IS_WATERMARKED (1L << 20)
#define PF_OutFlag2_I_MIX_GUID_DEPENDENCIES (1L << 21)
#define PF_OutFlag2_SUPPORTS_GET_FLATTENED_SEQUENCE_DATA (1L << 23)
#define PF_OutFlag2_SUPPORTS_THREADED_RENDERING (1L << 27)

/* ---- In-flags and quality ----------------------------------------------------------------- */

#define PF_InFlag_NONE 0L
#define PF_InFlag_PROJECT_IS_RENDER_ONLY (1L << 0)

enum { PF_Quality_DRAWING_AUDIO = -1, PF_Quality_LO = 0, PF_Quality_HI = 1 };

enum { PF_Field_FRAME = 0, PF_Field_UPPER = 1, PF_Field_LOWER = 2 };

/* ---- Parameter types and flags ----------------------------------------------------------- */

enum {
    PF_Param_RESERVED = -1,
    PF_Param_LAYER = 0,
    PF_Param_SLIDER = 1,
    PF_Param_FIX_SLIDER = 2,
    PF_Param_ANGLE = 3,
    PF_Param_CHECKBOX = 4,
    PF_Param_COLOR = 5,
    PF_Param_POINT = 6,
    PF_Param_POPUP = 7,
    PF_Param_CUSTOM = 8,
    PF_Param_NO_DATA = 9,
    PF_Param_FLOAT_SLIDER = 10,
    PF_Param_ARBITRARY_DATA = 11,
    PF_Param_PATH = 12,
    PF_Param_GROUP_START = 13,
    PF_Param_GROUP_END = 14,
    PF_Param_BUTTON = 15,
    PF_Param_RESERVED2 = 16,
    PF_Param_RESERVED3 = 17,
    PF_Param_POINT_3D = 18
};

#define PF_ParamFlag_RESERVED1 (1L << 0)
#define PF_ParamFlag_CANNOT_TIME_VARY (1L << 1)
#define PF_ParamFlag_CANNOT_INTERP (1L << 2)
#define PF_ParamFlag_RESERVED2 (1L << 3)
#define PF_ParamFlag_RESERVED3 (1L << 4)
#define PF_ParamFlag_COLLAPSE_TWIRLY (1L << 5)
#define PF_ParamFlag_SUPERVISE (1L << 6)
#define PF_ParamFlag_START_COLLAPSED PF_ParamFlag_COLLAPSE_TWIRLY
#define PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS (1L << 7)
#define PF_ParamFlag_LAYER_PARAM_IS_TRACKMATTE (1L << 7)
#define PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED (1L << 8)
#define PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN (1L << 9)

#define PF_PUI_NONE 0L
#define PF_PUI_TOPIC (1L << 0)
#define PF_PUI_CONTROL (1L << 1)
#define PF_PUI_STD_CONTROL_ONLY (1L << 2)
#define PF_PUI_NO_ECW_UI (1L << 3)
#define PF_PUI_ECW_SEPARATOR (1L << 4)
#define PF_PUI_DISABLED (1L << 5)
#define PF_PUI_DONT_ERASE_TOPIC (1L << 6)
#define PF_PUI_DONT_ERASE_CONTROL (1L << 7)
#define PF_PUI_RADIO_BUTTON (1L << 8)
#define PF_PUI_INVISIBLE (1L << 9)

#define PF_ChangeFlag_NONE 0L
#define PF_ChangeFlag_CHANGED_VALUE (1L << 0)
#define PF_ChangeFlag_RESERVED (1L << 1)
#define PF_ChangeFlag_SET_TO_VARY (1L << 2)
#define PF_ChangeFlag_SET_TO_CONSTANT (1L << 3)

/* Layer parameter defaults. */
#define PF_LayerDefault_MYSELF (-1)
#define PF_LayerDefault_NONE 0

#define PF_Precision_INTEGER 0
#define PF_Precision_TENTHS 1
#define PF_Precision_HUNDREDTHS 2
#define PF_Precision_THOUSANDTHS 3
#define PF_Precision_TEN_THOUSANDTHS 4

#define PF_ValueDisplayFlag_NONE 0
#define PF_ValueDisplayFlag_PERCENT (1 << 0)
#define PF_ValueDisplayFlag_PIXEL (1 << 1)

/* ---- The layer world ---------------------------------------------------------------------- */

#define PF_WorldFlag_DEEP (1L << 0)
#define PF_WorldFlag_WRITEABLE (1L << 1)

/* One image the host owns. Pixels are PF_Pixel (alpha, red, green, blue); row r starts at
 * data + r * rowbytes bytes, rows top to bottom; rowbytes >= width * 4 and may carry padding. */
typedef struct PF_LayerDef {
    void* reserved0;
    void* reserved1;
    A_long world_flags;
    PF_PixelPtr data;
    A_long rowbytes;
    A_long width;
    A_long height;
    PF_UnionableRect extent_hint;
    void* platform_ref;
    A_long reserved_long1;
    void* reserved_long4;
    PF_RationalScale pix_aspect_ratio;
    void* reserved_long2;
    A_long origin_x;
    A_long origin_y;
    A_long reserved_long3;
    A_long dephault; /* PF_LayerDefault_MYSELF or PF_LayerDefault_NONE when used as a parameter */
} PF_LayerDef, PF_EffectWorld;

/* ---- Parameter definitions ---------------------------------------------------------------- */

typedef struct {
    PF_ParamValue value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_ParamValue valid_min, valid_max;
    PF_ParamValue slider_min, slider_max;
    PF_ParamValue dephault;
} PF_SliderDef;

typedef struct {
    PF_Fixed value;
    A_char value_str[PF_MAX_PARAM_VALUE_LEN + 1];
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_Fixed valid_min, valid_max;
    PF_Fixed slider_min, slider_max;
    PF_Fixed dephault;
    A_short precision;
    A_short display_flags;
} PF_FixedSliderDef;

typedef struct {
    PF_FpLong value;
    PF_FpLong phase;
    A_char value_desc[PF_MAX_PARAM_DESCRIPTION_LEN + 1];
    PF_FpShort valid_min, valid_max;
    PF_FpShort slider_min, slider_max;
    PF_FpShort dephault;
    A_short precision;
    A_short display_flags;
    A_u_long fs_flags;
    PF_FpShort curve_tolerance;
    PF_Boolean useExponent;
    PF_FpShort exponent;
} PF_FloatSliderDef;

/* Angles are degrees in 16.16. */
typedef struct {
    PF_Fixed value;
    PF_Fixed dephault;
    PF_Fixed valid_min, valid_max;
} PF_AngleDef;

typedef struct {
    PF_ParamValue value;
    PF_Boolean dephault;
    A_char reserved;
    A_short reserved1;
    union {
        A_u_long id;
        const A_char* nameptr; /* the label shown beside the box */
    } u;
} PF_CheckBoxDef;

typedef struct {
    PF_UnionablePixel value;
    PF_UnionablePixel dephault;
} PF_ColorDef;

/* Point values are pixels in 16.16; defaults are percentages of the layer in 16.16. */
typedef struct {
    PF_Fixed x_value;
    PF_Fixed y_value;
    A_char reserved[3];
    PF_Boolean restrict_bounds;
    PF_Fixed x_dephault;
    PF_Fixed y_dephault;
} PF_PointDef;

/* Pop-up values are 1-based; the choices come as one string separated by '|'. */
typedef struct {
    PF_ParamValue value;
    A_short num_choices;
    A_short dephault;
    union {
        A_u_long id;
        const A_char* namesptr;
    } u;
} PF_PopupDef;

typedef struct {
    A_short id;
    A_short pad;
    PF_Handle dephault;
    PF_Handle value;
    void* refconPV;
} PF_ArbitraryDef;

typedef struct {
    A_long button_reserved;
    union {
        A_u_long id;
        const A_char* namesptr;
    } u;
} PF_ButtonDef;

typedef union {
    PF_LayerDef ld;
    PF_SliderDef sd;
    PF_FixedSliderDef fd;
    PF_AngleDef ad;
    PF_CheckBoxDef bd;
    PF_ColorDef cd;
    PF_PointDef td;
    PF_PopupDef pd;
    PF_FloatSliderDef fs_d;
    PF_ArbitraryDef arb_d;
    PF_ButtonDef button_d;
} PF_ParamDefUnion;

/* One parameter: its definition at parameter setup, its value at a time when checked out.
 * Group start and end carry no value; a custom control (PF_Param_NO_DATA with PF_PUI_CONTROL)
 * uses ui_width and ui_height for its area in the effect window. */
typedef struct PF_ParamDef {
    union {
        A_long id;                   /* persistent id, at parameter setup */
        PF_ChangeFlags change_flags; /* PF_ChangeFlag_* when the plug-in changes a value */
    } uu;
    PF_ParamUIFlags ui_flags;
    A_short ui_width;
    A_short ui_height;
    PF_ParamType param_type;
    A_char name[PF_MAX_EFFECT_PARAM_NAME_LEN + 1];
    PF_ParamFlags flags;
    A_long unused;
    PF_ParamDefUnion u;
} PF_ParamDef, *PF_ParamDefPtr, **PF_ParamDefH;

/* The parameter array of a call: params[0] is the effect's own input layer. */
typedef PF_ParamDef** PF_ParamList;

/* ---- Custom user interface registration --------------------------------------------------- */

#define PF_CustomEFlag_NONE 0L
#define PF_CustomEFlag_COMP (1L << 0)
#define PF_CustomEFlag_LAYER (1L << 1)
#define PF_CustomEFlag_EFFECT (1L << 2)
#define PF_CustomEFlag_PREVIEW (1L << 3)

typedef struct {
    A_long events; /* PF_CustomEFlag_* */
    A_long comp_ui_width;
    A_long comp_ui_height;
    A_long comp_ui_alignment;
    A_long layer_ui_width;
    A_long layer_ui_height;
    A_long layer_ui_alignment;
    A_long preview_ui_width;
    A_long preview_ui_height;
    A_long preview_ui_alignment;
} PF_CustomUIInfo;

/* ---- Callbacks ---------------------------------------------------------------------------- */

/* The host's C library stand-ins; string copy is how texts reach the host's fixed fields. */
typedef struct {
    A_FpLong (*atan)(A_FpLong);
    A_FpLong (*atan2)(A_FpLong y, A_FpLong x);
    A_FpLong (*ceil)(A_FpLong);
    A_FpLong (*cos)(A_FpLong);
    A_FpLong (*exp)(A_FpLong);
    A_FpLong (*fabs)(A_FpLong);
    A_FpLong (*floor)(A_FpLong);
    A_FpLong (*fmod)(A_FpLong x, A_FpLong y);
    A_FpLong (*hypot)(A_FpLong x, A_FpLong y);
    A_FpLong (*log)(A_FpLong);
    A_FpLong (*log10)(A_FpLong);
    A_FpLong (*pow)(A_FpLong x, A_FpLong y);
    A_FpLong (*sin)(A_FpLong);
    A_FpLong (*sqrt)(A_FpLong);
    A_FpLong (*tan)(A_FpLong);
    int (*sprintf)(A_char* buffer, const A_char* format, ...);
    A_char* (*strcpy)(A_char* dst, const A_char* src);
    A_FpLong (*asin)(A_FpLong);
    A_FpLong (*acos)(A_FpLong);
    A_long ansi_procs[1];
} PF_ANSICallbacks;

/* Utility callbacks (in_data->utils). Only the members this layer names are guaranteed; the host
 * may leave any of them null. */
typedef struct _PF_UtilCallbacks {
    PF_Err (*begin_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, PF_ModeFlags mf, void* params);
    PF_Err (*end_sampling)(PF_ProgPtr effect_ref, PF_Quality qual, PF_ModeFlags mf, void* params);
    PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                   PF_Rect* dst_r);
    PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                   PF_EffectWorld* world);
    PF_Err (*new_world)(PF_ProgPtr effect_ref, A_long width, A_long height, A_long flags,
                        PF_EffectWorld* world);
    PF_Err (*dispose_world)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
    /* Host memory handles: a new handle of size bytes (null when the host has none), lock gives the
     * block's address, unlock, dispose. */
    PF_Handle (*host_new_handle)(A_u_longlong size);
    void* (*host_lock_handle)(PF_Handle pf_handle);
    void (*host_unlock_handle)(PF_Handle pf_handle);
    void (*host_dispose_handle)(PF_Handle pf_handle);
    A_u_longlong (*host_get_handle_size)(PF_Handle pf_handle);
    PF_Err (*host_resize_handle)(A_u_longlong new_sizeL, PF_Handle* handleP);
    PF_Err (*get_platform_data)(PF_ProgPtr effect_ref, A_long which, void* data);
    PF_ANSICallbacks ansi;
} PF_UtilCallbacks;

/* Interaction callbacks (in_data->inter). */
typedef struct {
    /* Gives a parameter's value at what_time / time_scale; check it back in when done. */
    PF_Err (*checkout_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long what_time,
                             A_long time_step, A_u_long time_scale, PF_ParamDef* param);
    PF_Err (*checkin_param)(PF_ProgPtr effect_ref, PF_ParamDef* param);
    /* At parameter setup: index -1 appends. */
    PF_Err (*add_param)(PF_ProgPtr effect_ref, PF_ParamIndex index, PF_ParamDefPtr def);
    /* Nonzero when the user asked to stop (the value is the error to return). */
    PF_Err (*abort)(PF_ProgPtr effect_ref);
    /* Progress current of total; a nonzero result asks the effect to stop. */
    PF_Err (*progress)(PF_ProgPtr effect_ref, A_long current, A_long total);
    PF_Err (*register_ui)(PF_ProgPtr effect_ref, PF_CustomUIInfo* cust_info);
    PF_Err (*checkout_layer_audio)(PF_ProgPtr effect_ref, PF_ParamIndex index, A_long start_time,
                                   A_long duration, A_u_long time_scale, void* rate,
                                   A_long bytes_per_sample, A_long num_channels, A_long fmt_signed,
                                   void** audio);
    PF_Err (*checkin_layer_audio)(PF_ProgPtr effect_ref, void* audio);
    void* reserved[10];
} PF_InteractCallbacks;

/* ---- In-data and out-data ----------------------------------------------------------------- */

/* What the host tells the effect on every call. Times are in units of 1 / time_scale seconds. */
typedef struct PF_InData {
    PF_InteractCallbacks inter;
    struct _PF_UtilCallbacks* utils;
    PF_ProgPtr effect_ref;
    PF_Quality quality;           /* PF_Quality_HI or PF_Quality_LO */
    PF_SpecVersion version;       /* the API version the host speaks */
    A_long serial_num;
    A_long appl_id;               /* four characters: 'FXTC' for the compositor, 'PrMr' for the editor */
    A_long num_params;
    A_long reserved;
    A_long what_cpu;
    A_long what_fpu;
    A_long current_time;
    A_long time_step;
    A_long total_time;
    A_long local_time_step;
    A_u_long time_scale;
    PF_Field field;
    PF_Fixed shutter_angle;
    A_long width;
    A_long height;
    PF_Rect extent_hint;
    A_long output_origin_x;
    A_long output_origin_y;
    PF_RationalScale downsample_x;
    PF_RationalScale downsample_y;
    PF_RationalScale pixel_aspect_ratio;
    PF_InFlags in_flags;
    PF_Handle global_data;
    PF_Handle sequence_data;
    PF_Handle frame_data;
    A_long start_sampL;
    A_long dur_sampL;
    A_long total_sampL;
    void* src_snd;
    SPBasicSuite* pica_basicP; /* the suite broker; may be null on a broken host */
    A_long pre_effect_source_origin_x;
    A_long pre_effect_source_origin_y;
    PF_Fixed shutter_phase;
} PF_InData;

/* What the effect tells the host. */
typedef struct PF_OutData {
    A_u_long my_version; /* PF_VERSION(...) */
    A_char name[PF_MAX_EFFECT_NAME_LEN + 1];
    PF_Handle global_data;
    A_long num_params;
    PF_Handle sequence_data;
    A_long flat_sdata_size;
    PF_Handle frame_data;
    A_long width;
    A_long height;
    PF_Point origin;
    PF_OutFlags out_flags;
    A_char return_msg[PF_MAX_EFFECT_MSG_LEN + 1]; /* shown to the user with DISPLAY_ERROR_MESSAGE */
    A_long start_sampL;
    A_long dur_sampL;
    void* dest_snd;
    PF_OutFlags2 out_flags2;
} PF_OutData;

/* ---- The entry point ---------------------------------------------------------------------- */

/* extra: PF_EventExtra* for PF_Cmd_EVENT, otherwise command specific or null. */
typedef PF_Err (*PF_EntryFunc)(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                               PF_ParamDef* params[], PF_LayerDef* output, void* extra);

#define PF_ENTRY_POINT_NAME "PluginEntry"

#if defined(_WIN32)
#define PF_EXPORT __declspec(dllexport)
#else
#define PF_EXPORT __attribute__((visibility("default")))
#endif

PF_EXPORT PF_Err PluginEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                             PF_ParamDef* params[], PF_LayerDef* output, void* extra);

#ifdef __cplusplus
}
#endif

#endif
