// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "headless/instance/effect_instance.h"
#include "tests/headless/test_effect.h"

namespace quorvel::headless {
namespace {

using test::TestEffect;

TEST(EffectCommands, FillInDataAsAHostDoes) {
  InstanceOptions options;
  options.downsample_x = {1, 2};
  options.downsample_y = {1, 4};
  TestEffect effect(options);
  PF_InData seen{};
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    seen = *in_data;
    return PF_Err_NONE;
  });
  effect.instance.GlobalSetup();

  EXPECT_EQ(seen.appl_id, 0x46585443);  // 'FXTC'
  EXPECT_EQ(seen.version.major, 13);
  EXPECT_EQ(seen.version.minor, 28);
  EXPECT_NE(seen.pica_basicP, nullptr);
  EXPECT_EQ(EffectInstance::FromEffectRef(seen.effect_ref), &effect.instance);
  EXPECT_EQ(seen.downsample_x.den, 2u);
  EXPECT_EQ(seen.downsample_y.den, 4u);
  // The default composition runs at 30 frames per second in units of 1/3000 s.
  EXPECT_EQ(seen.time_scale, 3000u);
  EXPECT_EQ(seen.time_step, 100);
  // Without motion blur switched on, no shutter (FrameTimes below has the one with it).
  EXPECT_EQ(seen.shutter_angle, 0);
  EXPECT_EQ(seen.shutter_phase, 0);
  EXPECT_NE(seen.inter.add_param, nullptr);
  EXPECT_NE(seen.inter.checkout_param, nullptr);
}

TEST(EffectCommands, GiveTheUtilityCallbacks) {
  TestEffect effect;
  std::string written;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef**) {
    in_data->utils->ansi.sprintf(out_data->return_msg, "%s v%d", "About", 3);
    return PF_Err_NONE;
  });
  const CommandResult result = effect.instance.About();
  EXPECT_STREQ(result.out_data.return_msg, "About v3");
  EXPECT_STREQ(effect.instance.out_data().return_msg, "About v3");
}

TEST(EffectCommands, PassPremiereProsApplicationId) {
  InstanceOptions options;
  options.application = kApplicationPremierePro;
  TestEffect effect(options);
  A_long appl_id = 0;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    appl_id = in_data->appl_id;
    return PF_Err_NONE;
  });
  effect.instance.GlobalSetup();
  EXPECT_EQ(appl_id, 0x50724d72);
}

TEST(EffectCommands, HandTheOutDataOfOneCommandToTheNext) {
  TestEffect effect;
  std::strcpy(effect.instance.out_data().return_msg, "left by the host");
  const CommandResult result = effect.instance.Run(PF_Cmd_SEQUENCE_SETUP);
  EXPECT_STREQ(result.out_data.return_msg, "left by the host");
}

TEST(EffectCommands, ReturnTheEntryPointsResultAndOutData) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd command, PF_InData*, PF_OutData* out_data, PF_ParamDef**) {
    out_data->my_version = 0x00090001;
    return command == PF_Cmd_GLOBAL_SETUP ? PF_Err_NONE : PF_Err_INVALID_CALLBACK;
  });
  const CommandResult setup = effect.instance.GlobalSetup();
  EXPECT_EQ(setup.err, PF_Err_NONE);
  EXPECT_EQ(setup.out_data.my_version, 0x00090001u);
  EXPECT_EQ(effect.instance.Run(PF_Cmd_FRAME_SETUP).err, PF_Err_INVALID_CALLBACK);
  EXPECT_EQ(effect.instance.LastCommand().command, PF_Cmd_FRAME_SETUP);
}

TEST(EffectCommands, ReportWhatThePlugInStillHoldsAfterwards) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    const void* suite = nullptr;
    in_data->pica_basicP->AcquireSuite("PF ANSI Suite", 1, &suite);
    return PF_Err_NONE;
  });
  effect.instance.About();
  EXPECT_FALSE(effect.instance.HeldAfterLastCommand().Empty());
  EXPECT_EQ(effect.instance.HeldAfterLastCommand().Describe(), "1 suite");
}

TEST(EffectCommands, StartEachCommandWithAnEmptyLedger) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd command, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    const void* suite = nullptr;
    in_data->pica_basicP->AcquireSuite("PF ANSI Suite", 1, &suite);
    if (command == PF_Cmd_ABOUT) in_data->pica_basicP->ReleaseSuite("PF ANSI Suite", 1);
    return PF_Err_NONE;
  });
  effect.instance.GlobalSetup();
  effect.instance.About();
  EXPECT_TRUE(effect.instance.HeldAfterLastCommand().Empty());
}

TEST(EffectCommands, ApplyTheInstancesSuiteFaults) {
  TestEffect effect;
  effect.instance.faults().RefuseSuite("PF ANSI Suite", 1);
  SPErr acquired = kSPNoError;
  effect.OnCommand([&](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    const void* suite = nullptr;
    acquired = in_data->pica_basicP->AcquireSuite("PF ANSI Suite", 1, &suite);
    return PF_Err_NONE;
  });
  effect.instance.About();
  EXPECT_EQ(acquired, kSPSuiteNotFoundError);
}

TEST(EffectCommands, RecordHostCallsInTheLogGiven) {
  TestEffect effect;
  CallLog log;
  effect.instance.SetCallLog(&log);
  effect.OnCommand([](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    const void* suite = nullptr;
    in_data->pica_basicP->AcquireSuite("PF ANSI Suite", 1, &suite);
    in_data->pica_basicP->ReleaseSuite("PF ANSI Suite", 1);
    return PF_Err_NONE;
  });
  effect.instance.About();
  EXPECT_EQ(log.Entries(), (std::vector<std::string>{"AcquireSuite PF ANSI Suite 1",
                                                     "ReleaseSuite PF ANSI Suite 1"}));
}

TEST(EffectCommands, ReportAnExceptionThatLeavesTheEntryPoint) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd, PF_InData*, PF_OutData*, PF_ParamDef**) -> PF_Err {
    throw std::runtime_error("escaped");
  });
  const CommandResult result = effect.instance.About();
  EXPECT_EQ(result.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(result.escaped_exception, "escaped");
}

TEST(EffectCommands, RecordPixelFormatsRegisteredInPremierePro) {
  InstanceOptions options;
  options.application = kApplicationPremierePro;
  TestEffect effect(options);
  effect.OnCommand([](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    const void* table = nullptr;
    in_data->pica_basicP->AcquireSuite("PF Pixel Format Suite", 1, &table);
    const auto* suite = static_cast<const PF_PixelFormatSuite1*>(table);
    suite->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_VUYA_4444_8u);
    suite->ClearSupportedPixelFormats(in_data->effect_ref);
    suite->AddSupportedPixelFormat(in_data->effect_ref, PrPixelFormat_BGRA_4444_8u);
    in_data->pica_basicP->ReleaseSuite("PF Pixel Format Suite", 1);
    return PF_Err_NONE;
  });
  effect.instance.GlobalSetup();
  EXPECT_EQ(effect.instance.SupportedPixelFormats(),
            std::vector<PrPixelFormat>{PrPixelFormat_BGRA_4444_8u});
  EXPECT_TRUE(effect.instance.HeldAfterLastCommand().Empty());
}

TEST(EffectCommands, KeepTheAccountsOfConcurrentCommandsApart) {
  TestEffect effect;
  effect.OnCommand([](PF_Cmd, PF_InData* in_data, PF_OutData*, PF_ParamDef**) {
    const void* suite = nullptr;
    in_data->pica_basicP->AcquireSuite("PF ANSI Suite", 1, &suite);
    // Only the command at time 2 forgets its release.
    if (in_data->current_time != 2) in_data->pica_basicP->ReleaseSuite("PF ANSI Suite", 1);
    return PF_Err_NONE;
  });
  std::vector<CommandResult> results(4);
  std::vector<std::thread> threads;
  for (A_long time = 0; time < 4; ++time) {
    threads.emplace_back([&effect, &results, time] {
      FrameTimes times;
      times.current_time = time;
      results[static_cast<size_t>(time)] =
          effect.instance.RunCommand(PF_Cmd_RENDER, nullptr, nullptr, times);
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_TRUE(results[0].held.Empty());
  EXPECT_TRUE(results[1].held.Empty());
  EXPECT_EQ(results[2].held.Describe(), "1 suite");
  EXPECT_TRUE(results[3].held.Empty());
}

TEST(FrameTimes, FollowTheCompositionsFrameRateAndShutter) {
  Composition composition;
  composition.time_scale = 2997;
  composition.frame_duration = 100;
  composition.shutter_angle_degrees = 90;
  composition.shutter_phase_degrees = -45;
  composition.motion_blur = true;
  TextLayer layer;
  layer.motion_blur = true;
  const FrameTimes times = FrameTimesAt(composition, layer, 12);
  EXPECT_EQ(times.current_time, 1200);
  EXPECT_EQ(times.time_step, 100);
  EXPECT_EQ(times.time_scale, 2997u);
  EXPECT_EQ(times.shutter_angle, 0x4000);
  EXPECT_EQ(times.shutter_phase, -0x2000);
  // Without both switches on, the host gives no shutter, as After Effects does.
  for (const bool layer_switch : {false, true}) {
    layer.motion_blur = layer_switch;
    composition.motion_blur = !layer_switch;
    const FrameTimes still = FrameTimesAt(composition, layer, 12);
    EXPECT_EQ(still.shutter_angle, 0);
    EXPECT_EQ(still.shutter_phase, 0);
  }
}

}  // namespace
}  // namespace quorvel::headless
