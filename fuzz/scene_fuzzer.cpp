// SPDX-License-Identifier: MIT
// quorvel-render's scene files: any text is either read into a scene, with the effect's values
// applied to an instance of the plug-in, or refused with a SceneError that names the place.
// Anything else (another exception, a crash, a sanitizer report, a leak) is a finding.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>

#include "cli/effect_settings.h"
#include "cli/json_place.h"
#include "cli/scene_file.h"
#include "headless/instance/effect_instance.h"
#include "host/entry_point.h"

namespace {

quorvel::headless::EffectInstance& Instance() {
  static std::unique_ptr<quorvel::headless::EffectInstance> instance = [] {
    auto made = std::make_unique<quorvel::headless::EffectInstance>(EntryPointFunc);
    made->GlobalSetup();
    made->ParamsSetup();
    return made;
  }();
  return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string text(reinterpret_cast<const char*>(bytes), size);
  try {
    const quorvel::cli::SceneFile scene = quorvel::cli::ParseSceneFile(text, "fuzz.json");
    quorvel::headless::EffectInstance& instance = Instance();
    for (const quorvel::cli::SceneLayer& layer : scene.layers) {
      // Each layer's effect starts from the registered defaults.
      instance.ParamsSetup();
      quorvel::cli::ApplyEffectSettings(scene.file, layer, instance);
    }
  } catch (const quorvel::cli::SceneError&) {
    // Refused with a message: the expected answer to bad input.
  } catch (const std::exception& error) {
    std::fprintf(stderr, "scene fuzzer: %s escaped: %s\n", typeid(error).name(), error.what());
    std::abort();
  }
  return 0;
}
