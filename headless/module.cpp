// SPDX-License-Identifier: MIT
#include "headless/module.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace quorvel::headless {
namespace {

// A PiPL is a few hundred bytes; anything far larger is not one.
constexpr std::uintmax_t kMaxPiplBytes = 1 << 20;

// The library's own functions, one place per platform. Only the POSIX loader exists so far;
// a Windows build adds LoadLibrary, GetProcAddress and FreeLibrary here and reads the PiPL
// from the module's resource instead of the sidecar.
void* OpenLibrary(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    error = reason != nullptr ? reason : "unknown reason";
  }
  return library;
}

void* FindSymbol(void* library, const std::string& name) {
  return dlsym(library, name.c_str());
}

void CloseLibrary(void* library) {
  dlclose(library);
}

}  // namespace

std::string SidecarPiplPath(const std::string& module_path) {
  return std::filesystem::path(module_path).replace_extension(".pipl").string();
}

PiplInfo ReadModulePipl(const std::string& module_path) {
  const std::string sidecar = SidecarPiplPath(module_path);
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(sidecar, error);
  if (error) {
    throw ModuleError(module_path + ": no PiPL: cannot read " + sidecar + " (" + error.message() +
                      ")");
  }
  if (size > kMaxPiplBytes) {
    throw ModuleError(module_path + ": malformed PiPL " + sidecar + ": " + std::to_string(size) +
                      " bytes is too large for a property list");
  }
  std::ifstream file(sidecar, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (!file.good() && !file.eof()) {
    throw ModuleError(module_path + ": no PiPL: cannot read " + sidecar);
  }
  try {
    return ParsePipl(bytes);
  } catch (const PiplError& pipl_error) {
    throw ModuleError(module_path + ": malformed PiPL " + sidecar + ": " + pipl_error.what());
  }
}

Module::Module(const std::string& path) : path_(path) {
  std::string error;
  library_ = OpenLibrary(path, error);
  if (library_ == nullptr) throw ModuleError(path + ": not a loadable library: " + error);
  try {
    pipl_ = ReadModulePipl(path);
    if (pipl_.kind != kPiplKindEffect) {
      throw ModuleError(path + ": not an effect: its PiPL kind is '" + FourCharText(pipl_.kind) +
                        "', expected 'eFKT'");
    }
    if (pipl_.entry_point.empty()) {
      throw ModuleError(path + ": its PiPL names no x86-64 entry point ('8664')");
    }
    void* symbol = FindSymbol(library_, pipl_.entry_point);
    if (symbol == nullptr) {
      throw ModuleError(path + ": the entry point \"" + pipl_.entry_point +
                        "\" that its PiPL names is not exported");
    }
    entry_point_ = reinterpret_cast<PF_FilterProc>(symbol);
  } catch (...) {
    Close();
    throw;
  }
}

Module::~Module() {
  Close();
}

Module::Module(Module&& other) noexcept
    : path_(std::move(other.path_)),
      pipl_(std::move(other.pipl_)),
      library_(std::exchange(other.library_, nullptr)),
      entry_point_(std::exchange(other.entry_point_, nullptr)) {}

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    Close();
    path_ = std::move(other.path_);
    pipl_ = std::move(other.pipl_);
    library_ = std::exchange(other.library_, nullptr);
    entry_point_ = std::exchange(other.entry_point_, nullptr);
  }
  return *this;
}

void Module::Close() {
  if (library_ != nullptr) CloseLibrary(library_);
  library_ = nullptr;
  entry_point_ = nullptr;
}

}  // namespace quorvel::headless
