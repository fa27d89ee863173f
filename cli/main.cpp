// SPDX-License-Identifier: MIT
// quorvel-render: renders scene files through the Quorvel module on the headless host.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/interrupt.h"

int main(int argc, char** argv) {
  quorvel::cli::InstallInterruptHandlers();
  const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  quorvel::cli::Console console{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  return quorvel::cli::RunCli(arguments, console);
}
