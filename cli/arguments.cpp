// SPDX-License-Identifier: MIT
#include "cli/arguments.h"

#include <cctype>
#include <cmath>
#include <exception>
#include <string>

#include "cli/cli_error.h"
#include "cli/nearest_name.h"

namespace quorvel::cli {

const char kUsage[] =
    "usage:\n"
    "  quorvel-render render SCENE.json -o OUT.png [--frame N] [--module PATH] [--strict]\n"
    "  quorvel-render render SCENE.json -o 'out/frame_%04d.png' --frames A-B [--jobs N]\n"
    "                 [--module PATH]\n"
    "  quorvel-render sheet SCENE.json -o SHEET.png --frames A-B [--columns C] [--jobs N]\n"
    "                 [--module PATH]\n"
    "  quorvel-render describe [MODULE | SCENE.json] [--module PATH]\n"
    "  quorvel-render --version\n"
    "\n"
    "  render    renders one frame (frame 0 unless --frame), or frames A to B into numbered\n"
    "            files on N threads (default: the machine's hardware threads)\n"
    "  sheet     renders frames A to B into one contact sheet, C columns wide\n"
    "  describe  prints the module's PiPL, about text and effect controls; given a scene,\n"
    "            checks it against them and lists its layers and their effects' values\n"
    "  --module  the plug-in module to load (default: Quorvel.so next to quorvel-render)\n"
    "  --strict  makes a scene's warnings (characters its font lacks) errors\n"
    "  --max-memory SIZE  the memory all frames' worlds may take at once, such as 4G\n"
    "            (default: half the machine's memory)\n"
    "\n"
    "exit status:\n"
    "  0    done\n"
    "  1    failed: a bad scene, font, module or output file, or a failed frame\n"
    "  2    a command line that does not say what to do\n"
    "  130  interrupted (Ctrl-C or SIGTERM) before every frame was rendered\n"
    "\n"
    "Scene files are described in docs/scene-format.md, the commands in docs/cli.md.\n";

namespace {

int ParseCount(const std::string& text, const std::string& option, int low, int high) {
  const A_long number = ParseFrameNumber(text, option);
  if (number < low || number > high) {
    throw UsageError(option + " '" + text + "': expected a number from " + std::to_string(low) +
                     " to " + std::to_string(high));
  }
  return static_cast<int>(number);
}

CommandName ParseCommandName(const std::string& word) {
  if (word == "render") return CommandName::kRender;
  if (word == "sheet") return CommandName::kSheet;
  if (word == "describe") return CommandName::kDescribe;
  if (word == "help" || word == "--help" || word == "-h") return CommandName::kHelp;
  if (word == "version" || word == "--version") return CommandName::kVersion;
  throw UsageError("unknown command '" + word + "'" +
                   SuggestionOr(word, {"render", "sheet", "describe", "help", "version"}, ""));
}

// "512M", "12G", "1.5GiB", "800000000": bytes, with K, M, G or T for powers of 1024.
uint64_t ParseByteSize(const std::string& text, const std::string& option) {
  size_t used = 0;
  double number = 0;
  try {
    number = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  std::string unit = text.substr(used);
  if (unit.size() == 3 && (unit[1] == 'i' || unit[1] == 'I') &&
      (unit[2] == 'B' || unit[2] == 'b')) {
    unit.resize(1);
  }
  const std::string units = "KMGT";
  const size_t found =
      unit.size() == 1 ? units.find(static_cast<char>(std::toupper(unit[0]))) : std::string::npos;
  const bool known_unit = unit.empty() || found != std::string::npos;
  const double power = unit.empty() || !known_unit ? 0 : static_cast<double>(found + 1);
  const double bytes = number * std::pow(1024.0, power);
  constexpr double kSmallest = 64.0 * 1024 * 1024;  // no frame of use fits in less
  if (used == 0 || !known_unit || !(bytes >= kSmallest) || bytes > 1e18) {
    throw UsageError(option + " '" + text +
                     "': expected a size of 64M or more, such as 512M or 12G");
  }
  return static_cast<uint64_t>(bytes);
}

// Each command takes only the options that mean something to it.
void CheckFits(const Invocation& invocation, const std::vector<std::string>& positional) {
  const bool renders =
      invocation.command == CommandName::kRender || invocation.command == CommandName::kSheet;
  if (!renders) {
    if (!invocation.output.empty() || invocation.frame || invocation.frames || invocation.jobs ||
        invocation.columns) {
      throw UsageError("describe takes no -o, --frame, --frames, --jobs or --columns");
    }
    if (positional.size() > 1) throw UsageError("describe takes at most one module or scene");
    return;
  }
  const char* name = invocation.command == CommandName::kRender ? "render" : "sheet";
  if (positional.size() != 1) {
    throw UsageError(std::string(name) + " takes one scene file" +
                     (positional.empty() ? "" : ", not " + std::to_string(positional.size())));
  }
  if (invocation.output.empty()) throw UsageError(std::string(name) + " needs -o OUTPUT");
  if (invocation.command == CommandName::kRender) {
    if (invocation.frame && invocation.frames) {
      throw UsageError("render takes --frame or --frames, not both");
    }
    if (invocation.columns) throw UsageError("--columns is for sheet");
  } else {
    if (!invocation.frames) throw UsageError("sheet needs --frames A-B");
    if (invocation.frame) throw UsageError("sheet takes --frames, not --frame");
  }
}

}  // namespace

Invocation ParseArguments(const std::vector<std::string>& arguments) {
  Invocation invocation;
  if (arguments.empty()) throw UsageError("no command given");
  invocation.command = ParseCommandName(arguments[0]);
  if (invocation.command == CommandName::kHelp || invocation.command == CommandName::kVersion) {
    return invocation;
  }
  // "render --help" asks for the usage, whatever else the line says.
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      invocation.command = CommandName::kHelp;
      return invocation;
    }
  }

  std::vector<std::string> positional;
  bool module_option = false;
  for (size_t i = 1; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    std::optional<std::string> value;
    const size_t equals = option.find('=');
    if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = option.substr(equals + 1);
      option.resize(equals);
    }
    const auto take_value = [&]() -> std::string {
      if (value) return *value;
      if (i + 1 >= arguments.size()) throw UsageError(option + " needs a value");
      return arguments[++i];
    };
    if (option == "-o" || option == "--output") {
      invocation.output = take_value();
      if (invocation.output.empty()) throw UsageError(option + " needs a file name");
    } else if (option == "--frame") {
      invocation.frame = ParseFrameNumber(take_value(), option);
    } else if (option == "--frames") {
      invocation.frames = ParseFrameRange(take_value(), option);
    } else if (option == "--jobs" || option == "-j") {
      invocation.jobs = ParseCount(take_value(), option, 1, 256);
    } else if (option == "--columns") {
      invocation.columns = ParseCount(take_value(), option, 1, 1000);
    } else if (option == "--module") {
      invocation.module = take_value();
      module_option = true;
    } else if (option == "--max-memory") {
      invocation.max_memory = ParseByteSize(take_value(), option);
    } else if (option == "--strict" && !value) {
      invocation.strict = true;
    } else if (option.size() > 1 && option[0] == '-') {
      throw UsageError("unknown option '" + option + "'" +
                       SuggestionOr(option,
                                    {"--output", "--frame", "--frames", "--jobs", "--columns",
                                     "--module", "--strict", "--max-memory"},
                                    ""));
    } else {
      positional.push_back(option);
    }
  }
  CheckFits(invocation, positional);
  if (invocation.command == CommandName::kDescribe) {
    const bool scene = !positional.empty() && positional[0].size() > 5 &&
                       positional[0].compare(positional[0].size() - 5, 5, ".json") == 0;
    if (scene) {
      invocation.scene = positional[0];
    } else if (!positional.empty()) {
      if (module_option) {
        throw UsageError("describe takes the module as an argument or with --module, not both");
      }
      invocation.module = positional[0];
    }
  } else {
    invocation.scene = positional[0];
  }
  return invocation;
}

}  // namespace quorvel::cli
