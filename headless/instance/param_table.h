// SPDX-License-Identifier: MIT
// The parameters of one effect instance: the definitions the plug-in registered in parameter
// set-up, in order behind the input layer at index 0, and each one's value over time.
#pragma once

#include <string>
#include <vector>

#include "headless/composition/keyframes.h"
#include "headless/instance/param_values.h"
#include "hostapi/host_api.h"

namespace quorvel::headless {

using ParamKey = Animated<ParamValue>::Key;

class ParamTable {
 public:
  ParamTable() { Reset(); }

  // Only the input layer left.
  void Reset();
  // The plug-in's add_param: a copy of the definition, appended (index -1 only). Refuses
  // unknown types, names that do not end within their field and inconsistent popups.
  PF_Err Add(PF_ParamIndex index, const PF_ParamDef& definition);

  int size() const { return static_cast<int>(params_.size()); }
  // The definition as registered, with its default value; ParamError for no such index.
  const PF_ParamDef& Definition(int index) const;
  std::string Name(int index) const { return ParamName(Definition(index)); }
  // The index of the parameter with that display name; ParamError if there is none.
  int Find(const std::string& name) const;

  // A value for all time (clears keys).
  void SetConstant(int index, const ParamValue& value);
  // Keyframes: at least one, at distinct times, in any order; choices always hold.
  void SetKeys(int index, std::vector<ParamKey> keys);
  // The definition with its value at that time.
  PF_ParamDef ValueAt(int index, double seconds) const;
  // The span around a time over which every parameter keeps its value then.
  ConstantSpan ConstantAround(double seconds) const;
  // The world given as the input layer's pixels (parameter 0).
  void SetInputWorld(const PF_EffectWorld& world);

 private:
  struct Param {
    PF_ParamDef definition;
    Animated<ParamValue> value;
  };
  const Param& At(int index) const;

  std::vector<Param> params_;
};

}  // namespace quorvel::headless
