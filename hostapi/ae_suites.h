// SPDX-License-Identifier: MIT
// The host's function suites, in the published slot order. A suite's version value (what is
// passed to AcquireSuite) often differs from the number in its table name; ae_types.h has both.
// Slots that Quorvel never calls are declared all the same, since later slots depend on them.
#pragma once

#include "hostapi/ae_records.h"

extern "C" {

typedef struct SPBasicSuite {
  SPErr (*AcquireSuite)(const char* name, int32_t version, const void** suite);
  SPErr (*ReleaseSuite)(const char* name, int32_t version);
  SPBoolean (*IsEqual)(const char* token1, const char* token2);
  SPErr (*AllocateBlock)(size_t size, void** block);
  SPErr (*FreeBlock)(void* block);
  SPErr (*ReallocateBlock)(void* block, size_t newSize, void** newblock);
  SPErr (*Undefined)(void);
} SPBasicSuite;

// "PF World Suite" 2
typedef struct PF_WorldSuite2 {
  PF_Err (*PF_NewWorld)(PF_ProgPtr effect_ref, A_long widthL, A_long heightL, PF_Boolean clear_pixB,
                        PF_PixelFormat pixel_format, PF_EffectWorld* worldP);
  PF_Err (*PF_DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* worldP);
  PF_Err (*PF_GetPixelFormat)(const PF_EffectWorld* worldP, PF_PixelFormat* pixel_formatP);
} PF_WorldSuite2;

// "PF Fill Matte Suite" 2
typedef struct PF_FillMatteSuite2 {
  PF_Err (*fill)(PF_ProgPtr effect_ref, const PF_Pixel* color, const PF_Rect* dst_rect,
                 PF_EffectWorld* world);
  PF_Err (*fill16)(PF_ProgPtr effect_ref, const PF_Pixel16* color, const PF_Rect* dst_rect,
                   PF_EffectWorld* world);
  PF_Err (*fill_float)(PF_ProgPtr effect_ref, const PF_PixelFloat* color, const PF_Rect* dst_rect,
                       PF_EffectWorld* world);
  PF_Err (*premultiply)(PF_ProgPtr effect_ref, A_long forward, PF_EffectWorld* dst);
  PF_Err (*premultiply_color)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Pixel* color,
                              A_long forward, PF_EffectWorld* dst);
  PF_Err (*premultiply_color16)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Pixel16* color,
                                A_long forward, PF_EffectWorld* dst);
  PF_Err (*premultiply_color_float)(PF_ProgPtr effect_ref, PF_EffectWorld* src,
                                    const PF_PixelFloat* color, A_long forward,
                                    PF_EffectWorld* dst);
} PF_FillMatteSuite2;

// "PF Handle Suite", version value 2
typedef struct PF_HandleSuite1 {
  PF_Handle (*host_new_handle)(A_HandleSize size);
  void* (*host_lock_handle)(PF_Handle pf_handle);
  void (*host_unlock_handle)(PF_Handle pf_handle);
  void (*host_dispose_handle)(PF_Handle pf_handle);
  A_HandleSize (*host_get_handle_size)(PF_Handle pf_handle);
  PF_Err (*host_resize_handle)(A_HandleSize new_sizeL, PF_Handle* handlePH);
} PF_HandleSuite1;

// "PF Iterate8 Suite" 1
typedef struct PF_Iterate8Suite1 {
  PF_Err (*iterate)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                    PF_EffectWorld* src, const PF_Rect* area, void* refcon,
                    PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_origin)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                           PF_EffectWorld* src, const PF_Rect* area, const PF_Point* origin,
                           void* refcon, PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_lut)(PF_InData* in_data, A_long progress_base, A_long progress_final,
                        PF_EffectWorld* src, const PF_Rect* area, A_u_char* a_lut0,
                        A_u_char* r_lut0, A_u_char* g_lut0, A_u_char* b_lut0, PF_EffectWorld* dst);
  PF_Err (*iterate_origin_non_clip_src)(PF_InData* in_data, A_long progress_base,
                                        A_long progress_final, PF_EffectWorld* src,
                                        const PF_Rect* area, const PF_Point* origin, void* refcon,
                                        PF_IteratePixel8Func pix_fn, PF_EffectWorld* dst);
  PF_Err (*iterate_generic)(A_long iterationsL, void* refconPV,
                            PF_Err (*fn_func)(void* refconPV, A_long thread_indexL, A_long i,
                                              A_long iterationsL));
} PF_Iterate8Suite1;

// "PF World Transform Suite" 1
typedef struct PF_WorldTransformSuite1 {
  PF_Err (*composite_rect)(PF_ProgPtr effect_ref, PF_Rect* src_rect, A_long src_opacity,
                           PF_EffectWorld* source_wld, A_long dest_x, A_long dest_y,
                           PF_Field field_rdr, PF_XferMode xfer_mode, PF_EffectWorld* dest_wld);
  PF_Err (*blend)(PF_ProgPtr effect_ref, const PF_EffectWorld* src1, const PF_EffectWorld* src2,
                  PF_Fixed ratio, PF_EffectWorld* dst);
  PF_Err (*convolve)(PF_ProgPtr effect_ref, PF_EffectWorld* src, const PF_Rect* area,
                     PF_KernelFlags flags, A_long kernel_size, void* a_kernel, void* r_kernel,
                     void* g_kernel, void* b_kernel, PF_EffectWorld* dst);
  PF_Err (*copy)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                 PF_Rect* dst_r);
  PF_Err (*copy_hq)(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* src_r,
                    PF_Rect* dst_r);
  PF_Err (*transfer_rect)(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags m_flags,
                          PF_Field field, const PF_Rect* src_rec, const PF_EffectWorld* src_world,
                          const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask_world0,
                          A_long dest_x, A_long dest_y, PF_EffectWorld* dst_world);
  PF_Err (*transform_world)(PF_ProgPtr effect_ref, PF_Quality quality, PF_ModeFlags m_flags,
                            PF_Field field, const PF_EffectWorld* src_world,
                            const PF_CompositeMode* comp_mode, const PF_MaskWorld* mask_world0,
                            const PF_FloatMatrix* matrices, A_long num_matrices,
                            PF_Boolean src2dst_matrix, const PF_Rect* dest_rect,
                            PF_EffectWorld* dst_world);
} PF_WorldTransformSuite1;

// "PF ANSI Suite" 1: the ANSI callbacks as a suite, without the trailing ansi_procs.
typedef struct PF_ANSICallbacksSuite1 {
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
  int (*sprintf)(A_char*, const A_char*, ...);
  A_char* (*strcpy)(A_char*, const A_char*);
  A_FpLong (*asin)(A_FpLong);
  A_FpLong (*acos)(A_FpLong);
} PF_ANSICallbacksSuite1;

// "PF Pixel Format Suite" 1, the Premiere Pro table.
typedef struct PF_PixelFormatSuite {
  PF_Err (*AddSupportedPixelFormat)(PF_ProgPtr effect_ref, PrPixelFormat pixelFormat);
  PF_Err (*ClearSupportedPixelFormats)(PF_ProgPtr effect_ref);
  PF_Err (*NewWorldOfPixelFormat)(PF_ProgPtr effect_ref, A_u_long width, A_u_long height,
                                  PF_NewWorldFlags flags, PrPixelFormat pixelFormat,
                                  PF_EffectWorld* world);
  PF_Err (*DisposeWorld)(PF_ProgPtr effect_ref, PF_EffectWorld* world);
  PF_Err (*GetPixelFormat)(PF_EffectWorld* inWorld, PrPixelFormat* pixelFormat);
  PF_Err (*GetBlackForPixelFormat)(const PrPixelFormat pixelFormat, void* pixelData);
  PF_Err (*GetWhiteForPixelFormat)(const PrPixelFormat pixelFormat, void* pixelData);
  PF_Err (*ConvertColorToPixelFormattedData)(const PrPixelFormat pixelFormat, const float alpha,
                                             const float red, const float green, const float blue,
                                             void* pixelData);
} PF_PixelFormatSuite;
typedef PF_PixelFormatSuite PF_PixelFormatSuite1;

// "PF Path Data Suite" 1
typedef struct PF_PathDataSuite1 {
  PF_Err (*PF_PathIsOpen)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP, PF_Boolean* openPB);
  PF_Err (*PF_PathNumSegments)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP,
                               A_long* num_segmentsPL);
  PF_Err (*PF_PathVertexInfo)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP, A_long which_pointL,
                              PF_PathVertex* vertexP);
  PF_Err (*PF_PathPrepareSegLength)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP,
                                    A_long which_segL, A_long frequencyL,
                                    PF_PathSegPrepPtr* lengthPrepPP);
  PF_Err (*PF_PathGetSegLength)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP, A_long which_segL,
                                PF_PathSegPrepPtr* lengthPrepP0, PF_FpLong* lengthPF);
  PF_Err (*PF_PathEvalSegLength)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP,
                                 PF_PathSegPrepPtr* lengthPrepPP0, A_long which_segL,
                                 PF_FpLong lengthF, PF_FpLong* x, PF_FpLong* y);
  PF_Err (*PF_PathEvalSegLengthDeriv1)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP,
                                       PF_PathSegPrepPtr* lengthPrepPP0, A_long which_segL,
                                       PF_FpLong lengthF, PF_FpLong* x, PF_FpLong* y,
                                       PF_FpLong* deriv1x, PF_FpLong* deriv1y);
  PF_Err (*PF_PathCleanupSegLength)(PF_ProgPtr effect_ref0, PF_PathOutlinePtr pathP,
                                    A_long which_segL, PF_PathSegPrepPtr* lengthPrepPP);
  PF_Err (*PF_PathIsInverted)(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_Boolean* invertedB);
  PF_Err (*PF_PathGetMaskMode)(PF_ProgPtr effect_ref, PF_PathID unique_id, PF_MaskMode* modeP);
  PF_Err (*PF_PathGetName)(PF_ProgPtr effect_ref, PF_PathID unique_id, A_char* nameZ);
} PF_PathDataSuite1;

// "AEGP PF Interface Suite" 1
typedef struct AEGP_PFInterfaceSuite1 {
  A_Err (*AEGP_GetEffectLayer)(PF_ProgPtr effect_pp_ref, AEGP_LayerH* layerPH);
  A_Err (*AEGP_GetNewEffectForEffect)(AEGP_PluginID aegp_plugin_id, PF_ProgPtr effect_pp_ref,
                                      AEGP_EffectRefH* effect_refPH);
  A_Err (*AEGP_ConvertEffectToCompTime)(PF_ProgPtr effect_pp_ref, A_long what_timeL,
                                        A_u_long time_scaleLu, A_Time* comp_timePT);
  A_Err (*AEGP_GetEffectCamera)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT,
                                AEGP_LayerH* camera_layerPH);
  A_Err (*AEGP_GetEffectCameraMatrix)(PF_ProgPtr effect_pp_ref, const A_Time* comp_timePT,
                                      A_Matrix4* camera_matrixP, A_FpLong* dist_to_image_planePF,
                                      A_short* image_plane_widthPL, A_short* image_plane_heightPL);
} AEGP_PFInterfaceSuite1;

// The layer suites' slots 0 to 45 are shared by versions 11 and 13 (layer names aside); the
// macros that hold them are undefined again below.
#define QUORVEL_RESERVED_LAYER_SUITE_SLOTS_0_TO_6                                                  \
  A_Err (*AEGP_GetCompNumLayers)(AEGP_CompH compH, A_long * num_layersPL);                         \
  A_Err (*AEGP_GetCompLayerByIndex)(AEGP_CompH compH, A_long layer_indexL, AEGP_LayerH * layerPH); \
  A_Err (*AEGP_GetActiveLayer)(AEGP_LayerH * layerPH);                                             \
  A_Err (*AEGP_GetLayerIndex)(AEGP_LayerH layerH, A_long * layer_indexPL);                         \
  A_Err (*AEGP_GetLayerSourceItem)(AEGP_LayerH layerH, AEGP_ItemH * source_itemPH);                \
  A_Err (*AEGP_GetLayerSourceItemID)(AEGP_LayerH layerH, A_long * source_item_idPL);               \
  A_Err (*AEGP_GetLayerParentComp)(AEGP_LayerH layerH, AEGP_CompH * compPH);

#define QUORVEL_RESERVED_LAYER_SUITE_SLOTS_8_TO_39                                               \
  A_Err (*AEGP_GetLayerQuality)(AEGP_LayerH layerH, AEGP_LayerQuality * qualityP);               \
  A_Err (*AEGP_SetLayerQuality)(AEGP_LayerH layerH, AEGP_LayerQuality quality);                  \
  A_Err (*AEGP_GetLayerFlags)(AEGP_LayerH layerH, AEGP_LayerFlags * layer_flagsP);               \
  A_Err (*AEGP_SetLayerFlag)(AEGP_LayerH layerH, AEGP_LayerFlags single_flag, A_Boolean valueB); \
  A_Err (*AEGP_IsLayerVideoReallyOn)(AEGP_LayerH layerH, A_Boolean * onPB);                      \
  A_Err (*AEGP_IsLayerAudioReallyOn)(AEGP_LayerH layerH, A_Boolean * onPB);                      \
  A_Err (*AEGP_GetLayerCurrentTime)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,                \
                                    A_Time * curr_timePT);                                       \
  A_Err (*AEGP_GetLayerInPoint)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,                    \
                                A_Time * in_pointPT);                                            \
  A_Err (*AEGP_GetLayerDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,                   \
                                 A_Time * durationPT);                                           \
  A_Err (*AEGP_SetLayerInPointAndDuration)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,         \
                                           const A_Time* in_pointPT, const A_Time* durationPT);  \
  A_Err (*AEGP_GetLayerOffset)(AEGP_LayerH layerH, A_Time * offsetPT);                           \
  A_Err (*AEGP_SetLayerOffset)(AEGP_LayerH layerH, const A_Time* offsetPT);                      \
  A_Err (*AEGP_GetLayerStretch)(AEGP_LayerH layerH, A_Ratio * stretchPRt);                       \
  A_Err (*AEGP_SetLayerStretch)(AEGP_LayerH layerH, const A_Ratio* stretchPRt);                  \
  A_Err (*AEGP_GetLayerTransferMode)(AEGP_LayerH layerH, AEGP_LayerTransferMode * modeP);        \
  A_Err (*AEGP_SetLayerTransferMode)(AEGP_LayerH layerH, const AEGP_LayerTransferMode* modeP);   \
  A_Err (*AEGP_IsAddLayerValid)(AEGP_ItemH item_to_addH, AEGP_CompH into_compH,                  \
                                A_Boolean * validPB);                                            \
  A_Err (*AEGP_AddLayer)(AEGP_ItemH item_to_addH, AEGP_CompH into_compH,                         \
                         AEGP_LayerH * added_layerPH0);                                          \
  A_Err (*AEGP_ReorderLayer)(AEGP_LayerH layerH, A_long layer_indexL);                           \
  A_Err (*AEGP_GetLayerMaskedBounds)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,               \
                                     const A_Time* timePT, A_FloatRect* boundsPR);               \
  A_Err (*AEGP_GetLayerObjectType)(AEGP_LayerH layerH, AEGP_ObjectType * object_type);           \
  A_Err (*AEGP_IsLayer3D)(AEGP_LayerH layerH, A_Boolean * is_3DPB);                              \
  A_Err (*AEGP_IsLayer2D)(AEGP_LayerH layerH, A_Boolean * is_2DPB);                              \
  A_Err (*AEGP_IsVideoActive)(AEGP_LayerH layerH, AEGP_LTimeMode time_mode,                      \
                              const A_Time* comp_timePT, A_Boolean* is_activePB);                \
  A_Err (*AEGP_IsLayerUsedAsTrackMatte)(AEGP_LayerH layerH, A_Boolean fill_must_be_activeB,      \
                                        A_Boolean * is_track_mattePB);                           \
  A_Err (*AEGP_DoesLayerHaveTrackMatte)(AEGP_LayerH layerH, A_Boolean * has_track_mattePB);      \
  A_Err (*AEGP_ConvertCompToLayerTime)(AEGP_LayerH layerH, const A_Time* comp_timeP,             \
                                       A_Time* layer_timeP);                                     \
  A_Err (*AEGP_ConvertLayerToCompTime)(AEGP_LayerH layerH, const A_Time* layer_timeP,            \
                                       A_Time* comp_timeP);                                      \
  A_Err (*AEGP_GetLayerDancingRandValue)(AEGP_LayerH layerH, const A_Time* comp_timePT,          \
                                         A_long* rand_valuePL);                                  \
  A_Err (*AEGP_GetLayerID)(AEGP_LayerH layerH, AEGP_LayerIDVal * id_valP);                       \
  A_Err (*AEGP_GetLayerToWorldXform)(AEGP_LayerH aegp_layerH, const A_Time* comp_timeP,          \
                                     A_Matrix4* transform);                                      \
  A_Err (*AEGP_GetLayerToWorldXformFromView)(AEGP_LayerH aegp_layerH, const A_Time* view_timeP,  \
                                             const A_Time* comp_timeP, A_Matrix4* transform);

#define QUORVEL_RESERVED_LAYER_SUITE_SLOTS_41_TO_45                                       \
  A_Err (*AEGP_GetLayerParent)(AEGP_LayerH layerH, AEGP_LayerH * parent_layerPH);         \
  A_Err (*AEGP_SetLayerParent)(AEGP_LayerH layerH, const AEGP_LayerH parent_layerH0);     \
  A_Err (*AEGP_DeleteLayer)(AEGP_LayerH layerH);                                          \
  A_Err (*AEGP_DuplicateLayer)(AEGP_LayerH orig_layerH, AEGP_LayerH * duplicate_layerPH); \
  A_Err (*AEGP_GetLayerFromLayerID)(AEGP_CompH parent_compH, AEGP_LayerIDVal id,          \
                                    AEGP_LayerH * layerPH);

// "AEGP Layer Suite" 11
typedef struct AEGP_LayerSuite5 {
  QUORVEL_RESERVED_LAYER_SUITE_SLOTS_0_TO_6
  A_Err (*AEGP_GetLayerName)(AEGP_LayerH layerH, A_char* layer_nameZ0, A_char* source_nameZ0);
  QUORVEL_RESERVED_LAYER_SUITE_SLOTS_8_TO_39
  A_Err (*AEGP_SetLayerName)(AEGP_LayerH aegp_layerH, const A_char* new_nameZ);
  QUORVEL_RESERVED_LAYER_SUITE_SLOTS_41_TO_45
} AEGP_LayerSuite5;

// "AEGP Layer Suite" 13
typedef struct AEGP_LayerSuite7 {
  QUORVEL_RESERVED_LAYER_SUITE_SLOTS_0_TO_6
  A_Err (*AEGP_GetLayerName)(AEGP_PluginID pluginID, AEGP_LayerH layerH,
                             AEGP_MemHandle* layer_nameZ0, AEGP_MemHandle* source_nameZ0);
  QUORVEL_RESERVED_LAYER_SUITE_SLOTS_8_TO_39
  A_Err (*AEGP_SetLayerName)(AEGP_LayerH aegp_layerH, const A_UTF16Char* new_nameZ);
  QUORVEL_RESERVED_LAYER_SUITE_SLOTS_41_TO_45
  A_Err (*AEGP_GetLayerLabel)(AEGP_LayerH layerH, AEGP_LabelID* labelP);
  A_Err (*AEGP_SetLayerLabel)(AEGP_LayerH layerH, AEGP_LabelID label);
} AEGP_LayerSuite7;

// "AEGP Comp Suite" 19. Quorvel calls slot 6 only.
typedef struct AEGP_CompSuite9 {
  A_Err (*AEGP_GetCompFromItem)(AEGP_ItemH itemH, AEGP_CompH* compPH);
  A_Err (*AEGP_GetItemFromComp)(AEGP_CompH compH, AEGP_ItemH* itemPH);
  A_Err (*AEGP_GetCompDownsampleFactor)(AEGP_CompH compH, AEGP_DownsampleFactor* dsfP);
  A_Err (*AEGP_SetCompDownsampleFactor)(AEGP_CompH compH, const AEGP_DownsampleFactor* dsfP);
  A_Err (*AEGP_GetCompBGColor)(AEGP_CompH compH, AEGP_ColorVal* bg_colorP);
  A_Err (*AEGP_SetCompBGColor)(AEGP_CompH compH, const AEGP_ColorVal* bg_colorP);
  A_Err (*AEGP_GetCompFlags)(AEGP_CompH compH, AEGP_CompFlags* comp_flagsP);
  A_Err (*AEGP_GetCompFramerate)(AEGP_CompH compH, A_FpLong* fpsPF);
  A_Err (*AEGP_SetCompFrameRate)(AEGP_CompH compH, const A_FpLong* fpsPF);
  A_Err (*AEGP_GetCompShutterAnglePhase)(AEGP_CompH compH, A_Ratio* angle, A_Ratio* phase);
  A_Err (*AEGP_GetCompShutterFrameRange)(AEGP_CompH compH, const A_Time* comp_timeP, A_Time* start,
                                         A_Time* duration);
  A_Err (*AEGP_GetCompSuggestedMotionBlurSamples)(AEGP_CompH compH, A_long* samplesPL);
  A_Err (*AEGP_SetCompSuggestedMotionBlurSamples)(AEGP_CompH compH, A_long samplesL);
  A_Err (*AEGP_GetCompWorkAreaStart)(AEGP_CompH compH, A_Time* work_area_startPT);
  A_Err (*AEGP_GetCompWorkAreaDuration)(AEGP_CompH compH, A_Time* work_area_durationPT);
  A_Err (*AEGP_SetCompWorkAreaStartAndDuration)(AEGP_CompH compH, const A_Time* work_area_startPT,
                                                const A_Time* work_area_durationPT);
  A_Err (*AEGP_CreateSolidInComp)(const A_UTF16Char* utf_nameZ, A_long width, A_long height,
                                  const AEGP_ColorVal* color, AEGP_CompH parent_compH,
                                  const A_Time* durationPT0, AEGP_LayerH* new_solidPH);
  A_Err (*AEGP_CreateCameraInComp)(const A_UTF16Char* utf_nameZ, A_FloatPoint center_point,
                                   AEGP_CompH parent_compH, AEGP_LayerH* new_cameraPH);
  A_Err (*AEGP_CreateLightInComp)(const A_UTF16Char* utf_nameZ, A_FloatPoint center_point,
                                  AEGP_CompH parent_compH, AEGP_LayerH* new_lightPH);
  A_Err (*AEGP_CreateComp)(AEGP_ItemH parent_folderH0, const A_UTF16Char* utf_nameZ, A_long widthL,
                           A_long heightL, const A_Ratio* pixel_aspect_ratioPRt,
                           const A_Time* durationPT, const A_Ratio* frameratePRt,
                           AEGP_CompH* new_compPH);
  A_Err (*AEGP_GetNewCollectionFromCompSelection)(AEGP_PluginID plugin_id, AEGP_CompH compH,
                                                  AEGP_Collection2H* collectionPH);
  A_Err (*AEGP_SetSelection)(AEGP_CompH compH, AEGP_Collection2H collectionH);
  A_Err (*AEGP_GetCompDisplayStartTime)(AEGP_CompH compH, A_Time* start_timePT);
  A_Err (*AEGP_SetCompDisplayStartTime)(AEGP_CompH compH, const A_Time* start_timePT);
  A_Err (*AEGP_SetCompDuration)(AEGP_CompH compH, const A_Time* durationPT);
  A_Err (*AEGP_CreateNullInComp)(const A_UTF16Char* utf_nameZ, AEGP_CompH parent_compH,
                                 const A_Time* durationPT0, AEGP_LayerH* new_null_solidPH);
  A_Err (*AEGP_SetCompPixelAspectRatio)(AEGP_CompH compH, const A_Ratio* pix_aspectratioPRt);
  A_Err (*AEGP_CreateTextLayerInComp)(AEGP_CompH parent_compH, A_Boolean select_new_layerB,
                                      AEGP_LayerH* new_text_layerPH);
  A_Err (*AEGP_CreateBoxTextLayerInComp)(AEGP_CompH parent_compH, A_Boolean select_new_layerB,
                                         A_FloatPoint box_dimensions,
                                         AEGP_LayerH* new_text_layerPH);
  A_Err (*AEGP_SetCompDimensions)(AEGP_CompH compH, A_long widthL, A_long heightL);
  A_Err (*AEGP_DuplicateComp)(AEGP_CompH compH, AEGP_CompH* new_compPH);
  A_Err (*AEGP_GetCompFrameDuration)(AEGP_CompH compH, A_Time* timeP);
  A_Err (*AEGP_GetMostRecentlyUsedComp)(AEGP_CompH* compPH);
  A_Err (*AEGP_CreateVectorLayerInComp)(AEGP_CompH parent_compH, AEGP_LayerH* new_vector_layerPH);
  A_Err (*AEGP_GetNewCompMarkerStream)(AEGP_PluginID aegp_plugin_id, AEGP_CompH parent_compH,
                                       AEGP_StreamRefH* streamPH);
  A_Err (*AEGP_GetCompDisplayDropFrame)(AEGP_CompH compH, A_Boolean* dropFramePB);
  A_Err (*AEGP_SetCompDisplayDropFrame)(AEGP_CompH compH, A_Boolean dropFrameB);
} AEGP_CompSuite9;

// "AEGP Text Layer Suite" 1
typedef struct AEGP_TextLayerSuite1 {
  A_Err (*AEGP_GetNewTextOutlines)(AEGP_LayerH layerH, const A_Time* layer_timePT,
                                   AEGP_TextOutlinesH* outlinesPH);
  A_Err (*AEGP_DisposeTextOutlines)(AEGP_TextOutlinesH outlinesH);
  A_Err (*AEGP_GetNumTextOutlines)(AEGP_TextOutlinesH outlinesH, A_long* num_outlinesPL);
  A_Err (*AEGP_GetIndexedTextOutline)(AEGP_TextOutlinesH outlinesH, A_long path_indexL,
                                      PF_PathOutlinePtr* pathPP);
} AEGP_TextLayerSuite1;

}  // extern "C"

#undef QUORVEL_RESERVED_LAYER_SUITE_SLOTS_0_TO_6
#undef QUORVEL_RESERVED_LAYER_SUITE_SLOTS_8_TO_39
#undef QUORVEL_RESERVED_LAYER_SUITE_SLOTS_41_TO_45
