// SPDX-License-Identifier: MIT
// The published layouts the code relies on: sizes of records and suites, and the offsets of
// what Quorvel reads, writes or calls. host_api.h includes this after either declaration, ours
// or the vendor's, so a build against the vendor's headers checks them too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// --- Records -------------------------------------------------------------------------------
static_assert(sizeof(void*) == 8, "the host interface is declared for 64-bit targets");
static_assert(sizeof(A_Time) == 8 && sizeof(PF_RationalScale) == 8, "A_Time, PF_RationalScale");
static_assert(sizeof(PF_Rect) == 16 && sizeof(PF_Point) == 8, "PF_Rect, PF_Point");
static_assert(sizeof(PF_FloatMatrix) == 72, "PF_FloatMatrix");
static_assert(sizeof(PF_Pixel) == 4 && offsetof(PF_Pixel, alpha) == 0 &&
                  offsetof(PF_Pixel, red) == 1 && offsetof(PF_Pixel, green) == 2 &&
                  offsetof(PF_Pixel, blue) == 3,
              "PF_Pixel is alpha, red, green, blue");
static_assert(sizeof(PF_PathVertex) == 48 && offsetof(PF_PathVertex, y) == 8, "PF_PathVertex");
static_assert(sizeof(AEGP_DownsampleFactor) == 4 && sizeof(AEGP_ColorVal) == 32,
              "AEGP_DownsampleFactor, AEGP_ColorVal");

static_assert(sizeof(PF_LayerDef) == 120, "PF_LayerDef");
static_assert(offsetof(PF_LayerDef, world_flags) == 16 && offsetof(PF_LayerDef, data) == 24 &&
                  offsetof(PF_LayerDef, rowbytes) == 32 && offsetof(PF_LayerDef, width) == 36 &&
                  offsetof(PF_LayerDef, height) == 40 && offsetof(PF_LayerDef, extent_hint) == 44 &&
                  offsetof(PF_LayerDef, platform_ref) == 64 &&
                  offsetof(PF_LayerDef, pix_aspect_ratio) == 88 &&
                  offsetof(PF_LayerDef, origin_x) == 104 && offsetof(PF_LayerDef, dephault) == 116,
              "PF_LayerDef offsets");

static_assert(sizeof(PF_CompositeMode) == 12 && offsetof(PF_CompositeMode, opacity) == 8 &&
                  offsetof(PF_CompositeMode, rgb_only) == 9,
              "PF_CompositeMode");
static_assert(sizeof(PF_MaskWorld) == 136 && offsetof(PF_MaskWorld, offset) == 120 &&
                  offsetof(PF_MaskWorld, what_is_mask) == 128,
              "PF_MaskWorld");
static_assert(sizeof(PF_SampPB) == 104 && offsetof(PF_SampPB, comp_mode) == 36, "PF_SampPB");
static_assert(sizeof(PF_SoundWorld) == 32, "PF_SoundWorld");

static_assert(sizeof(PF_FloatSliderDef) == 88 && offsetof(PF_FloatSliderDef, valid_min) == 48 &&
                  offsetof(PF_FloatSliderDef, dephault) == 64 &&
                  offsetof(PF_FloatSliderDef, precision) == 68 &&
                  offsetof(PF_FloatSliderDef, display_flags) == 70 &&
                  offsetof(PF_FloatSliderDef, curve_tolerance) == 76 &&
                  offsetof(PF_FloatSliderDef, exponent) == 84,
              "PF_FloatSliderDef");
static_assert(sizeof(PF_SliderDef) == 88 && sizeof(PF_FixedSliderDef) == 92, "slider records");
static_assert(sizeof(PF_PopupDef) == 16 && offsetof(PF_PopupDef, num_choices) == 4 &&
                  offsetof(PF_PopupDef, dephault) == 6 && offsetof(PF_PopupDef, u) == 8,
              "PF_PopupDef");
static_assert(sizeof(PF_CheckBoxDef) == 16 && offsetof(PF_CheckBoxDef, dephault) == 4 &&
                  offsetof(PF_CheckBoxDef, u) == 8,
              "PF_CheckBoxDef");
static_assert(sizeof(PF_ColorDef) == 8 && offsetof(PF_ColorDef, dephault) == 4, "PF_ColorDef");
static_assert(sizeof(PF_PointDef) == 20 && offsetof(PF_PointDef, restrict_bounds) == 11 &&
                  offsetof(PF_PointDef, x_dephault) == 12,
              "PF_PointDef");
static_assert(sizeof(PF_AngleDef) == 16, "PF_AngleDef");
static_assert(sizeof(PF_ArbitraryDef) == 32 && sizeof(PF_PathDef) == 12 &&
                  sizeof(PF_ButtonDef) == 16 && sizeof(PF_Point3DDef) == 64,
              "other parameter records");
static_assert(sizeof(PF_ParamDefUnion) == 120, "PF_ParamDefUnion");
static_assert(sizeof(PF_ParamDef) == 176 && offsetof(PF_ParamDef, ui_flags) == 4 &&
                  offsetof(PF_ParamDef, param_type) == 12 && offsetof(PF_ParamDef, name) == 16 &&
                  offsetof(PF_ParamDef, flags) == 48 && offsetof(PF_ParamDef, u) == 56,
              "PF_ParamDef");

static_assert(sizeof(PF_InteractCallbacks) == 176 &&
                  offsetof(PF_InteractCallbacks, checkin_param) == 8 &&
                  offsetof(PF_InteractCallbacks, add_param) == 16,
              "PF_InteractCallbacks");
static_assert(sizeof(PF_ANSICallbacks) == 160 && offsetof(PF_ANSICallbacks, cos) == 24 &&
                  offsetof(PF_ANSICallbacks, sin) == 96 &&
                  offsetof(PF_ANSICallbacks, sprintf) == 120 &&
                  offsetof(PF_ANSICallbacks, strcpy) == 128,
              "PF_ANSICallbacks");
static_assert(sizeof(PF_ColorCallbacks) == 64, "PF_ColorCallbacks");
static_assert(sizeof(PF_UtilCallbacks) == 552 && offsetof(PF_UtilCallbacks, fill) == 72 &&
                  offsetof(PF_UtilCallbacks, iterate) == 88 &&
                  offsetof(PF_UtilCallbacks, transfer_rect) == 144 &&
                  offsetof(PF_UtilCallbacks, transform_world) == 152 &&
                  offsetof(PF_UtilCallbacks, host_new_handle) == 160 &&
                  offsetof(PF_UtilCallbacks, ansi) == 208 &&
                  offsetof(PF_UtilCallbacks, colorCB) == 368 &&
                  offsetof(PF_UtilCallbacks, get_platform_data) == 432 &&
                  offsetof(PF_UtilCallbacks, get_pixel_data8) == 528,
              "PF_UtilCallbacks");

static_assert(sizeof(PF_InData) == 408, "PF_InData");
static_assert(offsetof(PF_InData, utils) == 176 && offsetof(PF_InData, effect_ref) == 184 &&
                  offsetof(PF_InData, quality) == 192 && offsetof(PF_InData, appl_id) == 204 &&
                  offsetof(PF_InData, current_time) == 224 &&
                  offsetof(PF_InData, time_step) == 228 && offsetof(PF_InData, time_scale) == 240 &&
                  offsetof(PF_InData, field) == 244 && offsetof(PF_InData, shutter_angle) == 248 &&
                  offsetof(PF_InData, extent_hint) == 260 &&
                  offsetof(PF_InData, downsample_x) == 284 &&
                  offsetof(PF_InData, downsample_y) == 292 && offsetof(PF_InData, src_snd) == 352 &&
                  offsetof(PF_InData, pica_basicP) == 384 &&
                  offsetof(PF_InData, shutter_phase) == 400,
              "PF_InData offsets");

static_assert(sizeof(PF_OutData) == 408, "PF_OutData");
static_assert(offsetof(PF_OutData, my_version) == 0 && offsetof(PF_OutData, num_params) == 48 &&
                  offsetof(PF_OutData, out_flags) == 96 &&
                  offsetof(PF_OutData, return_msg) == 100 &&
                  offsetof(PF_OutData, dest_snd) == 368 && offsetof(PF_OutData, out_flags2) == 400,
              "PF_OutData offsets");

// --- Suites: their sizes and the slots Quorvel calls --------------------------------------
static_assert(sizeof(SPBasicSuite) == 56 && offsetof(SPBasicSuite, ReleaseSuite) == 8,
              "SPBasicSuite");
static_assert(sizeof(PF_WorldSuite2) == 3 * 8 && offsetof(PF_WorldSuite2, PF_DisposeWorld) == 8,
              "PF_WorldSuite2");
static_assert(sizeof(PF_FillMatteSuite2) == 7 * 8 && offsetof(PF_FillMatteSuite2, fill) == 0,
              "PF_FillMatteSuite2");
static_assert(sizeof(PF_HandleSuite1) == 48 && offsetof(PF_HandleSuite1, host_dispose_handle) == 24,
              "PF_HandleSuite1");
static_assert(sizeof(PF_Iterate8Suite1) == 40 && offsetof(PF_Iterate8Suite1, iterate) == 0,
              "PF_Iterate8Suite1");
static_assert(sizeof(PF_WorldTransformSuite1) == 56 &&
                  offsetof(PF_WorldTransformSuite1, transfer_rect) == 5 * 8 &&
                  offsetof(PF_WorldTransformSuite1, transform_world) == 6 * 8,
              "PF_WorldTransformSuite1");
static_assert(sizeof(PF_ANSICallbacksSuite1) == 19 * 8 &&
                  offsetof(PF_ANSICallbacksSuite1, cos) == 3 * 8 &&
                  offsetof(PF_ANSICallbacksSuite1, sin) == 12 * 8 &&
                  offsetof(PF_ANSICallbacksSuite1, sprintf) == 15 * 8 &&
                  offsetof(PF_ANSICallbacksSuite1, strcpy) == 16 * 8,
              "PF_ANSICallbacksSuite1");
static_assert(sizeof(PF_PixelFormatSuite1) == 8 * 8 &&
                  offsetof(PF_PixelFormatSuite1, ClearSupportedPixelFormats) == 8,
              "PF_PixelFormatSuite1");
static_assert(sizeof(PF_PathDataSuite1) == 11 * 8 &&
                  offsetof(PF_PathDataSuite1, PF_PathNumSegments) == 1 * 8 &&
                  offsetof(PF_PathDataSuite1, PF_PathVertexInfo) == 2 * 8,
              "PF_PathDataSuite1");
static_assert(sizeof(AEGP_PFInterfaceSuite1) == 5 * 8, "AEGP_PFInterfaceSuite1");
static_assert(sizeof(AEGP_LayerSuite5) == 46 * 8 &&
                  offsetof(AEGP_LayerSuite5, AEGP_GetLayerParentComp) == 6 * 8 &&
                  offsetof(AEGP_LayerSuite5, AEGP_GetLayerFlags) == 10 * 8 &&
                  offsetof(AEGP_LayerSuite5, AEGP_GetLayerObjectType) == 28 * 8,
              "AEGP_LayerSuite5");
static_assert(sizeof(AEGP_LayerSuite7) == 48 * 8 &&
                  offsetof(AEGP_LayerSuite7, AEGP_GetLayerParentComp) == 6 * 8 &&
                  offsetof(AEGP_LayerSuite7, AEGP_GetLayerFlags) == 10 * 8 &&
                  offsetof(AEGP_LayerSuite7, AEGP_GetLayerObjectType) == 28 * 8,
              "AEGP_LayerSuite7");
static_assert(sizeof(AEGP_CompSuite9) == 296 && offsetof(AEGP_CompSuite9, AEGP_GetCompFlags) == 48,
              "AEGP_CompSuite9");
static_assert(sizeof(AEGP_TextLayerSuite1) == 4 * 8 &&
                  offsetof(AEGP_TextLayerSuite1, AEGP_DisposeTextOutlines) == 8 &&
                  offsetof(AEGP_TextLayerSuite1, AEGP_GetIndexedTextOutline) == 24,
              "AEGP_TextLayerSuite1");

// --- Types whose published names are not the obvious ones ----------------------------------
// A slot's type names the records it points to, so a tag or typedef name of our own would make
// a table that compiles against one declaration only.
static_assert(std::is_same_v<AEGP_EffectRefH, struct _AEGP_Effect**> &&
                  std::is_same_v<AEGP_StreamRefH, struct _AEGPp_Stream**> &&
                  std::is_same_v<PF_PixelFormatSuite1, struct PF_PixelFormatSuite>,
              "published tag names");
static_assert(std::is_same_v<decltype(PF_InteractCallbacks::register_ui),
                             PF_Err (*)(PF_ProgPtr, struct _PF_CustomUIInfo*)> &&
                  std::is_same_v<decltype(AEGP_CompSuite9::AEGP_GetCompDownsampleFactor),
                                 A_Err (*)(AEGP_CompH, AEGP_DownsampleFactor*)> &&
                  std::is_same_v<decltype(AEGP_CompSuite9::AEGP_GetCompBGColor),
                                 A_Err (*)(AEGP_CompH, AEGP_ColorVal*)>,
              "published slot types");

// --- Constants whose published spelling hides the value ----------------------------------
static_assert(kSPOutOfMemoryError == -148 &&
                  static_cast<uint32_t>(kSPOutOfMemoryError) == 0xFFFFFF6Cu,
              "kSPOutOfMemoryError is 0xFFFFFF6C as a 32-bit integer");
