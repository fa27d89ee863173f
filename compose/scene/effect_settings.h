// SPDX-License-Identifier: MIT
// The "effect" object of a scene file, checked against the parameters the module registered
// and given to the effect instance.
#pragma once

#include <string>
#include <vector>

#include "compose/scene/scene_file.h"
#include "headless/instance/effect_instance.h"

namespace quorvel::compose {

// Sets every value of the layer's effect object on the instance (after its parameter set-up):
// names, popup choices, types and ranges come from the definitions the module registered.
// Throws SceneError naming the place in `file` ("scenes/x.json: effect.Roundness: 140 is
// outside 0..100"). A layer without an effect sets nothing.
void ApplyEffectSettings(const std::string& file, const SceneLayer& layer,
                         headless::EffectInstance& instance);

// The choices of a registered popup, in order ("Auto", "Square", "Circle").
std::vector<std::string> PopupChoices(const PF_ParamDef& definition);

// True for parameters that hold a value (not groups, not the input layer).
bool TakesValue(const PF_ParamDef& definition);

}  // namespace quorvel::compose
