// SPDX-License-Identifier: MIT
// Scalar types and constants of the host interface, with the published names and values
// (the x86-64 Windows widths, which we use on every platform so that layouts agree).
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// --- Basic types -------------------------------------------------------------------------
typedef int32_t A_long;
typedef uint32_t A_u_long;
typedef int16_t A_short;
typedef uint16_t A_u_short;
typedef char A_char;
typedef unsigned char A_u_char;
typedef unsigned char A_Boolean;
typedef double A_FpLong;
typedef float A_FpShort;
typedef A_long A_Err;
typedef void* A_Handle;
typedef A_long A_Fixed;
typedef A_u_long A_UFixed;
typedef int64_t A_intptr_t;
typedef uint64_t A_u_longlong;
typedef A_u_longlong A_HandleSize;
typedef A_u_short A_UTF16Char;

typedef char PF_Boolean;  // signed char-sized, unlike A_Boolean
typedef A_long PF_Fixed;
typedef A_u_long PF_UFixed;
typedef void** PF_Handle;
typedef A_long PF_Err;
typedef A_long PF_Cmd;
typedef A_long PF_ParamValue;
typedef A_long PF_ParamIndex;
typedef A_long PF_ParamFlags;
typedef A_long PF_ParamType;
typedef A_long PF_ParamUIFlags;
typedef A_long PF_ChangeFlags;
typedef struct PF_ProgressInfo* PF_ProgPtr;
typedef A_FpShort PF_FpShort;
typedef A_FpLong PF_FpLong;
typedef A_long PF_Quality;
typedef A_long PF_ModeFlags;
typedef A_long PF_Field;
typedef A_long PF_OutFlags;
typedef A_long PF_OutFlags2;
typedef A_long PF_InFlags;
typedef A_long PF_WorldFlags;
typedef A_long PF_NewWorldFlags;
typedef A_long PF_MaskFlags;
typedef A_long PF_MaskMode;
typedef A_long PF_CallbackID;
typedef A_long PF_PlatDataID;
typedef A_long PF_TransferMode;
typedef PF_TransferMode PF_XferMode;
typedef A_long PF_PixelFormat;
typedef A_u_long PF_KernelFlags;
typedef A_u_long PF_SampleEdgeBehav;
typedef A_u_long PF_FSliderFlags;
typedef A_u_long PF_PathID;
typedef A_short PF_ValueDisplayFlags;
typedef A_short PF_SoundFormat;
typedef A_short PF_SoundSampleSize;
typedef A_short PF_SoundChannels;
typedef struct PF_PathOutline* PF_PathOutlinePtr;
typedef struct PF_PathSegPrep* PF_PathSegPrepPtr;
typedef struct _PF_LayerAudio* PF_LayerAudio;
typedef void* PF_SndSamplePtr;
typedef struct PF_YouMustCastThisToActualFunctionType* PF_CallbackFunc;
typedef PF_Handle PF_ArbitraryH;

typedef struct _AEGP_Layer** AEGP_LayerH;
typedef struct _AEGP_Comp** AEGP_CompH;
typedef struct _AEGP_Item** AEGP_ItemH;
typedef struct _AEGP_Effect** AEGP_EffectRefH;
typedef struct _AEGP_TextOutlines** AEGP_TextOutlinesH;
typedef struct _Up_OpaqueMem** AEGP_MemHandle;
typedef struct _AEGP_Collection2** AEGP_Collection2H;
typedef struct _AEGPp_Stream** AEGP_StreamRefH;
typedef A_long AEGP_PluginID;
typedef A_long AEGP_LayerFlags;
typedef A_long AEGP_CompFlags;
typedef A_long AEGP_ObjectType;
typedef A_long AEGP_LayerIDVal;
typedef A_long AEGP_TrackMatte;
typedef A_long AEGP_TransferFlags;
typedef A_short AEGP_LTimeMode;
typedef A_short AEGP_LayerQuality;
typedef A_short AEGP_LayerSamplingQuality;
typedef A_char AEGP_LabelID;

typedef int32_t SPErr;
typedef int32_t SPBoolean;  // 32 bits on Windows

// --- Commands --------------------------------------------------------------------------
enum {
  PF_Cmd_ABOUT = 0,
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
  PF_Cmd_AUDIO_RENDER,
  PF_Cmd_AUDIO_SETUP,
  PF_Cmd_AUDIO_SETDOWN,
  PF_Cmd_ARBITRARY_CALLBACK,
  PF_Cmd_SMART_PRE_RENDER,
  PF_Cmd_SMART_RENDER,
  PF_Cmd_RESERVED1,
  PF_Cmd_RESERVED2,
  PF_Cmd_RESERVED3,
  PF_Cmd_GET_FLATTENED_SEQUENCE_DATA,
  PF_Cmd_TRANSLATE_PARAMS_TO_PREFS,
  PF_Cmd_RESERVED4,
  PF_Cmd_SMART_RENDER_GPU,
  PF_Cmd_GPU_DEVICE_SETUP,
  PF_Cmd_GPU_DEVICE_SETDOWN,
  PF_Cmd_NUM_CMDS
};

// --- Errors ----------------------------------------------------------------------------
enum {
  PF_Err_NONE = 0,
  PF_Err_OUT_OF_MEMORY = 4,
  PF_Err_INTERNAL_STRUCT_DAMAGED = 512,
  PF_Err_INVALID_INDEX,
  PF_Err_UNRECOGNIZED_PARAM_TYPE,
  PF_Err_INVALID_CALLBACK,
  PF_Err_BAD_CALLBACK_PARAM,
  PF_Interrupt_CANCEL,
  PF_Err_CANNOT_PARSE_KEYFRAME_TEXT
};

enum {
  A_Err_NONE = 0,
  A_Err_GENERIC,
  A_Err_STRUCT,
  A_Err_PARAMETER,
  A_Err_ALLOC,
  A_Err_WRONG_THREAD,
  A_Err_CONST_PROJECT_MODIFICATION,
  A_Err_MISSING_SUITE = 13,
  A_Err_NOT_IN_CACHE_OR_COMPUTE_PENDING = 22,
  A_Err_PROJECT_LOAD_FATAL,
  A_Err_EFFECT_APPLY_FATAL,
  A_Err_LAST
};

enum {
  kSPNoError = 0,
  kSPUnimplementedError = 0x21494D50,  // '!IMP'
  kSPSuiteNotFoundError = 0x53214664,  // 'S!Fd'
  kSPBadParameterError = 0x5061726D,   // 'Parm'
  kSPOutOfMemoryError = -148           // 0xFFFFFF6C as a 32-bit integer
};

// --- Parameter types, flags and display ------------------------------------------------
enum {
  PF_Param_RESERVED = -1,
  PF_Param_LAYER = 0,
  PF_Param_SLIDER,
  PF_Param_FIX_SLIDER,
  PF_Param_ANGLE,
  PF_Param_CHECKBOX,
  PF_Param_COLOR,
  PF_Param_POINT,
  PF_Param_POPUP,
  PF_Param_CUSTOM,
  PF_Param_NO_DATA,
  PF_Param_FLOAT_SLIDER,
  PF_Param_ARBITRARY_DATA,
  PF_Param_PATH,
  PF_Param_GROUP_START,
  PF_Param_GROUP_END,
  PF_Param_BUTTON,
  PF_Param_RESERVED2,
  PF_Param_RESERVED3,
  PF_Param_POINT_3D
};

enum {
  PF_ParamFlag_NONE = 0,
  PF_ParamFlag_RESERVED1 = 1 << 0,
  PF_ParamFlag_CANNOT_TIME_VARY = 1 << 1,
  PF_ParamFlag_CANNOT_INTERP = 1 << 2,
  PF_ParamFlag_RESERVED2 = 1 << 3,
  PF_ParamFlag_RESERVED3 = 1 << 4,
  PF_ParamFlag_COLLAPSE_TWIRLY = 1 << 5,
  PF_ParamFlag_SUPERVISE = 1 << 6,
  PF_ParamFlag_START_COLLAPSED = PF_ParamFlag_COLLAPSE_TWIRLY,
  PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS = 1 << 7,
  PF_ParamFlag_LAYER_PARAM_IS_TRACKMATTE = 1 << 7,
  PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED = 1 << 8,
  PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN = 1 << 9
};

enum {
  PF_Precision_INTEGER,
  PF_Precision_TENTHS,
  PF_Precision_HUNDREDTHS,
  PF_Precision_THOUSANDTHS,
  PF_Precision_TEN_THOUSANDTHS
};

enum {
  PF_ValueDisplayFlag_NONE = 0,
  PF_ValueDisplayFlag_PERCENT = 1 << 0,
  PF_ValueDisplayFlag_PIXEL = 1 << 1,
  PF_ValueDisplayFlag_RESERVED1 = 1 << 2,
  PF_ValueDisplayFlag_REVERSE = 1 << 3
};

enum { PF_FSliderFlag_NONE = 0, PF_FSliderFlag_WANT_PHASE = 1 << 0 };

enum {
  PF_ChangeFlag_NONE = 0,
  PF_ChangeFlag_CHANGED_VALUE = 1 << 0,
  PF_ChangeFlag_RESERVED = 1 << 1,
  PF_ChangeFlag_SET_TO_VARY = 1 << 2,
  PF_ChangeFlag_SET_TO_CONSTANT = 1 << 3
};

enum { PF_LayerDefault_MYSELF = -1, PF_LayerDefault_NONE = 0 };

// --- Output and input flags --------------------------------------------------------------
enum : uint32_t {
  PF_OutFlag_NONE = 0,
  PF_OutFlag_KEEP_RESOURCE_OPEN = 1u << 0,
  PF_OutFlag_WIDE_TIME_INPUT = 1u << 1,
  PF_OutFlag_NON_PARAM_VARY = 1u << 2,
  PF_OutFlag_RESERVED6 = 1u << 3,
  PF_OutFlag_SEQUENCE_DATA_NEEDS_FLATTENING = 1u << 4,
  PF_OutFlag_I_DO_DIALOG = 1u << 5,
  PF_OutFlag_USE_OUTPUT_EXTENT = 1u << 6,
  PF_OutFlag_SEND_DO_DIALOG = 1u << 7,
  PF_OutFlag_DISPLAY_ERROR_MESSAGE = 1u << 8,
  PF_OutFlag_I_EXPAND_BUFFER = 1u << 9,
  PF_OutFlag_PIX_INDEPENDENT = 1u << 10,
  PF_OutFlag_I_WRITE_INPUT_BUFFER = 1u << 11,
  PF_OutFlag_I_SHRINK_BUFFER = 1u << 12,
  PF_OutFlag_WORKS_IN_PLACE = 1u << 13,
  PF_OutFlag_RESERVED8 = 1u << 14,
  PF_OutFlag_CUSTOM_UI = 1u << 15,
  PF_OutFlag_RESERVED7 = 1u << 16,
  PF_OutFlag_REFRESH_UI = 1u << 17,
  PF_OutFlag_NOP_RENDER = 1u << 18,
  PF_OutFlag_I_USE_SHUTTER_ANGLE = 1u << 19,
  PF_OutFlag_I_USE_AUDIO = 1u << 20,
  PF_OutFlag_I_AM_OBSOLETE = 1u << 21,
  PF_OutFlag_FORCE_RERENDER = 1u << 22,
  PF_OutFlag_PiPL_OVERRIDES_OUTDATA_OUTFLAGS = 1u << 23,
  PF_OutFlag_I_HAVE_EXTERNAL_DEPENDENCIES = 1u << 24,
  PF_OutFlag_DEEP_COLOR_AWARE = 1u << 25,
  PF_OutFlag_SEND_UPDATE_PARAMS_UI = 1u << 26,
  PF_OutFlag_AUDIO_FLOAT_ONLY = 1u << 27,
  PF_OutFlag_AUDIO_IIR = 1u << 28,
  PF_OutFlag_I_SYNTHESIZE_AUDIO = 1u << 29,
  PF_OutFlag_AUDIO_EFFECT_TOO = 1u << 30,
  PF_OutFlag_AUDIO_EFFECT_ONLY = 1u << 31
};

enum { PF_OutFlag2_NONE = 0 };
enum { PF_InFlag_NONE = 0, PF_InFlag_PROJECT_IS_RENDER_ONLY = 1 };

// --- Pixels, worlds, compositing -----------------------------------------------------------
enum {
  PF_Xfer_NONE = -1,
  PF_Xfer_COPY = 0,
  PF_Xfer_BEHIND,
  PF_Xfer_IN_FRONT,
  PF_Xfer_DISSOLVE,
  PF_Xfer_ADD,
  PF_Xfer_MULTIPLY,
  PF_Xfer_SCREEN,
  PF_Xfer_OVERLAY,
  PF_Xfer_SOFT_LIGHT,
  PF_Xfer_HARD_LIGHT,
  PF_Xfer_DARKEN,
  PF_Xfer_LIGHTEN,
  PF_Xfer_DIFFERENCE,
  PF_Xfer_HUE,
  PF_Xfer_SATURATION,
  PF_Xfer_COLOR,
  PF_Xfer_LUMINOSITY,
  PF_Xfer_MULTIPLY_ALPHA,
  PF_Xfer_MULTIPLY_ALPHA_LUMA,
  PF_Xfer_MULTIPLY_NOT_ALPHA,
  PF_Xfer_MULTIPLY_NOT_ALPHA_LUMA,
  PF_Xfer_ADDITIVE_PREMUL,
  PF_Xfer_ALPHA_ADD,
  PF_Xfer_COLOR_DODGE,
  PF_Xfer_COLOR_BURN,
  PF_Xfer_EXCLUSION,
  PF_Xfer_DIFFERENCE2,
  PF_Xfer_COLOR_DODGE2,
  PF_Xfer_COLOR_BURN2,
  PF_Xfer_LINEAR_DODGE,
  PF_Xfer_LINEAR_BURN,
  PF_Xfer_LINEAR_LIGHT,
  PF_Xfer_VIVID_LIGHT,
  PF_Xfer_PIN_LIGHT,
  PF_Xfer_HARD_MIX,
  PF_Xfer_LIGHTER_COLOR,
  PF_Xfer_DARKER_COLOR,
  PF_Xfer_SUBTRACT,
  PF_Xfer_DIVIDE,
  PF_Xfer_RESERVED0,
  PF_Xfer_RESERVED1,
  PF_Xfer_NUM_MODES
};

enum { PF_MF_Alpha_PREMUL = 0, PF_MF_Alpha_STRAIGHT = 1 };
enum { PF_MaskFlag_NONE = 0, PF_MaskFlag_INVERTED = 1, PF_MaskFlag_LUMINANCE = 2 };
enum { PF_Quality_DRAWING_AUDIO = -1, PF_Quality_LO = 0, PF_Quality_HI = 1 };
enum { PF_Field_FRAME = 0, PF_Field_UPPER = 1, PF_Field_LOWER = 2 };
enum { PF_WorldFlag_DEEP = 1 << 0, PF_WorldFlag_WRITEABLE = 1 << 1 };
enum {
  PF_NewWorldFlag_NONE = 0,
  PF_NewWorldFlag_CLEAR_PIXELS = 1 << 0,
  PF_NewWorldFlag_DEEP_PIXELS = 1 << 1
};
enum { PF_Iterations_ONCE_PER_PROCESSOR = -1 };

// Four-character pixel format codes: the first character is the lowest byte.
enum {
  PF_PixelFormat_ARGB32 = 0x62677261,  // "argb": the 8-bit alpha, red, green, blue world
  PF_PixelFormat_ARGB64 = 0x36316561,
  PF_PixelFormat_ARGB128 = 0x32336561,
  PF_PixelFormat_BGRA32 = 0x61726762,
  PF_PixelFormat_VUYA32 = 0x61797576,
  PF_PixelFormat_INVALID = 0x66646162
};

enum PrPixelFormat {
  PrPixelFormat_Any = 0,
  PrPixelFormat_BGRA_4444_8u = 0x61726762,  // "bgra": blue first, alpha last
  PrPixelFormat_VUYA_4444_8u = 0x61797576,
  PrPixelFormat_ARGB_4444_8u = 0x62677261,
  PrPixelFormat_BGRA_4444_16u = 0x61726742,
  PrPixelFormat_BGRA_4444_32f = 0x61724742
};

enum { PF_Stage_DEVELOP, PF_Stage_ALPHA, PF_Stage_BETA, PF_Stage_RELEASE };

enum {
  PF_MAX_EFFECT_NAME_LEN = 31,
  PF_MAX_EFFECT_CATEGORY_NAME_LEN = 31,
  PF_MAX_EFFECT_PARAM_NAME_LEN = 31,
  PF_MAX_PARAM_DESCRIPTION_LEN = 31,
  PF_MAX_PARAM_VALUE_LEN = 31,
  PF_MAX_EFFECT_MSG_LEN = 255,
  PF_MAX_WORLD_WIDTH = 30000,
  PF_MAX_WORLD_HEIGHT = 30000,
  PF_MAX_CHAN8 = 255,
  PF_MAX_CHAN16 = 32768
};

// --- AEGP values -------------------------------------------------------------------------
enum {
  AEGP_ObjectType_NONE = -1,
  AEGP_ObjectType_AV = 0,
  AEGP_ObjectType_LIGHT,
  AEGP_ObjectType_CAMERA,
  AEGP_ObjectType_TEXT,
  AEGP_ObjectType_VECTOR
};

enum {
  AEGP_LayerFlag_NONE = 0,
  AEGP_LayerFlag_VIDEO_ACTIVE = 0x1,
  AEGP_LayerFlag_AUDIO_ACTIVE = 0x2,
  AEGP_LayerFlag_EFFECTS_ACTIVE = 0x4,
  AEGP_LayerFlag_MOTION_BLUR = 0x8,
  AEGP_LayerFlag_FRAME_BLENDING = 0x10,
  AEGP_LayerFlag_LOCKED = 0x20,
  AEGP_LayerFlag_SHY = 0x40,
  AEGP_LayerFlag_COLLAPSE = 0x80,
  AEGP_LayerFlag_AUTO_ORIENT_ROTATION = 0x100,
  AEGP_LayerFlag_ADJUSTMENT_LAYER = 0x200,
  AEGP_LayerFlag_TIME_REMAPPING = 0x400,
  AEGP_LayerFlag_LAYER_IS_3D = 0x800
};

enum {
  AEGP_CompFlag_SHOW_ALL_SHY = 0x1,
  AEGP_CompFlag_RESERVED_1 = 0x2,
  AEGP_CompFlag_RESERVED_2 = 0x4,
  AEGP_CompFlag_ENABLE_MOTION_BLUR = 0x8,
  AEGP_CompFlag_ENABLE_TIME_FILTER = 0x10,
  AEGP_CompFlag_GRID_TO_FRAMES = 0x20,
  AEGP_CompFlag_GRID_TO_FIELDS = 0x40,
  AEGP_CompFlag_USE_LOCAL_DSF = 0x80,
  AEGP_CompFlag_DRAFT_3D = 0x100
};

enum { AEGP_LTimeMode_LayerTime = 0, AEGP_LTimeMode_CompTime = 1 };

// --- Suite names and the version values passed to AcquireSuite ------------------------
#define kSPBasicSuite "SP Basic Suite"
#define kSPBasicSuiteVersion 4
#define kPFWorldSuite "PF World Suite"
#define kPFWorldSuiteVersion1 1
#define kPFWorldSuiteVersion2 2
#define kPFFillMatteSuite "PF Fill Matte Suite"
#define kPFFillMatteSuiteVersion2 2
#define kPFHandleSuite "PF Handle Suite"
#define kPFHandleSuiteVersion1 2
#define kPFIterate8Suite "PF Iterate8 Suite"
#define kPFIterate8SuiteVersion1 1
#define kPFIterate8SuiteVersion2 2
#define kPFWorldTransformSuite "PF World Transform Suite"
#define kPFWorldTransformSuiteVersion1 1
#define kPFANSISuite "PF ANSI Suite"
#define kPFANSISuiteVersion1 1
#define kPFPixelFormatSuite "PF Pixel Format Suite"
#define kPFPixelFormatSuiteVersion1 1
#define kPFPathDataSuite "PF Path Data Suite"
#define kPFPathDataSuiteVersion1 1
#define kAEGPPFInterfaceSuite "AEGP PF Interface Suite"
#define kAEGPPFInterfaceSuiteVersion1 1
#define kAEGPLayerSuite "AEGP Layer Suite"
#define kAEGPLayerSuiteVersion5 11
#define kAEGPLayerSuiteVersion7 13
#define kAEGPCompSuite "AEGP Comp Suite"
#define kAEGPCompSuiteVersion9 19
#define kAEGPTextLayerSuite "AEGP Text Layer Suite"
#define kAEGPTextLayerSuiteVersion1 1

}  // extern "C"
