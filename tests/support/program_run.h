// SPDX-License-Identifier: MIT
// Running a command line from tests as a user runs it: words quoted for the shell, standard
// output and error captured in files, standard input empty.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quorvel::test {

struct ProgramRun {
  int exit_code = -1;  // 128 + the signal for a program a signal ended
  std::string out;
  std::string err;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A word for the shell, quoted.
inline std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs `command` with sh, its output streams captured in `folder`'s "stdout" and "stderr".
inline ProgramRun RunCaptured(const std::string& command, const std::filesystem::path& folder) {
  const int status = std::system((command + " > " + Quoted((folder / "stdout").string()) + " 2> " +
                                  Quoted((folder / "stderr").string()) + " < /dev/null")
                                     .c_str());
  ProgramRun run;
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.exit_code = 128 + WTERMSIG(status);
  run.out = ReadBytes(folder / "stdout");
  run.err = ReadBytes(folder / "stderr");
  return run;
}

}  // namespace quorvel::test
