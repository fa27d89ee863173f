// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "headless/instance/effect_instance.h"
#include "headless/pixels/world.h"
#include "tests/headless/test_effect.h"

namespace quorvel::headless {
namespace {

using test::TestEffect;

// A command that has the host place a small world into another once, through the utility
// callback or the suite, and copy a rectangle once.
PF_Err TransformAndTransfer(PF_InData* in_data) {
  OwnedWorld source(8, 8);
  OwnedWorld destination(8, 8);
  PF_FloatMatrix identity{};
  identity.mat[0][0] = identity.mat[1][1] = identity.mat[2][2] = 1;
  const PF_CompositeMode mode{PF_Xfer_IN_FRONT, 0, 255, 0, 0};
  in_data->utils->transform_world(in_data->effect_ref, PF_Quality_HI, PF_MF_Alpha_PREMUL,
                                  PF_Field_FRAME, source.get(), &mode, nullptr, &identity, 1, 1,
                                  nullptr, destination.get());
  in_data->utils->transfer_rect(in_data->effect_ref, PF_Quality_HI, PF_MF_Alpha_PREMUL,
                                PF_Field_FRAME, nullptr, source.get(), &mode, nullptr, 0, 0,
                                destination.get());
  return PF_Err_NONE;
}

// One world made, cleared, iterated over and disposed of through the utility callbacks.
PF_Err WorldServices(PF_InData* in_data) {
  PF_EffectWorld world{};
  in_data->utils->new_world(in_data->effect_ref, 8, 8, PF_NewWorldFlag_CLEAR_PIXELS, &world);
  in_data->utils->fill(in_data->effect_ref, nullptr, nullptr, &world);
  in_data->utils->iterate(
      in_data, 0, 8, nullptr, nullptr, nullptr,
      [](void*, A_long, A_long, PF_Pixel*, PF_Pixel*) -> PF_Err { return PF_Err_NONE; }, &world);
  in_data->utils->dispose_world(in_data->effect_ref, &world);
  return PF_Err_NONE;
}

TEST(CommandTiming, AccountsTheHostsPixelWorkWithinTheEntryPointsTime) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    TransformAndTransfer(in_data);
    return WorldServices(in_data);
  });
  const CommandResult result = effect.instance.Run(PF_Cmd_RENDER);
  const CommandTiming& timing = result.timing;
  EXPECT_GT(timing.transform_world_ns, 0);
  EXPECT_GT(timing.transfer_rect_ns, 0);
  EXPECT_GT(timing.world_ns, 0);
  EXPECT_GT(timing.iterate_ns, 0);
  EXPECT_LE(
      timing.transform_world_ns + timing.transfer_rect_ns + timing.world_ns + timing.iterate_ns,
      timing.entry_point_ns);
}

TEST(CommandTiming, CountsNoHostPixelWorkForACommandThatAsksForNone) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef**) { return PF_Err_NONE; });
  const CommandResult result = effect.instance.Run(PF_Cmd_RENDER);
  EXPECT_EQ(result.timing.transform_world_ns, 0);
  EXPECT_EQ(result.timing.transfer_rect_ns, 0);
  EXPECT_EQ(result.timing.world_ns, 0);
  EXPECT_EQ(result.timing.iterate_ns, 0);
  EXPECT_GE(result.timing.entry_point_ns, 0);
}

TEST(CommandTiming, KeepsEachCommandsAccountApart) {
  TestEffect effect;
  bool transform = true;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) -> PF_Err {
    if (!transform) return PF_Err_NONE;
    TransformAndTransfer(in_data);
    return WorldServices(in_data);
  });
  effect.instance.Run(PF_Cmd_RENDER);
  transform = false;
  const CommandResult second = effect.instance.Run(PF_Cmd_RENDER);
  EXPECT_EQ(second.timing.transform_world_ns, 0);
  EXPECT_EQ(second.timing.transfer_rect_ns, 0);
  EXPECT_EQ(second.timing.world_ns, 0);
  EXPECT_EQ(second.timing.iterate_ns, 0);
}

}  // namespace
}  // namespace quorvel::headless
