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

#include "compose/document/json_place.h"
#include "compose/scene/effect_settings.h"
#include "compose/scene/scene_file.h"
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
    const quorvel::compose::SceneFile scene = quorvel::compose::ParseSceneFile(text, "fuzz.json");
    quorvel::headless::EffectInstance& instance = Instance();
    for (const quorvel::compose::SceneLayer& layer : scene.layers) {
      // Each layer's effect starts from the registered defaults.
      instance.ParamsSetup();
      quorvel::compose::ApplyEffectSettings(scene.file, layer, instance);
    }
  } catch (const quorvel::compose::SceneError&) {
    // Refused with a message: the expected answer to bad input.
  } catch (const std::exception& error) {
    std::fprintf(stderr, "scene fuzzer: %s escaped: %s\n", typeid(error).name(), error.what());
    std::abort();
  }
  return 0;
}
