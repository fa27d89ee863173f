// SPDX-License-Identifier: MIT
#include "headless/instance/param_table.h"

#include <cstring>
#include <utility>

namespace quorvel::headless {
namespace {

int CountChoices(const char* names) {
  int count = 1;
  for (const char* c = names; *c != '\0'; ++c) {
    if (*c == '|') ++count;
  }
  return count;
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

}  // namespace

void ParamTable::Reset() {
  params_.clear();
  Param input{};
  input.definition.param_type = PF_Param_LAYER;
  input.definition.u.ld.dephault = PF_LayerDefault_MYSELF;
  params_.push_back(input);
}

void ParamTable::SetInputWorld(const PF_EffectWorld& world) {
  const A_long dephault = params_[0].definition.u.ld.dephault;
  params_[0].definition.u.ld = world;
  params_[0].definition.u.ld.dephault = dephault;
}

PF_Err ParamTable::Add(PF_ParamIndex index, const PF_ParamDef& definition) {
  // Only appending is offered: inserting would renumber what the render reads by index.
  if (index != -1) return PF_Err_INVALID_INDEX;
  if (!IsKnownParamType(definition.param_type) || definition.param_type == PF_Param_LAYER) {
    return PF_Err_UNRECOGNIZED_PARAM_TYPE;
  }
  // The name must end within its field, or the host would read past it.
  if (std::memchr(definition.name, '\0', sizeof definition.name) == nullptr) {
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (definition.param_type == PF_Param_POPUP) {
    const PF_PopupDef& popup = definition.u.pd;
    if (popup.u.namesptr == nullptr || popup.num_choices < 1 ||
        CountChoices(popup.u.namesptr) != popup.num_choices || popup.value < 1 ||
        popup.value > popup.num_choices) {
      return PF_Err_BAD_CALLBACK_PARAM;
    }
  }
  // The copy keeps the pointers to popup choices and check box labels: they are the
  // plug-in's static strings.
  Param param;
  param.definition = definition;
  param.value = ValueOf(definition);
  params_.push_back(param);
  return PF_Err_NONE;
}

const ParamTable::Param& ParamTable::At(int index) const {
  if (index < 0 || index >= size()) {
    throw ParamError("no parameter at index " + std::to_string(index) + " (the effect has " +
                     std::to_string(size()) + ")");
  }
  return params_[static_cast<size_t>(index)];
}

const PF_ParamDef& ParamTable::Definition(int index) const {
  return At(index).definition;
}

int ParamTable::Find(const std::string& name) const {
  if (!name.empty()) {
    for (int index = 0; index < size(); ++index) {
      if (Name(index) == name) return index;
    }
  }
  std::string known;
  for (int index = 0; index < size(); ++index) {
    if (!HoldsValue(params_[static_cast<size_t>(index)].definition.param_type)) continue;
    known += known.empty() ? "" : ", ";
    known += Quoted(Name(index));
  }
  throw ParamError("unknown parameter " + Quoted(name) + "; the effect has " +
                   (known.empty() ? std::string("none") : known));
}

void ParamTable::SetConstant(int index, const ParamValue& value) {
  const ParamValue checked = CheckedValue(Definition(index), value);
  params_[static_cast<size_t>(index)].value = checked;
}

void ParamTable::SetKeys(int index, std::vector<ParamKey> keys) {
  const PF_ParamDef& definition = Definition(index);
  const std::string name = Quoted(Name(index));
  if (definition.flags & PF_ParamFlag_CANNOT_TIME_VARY) {
    throw ParamError(name + " cannot vary in time and takes no keyframes");
  }
  for (ParamKey& key : keys) key.value = CheckedValue(definition, key.value);
  try {
    params_[static_cast<size_t>(index)].value = Animated<ParamValue>::Keyed(std::move(keys));
  } catch (const KeyframeError& error) {
    throw ParamError(name + ": " + error.what());
  }
}

PF_ParamDef ParamTable::ValueAt(int index, double seconds) const {
  const Param& param = At(index);
  PF_ParamDef definition = param.definition;
  if (HoldsValue(definition.param_type)) StoreValue(param.value.At(seconds), definition);
  return definition;
}

ConstantSpan ParamTable::ConstantAround(double seconds) const {
  ConstantSpan span = ConstantSpan::Always();
  for (const Param& param : params_) span = span.Within(param.value.ConstantAround(seconds));
  return span;
}

}  // namespace quorvel::headless
