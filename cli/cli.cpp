// SPDX-License-Identifier: MIT
#include "cli/cli.h"

#include <exception>
#include <new>

#include "cli/arguments.h"
#include "cli/cli_error.h"
#include "cli/commands/batch_command.h"
#include "cli/commands/captions_command.h"
#include "cli/commands/concat_command.h"
#include "cli/commands/describe_command.h"
#include "cli/commands/manifest_command.h"
#include "cli/commands/render_command.h"
#include "cli/commands/sheet_command.h"

namespace quorvel::cli {

int RunCli(const std::vector<std::string>& arguments, Console& console) {
  try {
    const Invocation invocation = ParseArguments(arguments);
    switch (invocation.command) {
      case CommandName::kRender:
        return RunRender(invocation, console);
      case CommandName::kSheet:
        return RunSheet(invocation, console);
      case CommandName::kDescribe:
        return RunDescribe(invocation, console);
      case CommandName::kCaptions:
        return RunCaptions(invocation, console);
      case CommandName::kBatch:
        return RunBatch(invocation, console);
      case CommandName::kConcat:
        return RunConcat(invocation, console);
      case CommandName::kManifestMerge:
        return RunManifestMerge(invocation, console);
      case CommandName::kHelp:
        console.out << kUsage;
        return kExitSuccess;
      case CommandName::kVersion:
        console.out << "quorvel-render " << QUORVEL_VERSION << "\n";
        return kExitSuccess;
    }
  } catch (const Interrupted&) {
    console.err << "quorvel-render: interrupted before any frame was rendered\n";
    return kExitInterrupted;
  } catch (const compose::ArgumentError& error) {
    // The command line's own mistakes, and values it gave that say nothing usable.
    console.err << "quorvel-render: " << error.what() << "\n\n" << kUsage;
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    console.err << "quorvel-render: out of memory\n";
    return kExitFailure;
  } catch (const std::exception& error) {
    // Scene, module and command errors carry the whole message, place included.
    console.err << "quorvel-render: " << error.what() << "\n";
    return kExitFailure;
  }
  return kExitFailure;
}

}  // namespace quorvel::cli
