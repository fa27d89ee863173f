// SPDX-License-Identifier: MIT
// Failures of a command, told to the user in one message.
#pragma once

#include <stdexcept>

namespace quorvel::cli {

// A command that cannot be carried out; the message says what and why.
class CliError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A command line that does not say what to do; the usage is shown after the message.
class UsageError : public CliError {
 public:
  using CliError::CliError;
};

// A stop asked for (Ctrl-C, SIGTERM) while the command was still reading or checking its input.
class Interrupted : public CliError {
 public:
  Interrupted() : CliError("interrupted") {}
};

}  // namespace quorvel::cli
