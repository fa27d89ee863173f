// SPDX-License-Identifier: MIT
// What the composition library throws, each told to the user as one message.
#pragma once

#include <stdexcept>

namespace quorvel::compose {

// Input that cannot be used (a scene, style, template, data or subtitle file); the message names
// the file and the place in it.
class SceneError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A render that cannot be carried out: a module or an effect's set-up that fails, a frame the
// plug-in fails, an output that cannot be written.
class RenderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A value given on a command line (an output name, a --set path) that does not say what to do;
// a command line shows its usage after the message.
class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A stop asked for (Ctrl-C, SIGTERM) while input was being read or checked.
class Interrupted : public std::runtime_error {
 public:
  Interrupted() : std::runtime_error("interrupted") {}
};

}  // namespace quorvel::compose
