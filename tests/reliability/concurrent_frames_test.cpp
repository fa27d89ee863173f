// SPDX-License-Identifier: MIT
// Many frames rendered at once, as a host with multi-frame rendering does: eight threads on
// the same effect instances of the built module, each frame bit-identical to the same frame
// rendered alone.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "headless/composition/frame_render.h"
#include "headless/instance/effect_instance.h"
#include "headless/loading/module.h"
#include "tests/reliability/reliability_support.h"

namespace quorvel {
namespace {

using headless::EffectInstance;
using headless::ParamValue;

constexpr int kThreads = 8;
constexpr A_long kFramesPerInstance = 16;
constexpr int kFramesPerThread = 32;

// Releases every waiting thread at once, so that the renders overlap.
class StartLine {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }
  void Open() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

struct FrameJob {
  EffectInstance* instance;
  A_long frame;
};

class ConcurrentFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = std::make_unique<headless::Module>(QUORVEL_MODULE_PATH);
    // Parameters cannot change while frames render, so frames differ by time (keyframes) and
    // by instance (shape, border, matte, motion blur).
    instances_.push_back(MakeInstance());
    EffectInstance& moving = *instances_.back();
    moving.SetKeys("Expansion Uniform",
                   {{0, ParamValue::Number(2)}, {0.4, ParamValue::Number(14)}});
    moving.SetKeys("Rotation", {{0, ParamValue::Number(0)}, {0.4, ParamValue::Number(45)}});
    moving.SetKeys("Roundness", {{0, ParamValue::Number(0)}, {0.4, ParamValue::Number(100)}});
    moving.SetConstant("Enable Border", ParamValue::Boolean(true));
    moving.SetKeys("Border Width", {{0, ParamValue::Number(1)}, {0.4, ParamValue::Number(9)}});

    instances_.push_back(MakeInstance());
    EffectInstance& blurred = *instances_.back();
    reliability::UseMotionBlur(blurred);
    blurred.SetConstant("Shape", ParamValue::Integer(3));
    blurred.SetConstant("Matte Text to Fill", ParamValue::Boolean(true));
    blurred.SetKeys("Scale Width", {{0, ParamValue::Number(40)}, {0.4, ParamValue::Number(120)}});
    blurred.SetKeys("Fill Opacity", {{0, ParamValue::Number(100)}, {0.4, ParamValue::Number(30)}});

    instances_.push_back(MakeInstance());
    EffectInstance& subtracted = *instances_.back();
    subtracted.SetConstant("Shape", ParamValue::Integer(2));
    subtracted.SetConstant("Subtract Text from Fill", ParamValue::Boolean(true));
    subtracted.SetKeys("Skew X", {{0, ParamValue::Number(-5)}, {0.4, ParamValue::Number(5)}});
    subtracted.mutable_scene().layer.text.keys = {{0, std::string("Hi")},
                                                  {0.2, std::string("Hello")}};
  }

  std::unique_ptr<EffectInstance> MakeInstance() {
    auto instance = std::make_unique<EffectInstance>(*module_);
    reliability::UseSmallTextScene(instance->mutable_scene());
    EXPECT_EQ(instance->GlobalSetup().err, PF_Err_NONE);
    EXPECT_EQ(instance->ParamsSetup().err, PF_Err_NONE);
    instance->SetConstant("Expansion Uniform", ParamValue::Number(6));
    instance->SetConstant("Fill Color", ParamValue::Color(PF_Pixel{255, 30, 60, 200}));
    return instance;
  }

  std::unique_ptr<headless::Module> module_;
  std::vector<std::unique_ptr<EffectInstance>> instances_;
};

TEST_F(ConcurrentFrames, EightThreadsRenderEveryFrameAsItIsRenderedAlone) {
  std::vector<FrameJob> jobs;
  for (const auto& instance : instances_) {
    for (A_long frame = 0; frame < kFramesPerInstance; ++frame) {
      jobs.push_back({instance.get(), frame});
    }
  }
  std::vector<headless::OwnedWorld> alone;
  for (const FrameJob& job : jobs) {
    headless::RenderedFrame rendered = headless::RenderFrame(*job.instance, {job.frame, {}});
    ASSERT_EQ(rendered.result.err, PF_Err_NONE);
    alone.push_back(std::move(rendered.output));
  }
  // The frames differ, or the comparison would prove little.
  ASSERT_FALSE(reliability::SameWorlds(alone[0].world(), alone[1].world()));

  StartLine start;
  std::atomic<int> frames_checked{0};
  std::atomic<int> mismatches{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] {
      start.Wait();
      // Each thread walks the jobs from its own starting point, so the same frames of the
      // same instance also run at the same time.
      for (int step = 0; step < kFramesPerThread; ++step) {
        const size_t index =
            (static_cast<size_t>(thread) * 5 + static_cast<size_t>(step)) % jobs.size();
        const FrameJob& job = jobs[index];
        const headless::RenderedFrame rendered =
            headless::RenderFrame(*job.instance, {job.frame, {}});
        if (rendered.result.err != PF_Err_NONE || !rendered.result.held.Empty() ||
            !rendered.result.escaped_exception.empty()) {
          failures.fetch_add(1);
        }
        if (!reliability::SameWorlds(rendered.output.world(), alone[index].world())) {
          mismatches.fetch_add(1);
        }
        frames_checked.fetch_add(1);
      }
    });
  }
  start.Open();
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(frames_checked.load(), kThreads * kFramesPerThread);
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(failures.load(), 0);
  std::cout << "[ concurrency ] " << frames_checked.load() << " frames from " << kThreads
            << " threads checked against " << jobs.size() << " frames rendered alone\n";
  RecordProperty("concurrent_frames_checked", frames_checked.load());
}

}  // namespace
}  // namespace quorvel
