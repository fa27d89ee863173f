// SPDX-License-Identifier: MIT
// Failures of a command, told to the user in one message.
#pragma once

#include "compose/errors.h"

namespace quorvel::cli {

// A command that cannot be carried out; the message says what and why.
using CliError = compose::RenderError;

// A command line that does not say what to do; the usage is shown after the message.
class UsageError : public compose::ArgumentError {
 public:
  using compose::ArgumentError::ArgumentError;
};

using compose::Interrupted;

}  // namespace quorvel::cli
