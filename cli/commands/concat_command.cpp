// SPDX-License-Identifier: MIT
#include "cli/commands/concat_command.h"

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_error.h"
#include "cli/console.h"
#include "cli/interrupt.h"
#include "cli/output_path.h"
#include "compose/render/output_pattern.h"
#include "media/video/video_join.h"

namespace quorvel::cli {

int RunConcat(const Invocation& invocation, Console& console) {
  const std::filesystem::path output(invocation.output);
  if (!OutputFormatOf(invocation.output)) {
    throw UsageError("concat -o '" + invocation.output + "': name a video (.mov, .webm, .mp4)");
  }
  // Packets are copied as they are: a codec one container holds may not go into another.
  std::vector<std::filesystem::path> segments;
  for (const std::string& name : invocation.segments) {
    const std::filesystem::path segment(name);
    if (OutputFormatOf(name) != OutputFormatOf(invocation.output)) {
      throw UsageError("concat: '" + name + "' is not a " + output.extension().string() +
                       " video like -o '" + invocation.output + "'");
    }
    segments.push_back(segment);
  }
  const media::OutputTarget target = compose::CheckedOutput(output);
  const media::LibraryMessageSink messages = [&console](const std::string& line) {
    console.err << "quorvel-render: " << line << "\n";
  };
  if (const media::FileStatus joined = media::JoinVideos(segments, target, messages); !joined) {
    if (StopRequested()) throw Interrupted();
    throw CliError(joined.message);
  }
  console.out << "joined " << segments.size() << " segments into " << output.string() << "\n";
  return kExitSuccess;
}

}  // namespace quorvel::cli
