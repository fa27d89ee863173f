// SPDX-License-Identifier: MIT
#include "cli/commands/describe_command.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "compose/document/json_place.h"
#include "compose/render/scene_renderer.h"
#include "compose/scene/effect_settings.h"
#include "compose/scene/scene_file.h"
#include "headless/loading/pipl_reader.h"

namespace quorvel::cli {

using compose::DefaultModulePath;
using compose::FrameCount;
using compose::LoadSceneFile;
using compose::PopupChoices;
using compose::ReportSceneWarnings;
using compose::SceneFile;
using compose::SceneLayer;
using compose::SceneRenderer;
using compose::Shown;
using compose::ShownNumber;

namespace {

double FromFixed(PF_Fixed value) {
  return static_cast<double>(value) / 65536.0;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08x", value);
  return text;
}

std::string Joined(const std::vector<std::string>& words, const std::string& separator) {
  std::string joined;
  for (const std::string& word : words) joined += (joined.empty() ? "" : separator) + word;
  return joined;
}

std::string FlagsText(uint32_t flags, const std::vector<std::string>& names) {
  return flags == 0 ? Hex(flags) : Hex(flags) + " " + Joined(names, ", ");
}

// Parameter flags by name; bits without a meaning to a host are shown as numbers.
std::string ParamFlagsText(PF_ParamFlags flags) {
  static const struct {
    uint32_t bit;
    const char* name;
  } kNames[] = {
      {PF_ParamFlag_CANNOT_TIME_VARY, "CANNOT_TIME_VARY"},
      {PF_ParamFlag_CANNOT_INTERP, "CANNOT_INTERP"},
      {PF_ParamFlag_COLLAPSE_TWIRLY, "COLLAPSE_TWIRLY"},
      {PF_ParamFlag_SUPERVISE, "SUPERVISE"},
      {PF_ParamFlag_USE_VALUE_FOR_OLD_PROJECTS, "USE_VALUE_FOR_OLD_PROJECTS"},
      {PF_ParamFlag_EXCLUDE_FROM_HAVE_INPUTS_CHANGED, "EXCLUDE_FROM_HAVE_INPUTS_CHANGED"},
      {PF_ParamFlag_SKIP_REVEAL_WHEN_UNHIDDEN, "SKIP_REVEAL_WHEN_UNHIDDEN"},
  };
  const auto bits = static_cast<uint32_t>(flags);
  std::vector<std::string> names;
  for (uint32_t bit = 1; bit != 0; bit <<= 1) {
    if ((bits & bit) == 0) continue;
    const auto known = std::find_if(std::begin(kNames), std::end(kNames),
                                    [bit](const auto& entry) { return entry.bit == bit; });
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", bit);
    names.emplace_back(known != std::end(kNames) ? known->name : hex);
  }
  return names.empty() ? "-" : Joined(names, ", ");
}

std::string Decimals(double value, int precision) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", std::clamp(precision, 0, 6), value);
  return text;
}

std::string ColorText(const PF_Pixel& color) {
  char text[32];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", color.red, color.green, color.blue);
  return std::string(text) + (color.alpha == 255 ? "" : " alpha " + std::to_string(color.alpha));
}

struct ControlRow {
  std::string index, name, type, default_value, range, flags, group;
};

ControlRow DescribeControl(const headless::EffectInstance& instance, int index,
                           const std::string& group) {
  const PF_ParamDef& definition = instance.Definition(index);
  ControlRow row;
  row.index = std::to_string(index);
  row.name = (group.empty() ? "" : "  ") + instance.ParamName(index);
  row.flags = ParamFlagsText(definition.flags);
  row.group = group.empty() ? "-" : group;
  switch (definition.param_type) {
    case PF_Param_LAYER:
      row.type = "layer";
      row.name = "(input layer)";
      row.default_value = "this layer";
      break;
    case PF_Param_FLOAT_SLIDER: {
      const PF_FloatSliderDef& slider = definition.u.fs_d;
      const bool percent = (slider.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
      row.type = "slider";
      row.default_value = Decimals(slider.dephault, slider.precision) + (percent ? " %" : "");
      row.range = ShownNumber(slider.valid_min) + ".." + ShownNumber(slider.valid_max);
      if (slider.slider_min != slider.valid_min || slider.slider_max != slider.valid_max) {
        row.range += " (slider " + ShownNumber(slider.slider_min) + ".." +
                     ShownNumber(slider.slider_max) + ")";
      }
      break;
    }
    case PF_Param_FIX_SLIDER:
      row.type = "fixed slider";
      row.default_value = Decimals(FromFixed(definition.u.fd.dephault), definition.u.fd.precision);
      row.range = ShownNumber(FromFixed(definition.u.fd.valid_min)) + ".." +
                  ShownNumber(FromFixed(definition.u.fd.valid_max));
      break;
    case PF_Param_SLIDER:
      row.type = "integer slider";
      row.default_value = std::to_string(definition.u.sd.dephault);
      row.range = std::to_string(definition.u.sd.valid_min) + ".." +
                  std::to_string(definition.u.sd.valid_max);
      break;
    case PF_Param_ANGLE:
      row.type = "angle";
      row.default_value = ShownNumber(FromFixed(definition.u.ad.dephault)) + " deg";
      break;
    case PF_Param_POPUP: {
      const std::vector<std::string> choices = PopupChoices(definition);
      const int dephault = definition.u.pd.dephault;
      row.type = "popup";
      row.default_value = dephault >= 1 && dephault <= static_cast<int>(choices.size())
                              ? choices[static_cast<size_t>(dephault - 1)]
                              : std::to_string(dephault);
      row.range = Joined(choices, "|");
      break;
    }
    case PF_Param_CHECKBOX:
      row.type = "check box";
      row.default_value = definition.u.bd.dephault != 0 ? "on" : "off";
      break;
    case PF_Param_COLOR:
      row.type = "color";
      row.default_value = ColorText(definition.u.cd.dephault);
      break;
    case PF_Param_POINT:
      row.type = "point";
      row.default_value = "[" + ShownNumber(FromFixed(definition.u.td.x_dephault)) + ", " +
                          ShownNumber(FromFixed(definition.u.td.y_dephault)) + "]";
      break;
    case PF_Param_GROUP_START:
      row.type = "group";
      break;
    case PF_Param_GROUP_END:
      row.type = "group end";
      row.name = "  (end of " + (group.empty() ? std::string("no group") : group) + ")";
      break;
    default:
      row.type = "type " + std::to_string(definition.param_type);
      break;
  }
  return row;
}

void PrintTable(std::ostream& out, const std::vector<ControlRow>& rows) {
  const auto fields = [](const ControlRow& row) {
    return std::vector<const std::string*>{&row.index, &row.name,  &row.type, &row.default_value,
                                           &row.range, &row.flags, &row.group};
  };
  std::vector<size_t> widths(7, 0);
  for (const ControlRow& row : rows) {
    const std::vector<const std::string*> cells = fields(row);
    for (size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i]->size());
  }
  for (const ControlRow& row : rows) {
    const std::vector<const std::string*> cells = fields(row);
    std::string line = "  ";
    for (size_t i = 0; i < cells.size(); ++i) {
      // Numbers line up on the right, words on the left.
      const std::string padding(widths[i] - cells[i]->size(), ' ');
      line += i == 0 ? padding + *cells[i] : *cells[i] + padding;
      line += "  ";
    }
    out << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
  }
}

void PrintPipl(std::ostream& out, const headless::PiplInfo& pipl) {
  out << "PiPL\n"
      << "  name            " << pipl.name << "\n"
      << "  category        " << pipl.category << "\n"
      << "  match name      " << pipl.match_name << "\n"
      << "  version         " << headless::FormatEffectVersion(pipl.effect_version) << " ("
      << Hex(pipl.effect_version) << ")\n"
      << "  kind            " << headless::FourCharText(pipl.kind) << "\n"
      << "  entry point     " << pipl.entry_point << "\n"
      << "  interface       " << pipl.spec_version.major << "." << pipl.spec_version.minor << "\n"
      << "  out flags       "
      << FlagsText(pipl.global_out_flags, headless::OutFlagNames(pipl.global_out_flags)) << "\n"
      << "  out flags 2     "
      << FlagsText(pipl.global_out_flags2, headless::OutFlag2Names(pipl.global_out_flags2)) << "\n";
  if (!pipl.support_url.empty()) out << "  support         " << pipl.support_url << "\n";
}

// The about text, its line breaks (carriage returns or line feeds) as lines of their own.
void PrintAbout(std::ostream& out, const PF_OutData& out_data) {
  const std::string text(out_data.return_msg,
                         strnlen(out_data.return_msg, sizeof out_data.return_msg));
  out << "About\n";
  if (text.empty()) {
    out << "  (no text)\n";
    return;
  }
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
    if (!line.empty()) out << "  " << line.substr(0, line.find_last_not_of(' ') + 1) << "\n";
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

// The scene's composition and layers, top first, each with the values its effect sets.
void PrintScene(std::ostream& out, const SceneFile& scene_file) {
  const headless::Composition& composition = scene_file.composition;
  out << "Scene             " << scene_file.file << "\n"
      << "  composition     " << composition.width << "x" << composition.height << ", "
      << FrameCount(composition) << " frames at "
      << ShownNumber(static_cast<double>(composition.time_scale) / composition.frame_duration)
      << " fps\n"
      << "  layers          " << scene_file.layers.size() << ", top first\n";
  for (size_t index = 0; index < scene_file.layers.size(); ++index) {
    const SceneLayer& layer = scene_file.layers[index];
    std::string text = layer.text.text.At(0);
    if (const size_t end = text.find('\n'); end != std::string::npos) text.resize(end);
    out << "  [" << index << "] \"" << text << "\": ";
    if (!layer.effect) {
      out << "plain text\n";
      continue;
    }
    out << "effect";
    if (layer.effect->empty()) out << " with its defaults";
    for (const auto& member : layer.effect->items()) {
      out << "\n        " << member.key() << " = " << Shown(member.value());
    }
    out << "\n";
  }
}

}  // namespace

int RunDescribe(const Invocation& invocation, Console& console) {
  const std::string module_path =
      invocation.module.empty() ? DefaultModulePath() : invocation.module;
  // A scene is checked first, every value of every layer against the registered controls as a
  // render would, so that a bad one prints nothing but its message.
  std::optional<SceneFile> scene_file;
  if (!invocation.scene.empty()) {
    scene_file = LoadSceneFile(invocation.scene, invocation.overrides);
    ReportSceneWarnings(*scene_file, invocation.strict, console.err);
    const SceneRenderer check(module_path, *scene_file);
  }
  SceneRenderer session(module_path, headless::InstanceOptions{});
  const headless::CommandResult about = session.RunChecked(PF_Cmd_ABOUT, "about");
  headless::EffectInstance& instance = session.instance();

  std::ostream& out = console.out;
  out << "Module            " << module_path << "\n";
  PrintPipl(out, session.module().pipl());
  PrintAbout(out, about.out_data);

  std::vector<ControlRow> rows{{"#", "name", "type", "default", "range", "flags", "group"}};
  std::vector<std::string> groups;
  for (int index = 0; index < instance.NumParams(); ++index) {
    const PF_ParamDef& definition = instance.Definition(index);
    rows.push_back(DescribeControl(instance, index, groups.empty() ? "" : groups.back()));
    if (definition.param_type == PF_Param_GROUP_START) groups.push_back(instance.ParamName(index));
    if (definition.param_type == PF_Param_GROUP_END && !groups.empty()) groups.pop_back();
  }
  out << "Effect controls (" << instance.NumParams() - 1 << ", after the input layer)\n";
  PrintTable(out, rows);
  if (scene_file) PrintScene(out, *scene_file);
  return kExitSuccess;
}

}  // namespace quorvel::cli
