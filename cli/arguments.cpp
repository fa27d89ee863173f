// SPDX-License-Identifier: MIT
#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <string>

#include "cli/cli_error.h"
#include "compose/document/json_place.h"
#include "compose/document/nearest_name.h"
#include "compose/scene/scene_file.h"

namespace quorvel::cli {

using compose::IsStandardInput;
using compose::ParseSceneOverride;
using compose::ShownNumber;
using compose::SuggestionOr;

const char kUsage[] =
    "usage:\n"
    "  quorvel-render render SCENE.json -o OUT.png [--frame N] [--module PATH] [--strict]\n"
    "  quorvel-render render SCENE.json -o 'out/frame_%04d.png' --frames A-B [--jobs N]\n"
    "  quorvel-render render SCENE.json -o OUT.mov|.webm|.mp4 [--frames A-B] [--jobs N]\n"
    "  quorvel-render sheet SCENE.json -o SHEET.png --frames A-B [--columns C] [--jobs N]\n"
    "  quorvel-render captions SUBTITLES.srt|.vtt [-s STYLE.json|NAME] -o OUT [--per-line]\n"
    "                 [--fade SECONDS] [--duration SECONDS] [--frames A-B] [--jobs N]\n"
    "  quorvel-render captions TRANSCRIPT.json [-s ...] -o OUT [--max-chars N] [--max-lines N]\n"
    "                 [--max-duration SECONDS] [--pause SECONDS] [--cues-out CUES.srt|.vtt]\n"
    "  quorvel-render batch TEMPLATE.json DATA.csv|.json|.jsonl -o 'out/{column}.png|.mp4'\n"
    "                 [--frame N | --frames A-B] [--jobs N] [--manifest FILE.jsonl [--resume]]\n"
    "                 [--keep-going] [--shard I/N | auto/N | auto]\n"
    "  quorvel-render manifest merge SHARD.jsonl... [-o MERGED.jsonl]\n"
    "  quorvel-render render|captions ... -o SEGMENT.mov|.webm|.mp4 --segment I/N\n"
    "  quorvel-render concat SEGMENT... -o FULL.mov|.webm|.mp4\n"
    "  quorvel-render describe [MODULE | SCENE.json] [--module PATH]\n"
    "  quorvel-render --version\n"
    "\n"
    "  render    renders one frame (frame 0 unless --frame), frames A to B into numbered\n"
    "            files, or a video of the composition, on N threads (default: the machine's\n"
    "            hardware threads)\n"
    "  sheet     renders frames A to B into one contact sheet, C columns wide\n"
    "  captions  renders each cue of a subtitle file in the style scene's layer and box, on\n"
    "            its frames; --per-line gives each line its own box, --fade fades cues in\n"
    "            and out; --encoding names the file's encoding (default: UTF-8 or UTF-16\n"
    "            by a byte order mark, else UTF-8, else Windows-1252); OUT is a video or\n"
    "            numbered PNG files. -s names a style scene or a built-in style (boxed, the\n"
    "            default; pill; lower_third; word_pill, a box behind each word as it is\n"
    "            spoken). A word-timed transcript (.json) is gathered\n"
    "            into cues of at most --max-chars a line (42), --max-lines (2) and\n"
    "            --max-duration (7 s), ending at sentences and at pauses of --pause\n"
    "            (0.5 s); --cues-out writes them for editing\n"
    "  batch     renders the template once for each row of the data, {column} in its\n"
    "            strings and in OUT replaced by the row's value; DATA is CSV with a header,\n"
    "            a JSON list of objects or JSON Lines (one object a line); a video name\n"
    "            (.mp4, .mov, .webm) renders a video a row, over --over footage\n"
    "            --manifest appends a JSON line for each row's file once it is in place;\n"
    "            --resume skips the rows it records as done whose files are unchanged;\n"
    "            --keep-going renders the other rows when one fails; --shard I/N renders\n"
    "            the rows k (from 0) with k mod N = I-1, auto takes I from the array job's\n"
    "            index (JOB_COMPLETION_INDEX, SLURM_ARRAY_TASK_ID, AWS_BATCH_JOB_ARRAY_INDEX)\n"
    "  manifest merge  joins shards' manifests, telling rows missing, failed or recorded\n"
    "            by two shards\n"
    "  --segment I/N  renders the I-th of N consecutive runs of the video's frames (the\n"
    "            whole composition, or --frames), with the sound of those frames, into\n"
    "            its own file\n"
    "  concat    joins segments, in order, into one video without encoding again; they\n"
    "            must agree in every codec parameter\n"
    "  describe  prints the module's PiPL, about text and effect controls; given a scene,\n"
    "            checks it against them and lists its layers and their effects' values\n"
    "  --set key.path=value  replaces one value of the scene (or style, or template), as in\n"
    "            --set 'layers[0].text=Ada' or --set 'effect.Fill Color=#102a43'\n"
    "  --module  the plug-in module to load (default: Quorvel.so next to quorvel-render,\n"
    "            else ../lib/quorvel/Quorvel.so from its folder, where it is installed)\n"
    "  --strict  makes a scene's warnings (characters its font lacks, subtitle blocks\n"
    "            skipped) errors\n"
    "  --progress json  progress as a JSON object a line on standard error\n"
    "  --max-memory SIZE  the memory all frames' worlds may take at once, such as 4G\n"
    "            (default: half the machine's memory)\n"
    "  A scene, style or template named - is read from standard input.\n"
    "\n"
    "exit status:\n"
    "  0    done\n"
    "  1    failed: a bad scene, font, module or output file, a failed frame or row, or\n"
    "       rows missing from merged manifests\n"
    "  2    a command line that does not say what to do\n"
    "  130  interrupted (Ctrl-C or SIGTERM) before every frame was rendered\n"
    "\n"
    "Scene files are described in docs/scene-format.md, the commands in docs/cli.md,\n"
    "captions in docs/captions.md and batches in docs/batch.md.\n";

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
  if (word == "captions") return CommandName::kCaptions;
  if (word == "batch") return CommandName::kBatch;
  if (word == "concat") return CommandName::kConcat;
  if (word == "manifest") return CommandName::kManifestMerge;
  if (word == "help" || word == "--help" || word == "-h") return CommandName::kHelp;
  if (word == "version" || word == "--version") return CommandName::kVersion;
  throw UsageError("unknown command '" + word + "'" +
                   SuggestionOr(word,
                                {"render", "sheet", "describe", "captions", "batch", "concat",
                                 "manifest", "help", "version"},
                                ""));
}

// "2.5": seconds from `low` to `high`.
double ParseSeconds(const std::string& text, const std::string& option, double low, double high) {
  size_t used = 0;
  double seconds = -1;
  try {
    seconds = std::stod(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || !(seconds >= low && seconds <= high)) {
    throw UsageError(option + " '" + text + "': expected seconds from " + ShownNumber(low) +
                     " to " + ShownNumber(high));
  }
  return seconds;
}

// "512M", "12G", "1.5GiB", "800000000": bytes, with K, M, G or T for powers of 1024.
uint64_t ParseByteSize(const std::string& text, const std::string& option) {
  // Decimal digits with an optional fraction, nothing else: std::stod would also read "0x10",
  // "inf" and "1e9".
  size_t used = 0;
  while (used < text.size() && std::isdigit(static_cast<unsigned char>(text[used])) != 0) ++used;
  if (used > 0 && used + 1 < text.size() && text[used] == '.' &&
      std::isdigit(static_cast<unsigned char>(text[used + 1])) != 0) {
    ++used;
    while (used < text.size() && std::isdigit(static_cast<unsigned char>(text[used])) != 0) ++used;
  }
  double number = 0;
  if (used > 0) number = std::strtod(text.substr(0, used).c_str(), nullptr);
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

// "2/5": the second of five, each from 1 to 100000.
SegmentChoice ParseSegment(const std::string& text, const std::string& option) {
  const size_t slash = text.find('/');
  const auto fail = [&]() {
    return UsageError(option + " '" + text +
                      "': expected I/N, the I-th of N segments, as in 2/5, with I from 1 to N");
  };
  if (slash == std::string::npos) throw fail();
  SegmentChoice choice;
  try {
    choice.index = ParseCount(text.substr(0, slash), option, 1, 100000);
    choice.count = ParseCount(text.substr(slash + 1), option, 1, 100000);
  } catch (const UsageError&) {
    throw fail();
  }
  if (choice.index > choice.count) throw fail();
  return choice;
}

struct CommandShape {
  CommandName command;
  const char* name;
  size_t least_inputs;
  size_t most_inputs;
  const char* inputs;                // what the inputs are, for messages
  std::vector<std::string> options;  // the options it takes (long names)
  std::vector<std::string> needed;   // of those, the ones it needs
};

const CommandShape& ShapeOf(CommandName command) {
  static const std::vector<std::string> kRendering = {
      "--output", "--jobs", "--module", "--strict", "--max-memory", "--set", "--progress"};
  // Rendering a composition to a file: over footage, with its sound, through an encoder.
  static const std::vector<std::string> kOutput = {"--over",   "--no-audio", "--crf",
                                                   "--preset", "--prores",   "--duration"};
  const auto with = [](std::vector<std::string> more) {
    more.insert(more.end(), kRendering.begin(), kRendering.end());
    if (std::find(more.begin(), more.end(), "--columns") == more.end()) {
      for (const std::string& option : kOutput) {
        if (std::find(more.begin(), more.end(), option) == more.end()) more.push_back(option);
      }
    }
    return more;
  };
  static const CommandShape kShapes[] = {
      {CommandName::kRender,
       "render",
       1,
       1,
       "one scene file",
       with({"--frame", "--frames", "--segment"}),
       {"--output"}},
      {CommandName::kSheet,
       "sheet",
       1,
       1,
       "one scene file",
       with({"--frames", "--columns"}),
       {"--output", "--frames"}},
      {CommandName::kCaptions,
       "captions",
       1,
       1,
       "one subtitle file (.srt or .vtt)",
       with({"--style", "--per-line", "--fade", "--duration", "--frames", "--encoding",
             "--max-chars", "--max-lines", "--max-duration", "--pause", "--cues-out", "--segment"}),
       {"--output"}},
      {CommandName::kBatch,
       "batch",
       2,
       2,
       "a template scene and a data file (.csv, .json, .jsonl)",
       with({"--frame", "--frames", "--manifest", "--resume", "--keep-going", "--shard"}),
       {"--output"}},
      {CommandName::kConcat,
       "concat",
       1,
       100000,
       "the segments to join",
       {"--output"},
       {"--output"}},
      {CommandName::kManifestMerge,
       "manifest merge",
       1,
       100000,
       "the shard manifests to merge",
       {"--output"},
       {}},
      {CommandName::kDescribe,
       "describe",
       0,
       1,
       "at most one module or scene",
       {"--module", "--set"},
       {}},
  };
  for (const CommandShape& shape : kShapes) {
    if (shape.command == command) return shape;
  }
  return kShapes[0];
}

// Each command takes only the options that mean something to it.
void CheckFits(const Invocation& invocation, const std::vector<std::string>& given,
               const std::vector<std::string>& positional) {
  const CommandShape& shape = ShapeOf(invocation.command);
  const std::string name = shape.name;
  for (const std::string& option : given) {
    if (std::find(shape.options.begin(), shape.options.end(), option) == shape.options.end()) {
      // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on failure
      throw UsageError(name + " takes no " + option);
    }
  }
  if (positional.size() < shape.least_inputs || positional.size() > shape.most_inputs) {
    throw UsageError(name + " takes " + shape.inputs +
                     (positional.empty() ? "" : ", not " + std::to_string(positional.size())));
  }
  for (const std::string& option : shape.needed) {
    if (std::find(given.begin(), given.end(), option) != given.end()) continue;
    if (option == "--output") throw UsageError(name + " needs -o OUTPUT");
    // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once, on failure
    throw UsageError(name + " needs " + option + (option == "--frames" ? " A-B" : ""));
  }
  if (invocation.frame && invocation.frames) {
    throw UsageError(name + " takes --frame or --frames, not both");
  }
  const size_t from_standard_input =
      std::count(positional.begin(), positional.end(), std::string("-")) +
      (invocation.style == "-" ? 1 : 0);
  if (from_standard_input > 1) throw UsageError("only one input can come from standard input (-)");
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
  std::vector<std::string> given;  // long names of the options given
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
    const auto take_name = [&](std::string& into) {
      into = take_value();
      if (into.empty()) throw UsageError(option + " needs a file name");
    };
    if (option == "-o" || option == "--output") {
      take_name(invocation.output);
      option = "--output";
    } else if (option == "-s" || option == "--style") {
      take_name(invocation.style);
      option = "--style";
    } else if (option == "--frame") {
      invocation.frame = ParseFrameNumber(take_value(), option);
    } else if (option == "--frames") {
      invocation.frames = ParseFrameRange(take_value(), option);
    } else if (option == "--segment") {
      invocation.segment = ParseSegment(take_value(), option);
    } else if (option == "--jobs" || option == "-j") {
      invocation.jobs = ParseCount(take_value(), option, 1, 256);
      option = "--jobs";
    } else if (option == "--columns") {
      invocation.columns = ParseCount(take_value(), option, 1, 1000);
    } else if (option == "--module") {
      invocation.module = take_value();
    } else if (option == "--max-memory") {
      invocation.max_memory = ParseByteSize(take_value(), option);
    } else if (option == "--set") {
      invocation.overrides.push_back(ParseSceneOverride(take_value()));
    } else if (option == "--fade") {
      invocation.fade_seconds = ParseSeconds(take_value(), option, 0, 60);
    } else if (option == "--encoding") {
      invocation.encoding = take_value();
    } else if (option == "--duration") {
      invocation.duration_seconds = ParseSeconds(take_value(), option, 0.001, 86400);
    } else if (option == "--max-chars") {
      invocation.max_chars = ParseCount(take_value(), option, 1, 1000);
    } else if (option == "--max-lines") {
      invocation.max_lines = ParseCount(take_value(), option, 1, 10);
    } else if (option == "--max-duration") {
      invocation.max_duration = ParseSeconds(take_value(), option, 0.1, 3600);
    } else if (option == "--pause") {
      invocation.pause = ParseSeconds(take_value(), option, 0, 60);
    } else if (option == "--cues-out") {
      take_name(invocation.cues_out);
    } else if (option == "--manifest") {
      take_name(invocation.manifest);
    } else if (option == "--shard") {
      invocation.shard = take_value();
    } else if (option == "--progress") {
      const std::string format = take_value();
      if (format != "json" && format != "bar") {
        throw UsageError("--progress '" + format + "': expected json (or bar, the default)");
      }
      invocation.progress_json = format == "json";
    } else if (option == "--over") {
      take_name(invocation.over);
    } else if (option == "--crf") {
      invocation.crf = ParseCount(take_value(), option, 0, 63);
    } else if (option == "--preset") {
      invocation.preset = take_value();
    } else if (option == "--prores") {
      invocation.prores = take_value();
      if (invocation.prores != "422hq" && invocation.prores != "4444") {
        throw UsageError("--prores '" + invocation.prores + "': expected 422hq or 4444");
      }
    } else if ((option == "--strict" || option == "--per-line" || option == "--no-audio" ||
                option == "--resume" || option == "--keep-going") &&
               !value) {
      invocation.resume = invocation.resume || option == "--resume";
      invocation.keep_going = invocation.keep_going || option == "--keep-going";
      invocation.strict = invocation.strict || option == "--strict";
      invocation.per_line = invocation.per_line || option == "--per-line";
      invocation.no_audio = invocation.no_audio || option == "--no-audio";
    } else if (option.size() > 1 && option[0] == '-') {
      throw UsageError(
          "unknown option '" + option + "'" +
          SuggestionOr(
              option, {"--output",    "--style",        "--frame",    "--frames",     "--jobs",
                       "--columns",   "--module",       "--strict",   "--max-memory", "--set",
                       "--per-line",  "--fade",         "--encoding", "--duration",   "--over",
                       "--no-audio",  "--crf",          "--preset",   "--prores",     "--max-chars",
                       "--max-lines", "--max-duration", "--pause",    "--cues-out",   "--manifest",
                       "--resume",    "--keep-going",   "--shard",    "--progress",   "--segment"},
              ""));
    } else {
      positional.push_back(option);
      continue;
    }
    given.push_back(option);
  }
  // "manifest merge A B": the word after the command is part of it.
  if (invocation.command == CommandName::kManifestMerge) {
    if (positional.empty() || positional.front() != "merge") {
      throw UsageError("manifest takes merge and the shard manifests, as in manifest merge " +
                       std::string("a.jsonl b.jsonl -o all.jsonl"));
    }
    positional.erase(positional.begin());
  }
  CheckFits(invocation, given, positional);
  if (invocation.resume && invocation.manifest.empty()) {
    throw UsageError("--resume reads what was done from --manifest FILE; name it");
  }
  switch (invocation.command) {
    case CommandName::kDescribe: {
      const bool scene = !positional.empty() &&
                         ((positional[0].size() > 5 &&
                           positional[0].compare(positional[0].size() - 5, 5, ".json") == 0) ||
                          IsStandardInput(positional[0]));
      if (scene) {
        invocation.scene = positional[0];
      } else if (!positional.empty()) {
        if (!invocation.module.empty()) {
          throw UsageError("describe takes the module as an argument or with --module, not both");
        }
        invocation.module = positional[0];
      }
      break;
    }
    case CommandName::kCaptions:
      invocation.subtitles = positional[0];
      break;
    case CommandName::kBatch:
      invocation.scene = positional[0];
      invocation.data = positional[1];
      break;
    case CommandName::kConcat:
      invocation.segments = positional;
      break;
    case CommandName::kManifestMerge:
      invocation.manifests = positional;
      break;
    default:
      invocation.scene = positional[0];
      break;
  }
  return invocation;
}

}  // namespace quorvel::cli
