// SPDX-License-Identifier: MIT
// A plug-in module, loaded the way a host loads it: the library, its PiPL, its entry point.
#pragma once

#include <stdexcept>
#include <string>

#include "headless/loading/pipl_reader.h"
#include "hostapi/host_api.h"

namespace quorvel::headless {

// A module that cannot be used as an effect; the message names the file and the reason.
class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The PiPL of a Linux module: the sidecar file next to it ("Quorvel.so" -> "Quorvel.pipl").
// Throws ModuleError when it is missing or malformed. (A Windows module carries its PiPL as
// resource 16000, which Module reads once the library is loaded.)
std::string SidecarPiplPath(const std::string& module_path);
PiplInfo ReadModulePipl(const std::string& module_path);

// The library stays loaded for the life of the object.
class Module {
 public:
  // Opens the library, reads and checks its PiPL (an effect, naming an x86-64 entry point)
  // and resolves that entry point. Throws ModuleError.
  explicit Module(const std::string& path);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  Module(Module&& other) noexcept;
  Module& operator=(Module&& other) noexcept;

  const std::string& path() const { return path_; }
  const PiplInfo& pipl() const { return pipl_; }
  PF_FilterProc entry_point() const { return entry_point_; }

 private:
  void Close();

  std::string path_;
  PiplInfo pipl_;
  void* library_ = nullptr;
  PF_FilterProc entry_point_ = nullptr;
};

}  // namespace quorvel::headless
