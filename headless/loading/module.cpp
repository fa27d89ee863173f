// SPDX-License-Identifier: MIT
#include "headless/loading/module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace quorvel::headless {
namespace {

// A PiPL is a few hundred bytes; anything far larger is not one.
constexpr std::uintmax_t kMaxPiplBytes = 1 << 20;

// The library's own functions, one place per platform.
#if defined(_WIN32)
constexpr int kPiplResourceId = 16000;

std::wstring Utf16(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length)
                                                     : "error " + std::to_string(code);
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

void* OpenLibrary(const std::string& path, std::string& error) {
  // The altered search path finds the module's own neighbours first, as a host loads it.
  HMODULE library = LoadLibraryExW(Utf16(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr) error = LastErrorText();
  return reinterpret_cast<void*>(library);
}

void* FindSymbol(void* library, const std::string& name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}

void CloseLibrary(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}

// A Windows module carries its PiPL as resource 16000 of type "PiPL".
PiplInfo ReadLoadedModulePipl(void* library, const std::string& module_path) {
  const auto module = static_cast<HMODULE>(library);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(kPiplResourceId), L"PiPL");
  if (resource == nullptr) {
    throw ModuleError(module_path + ": no PiPL: it has no PiPL resource " +
                      std::to_string(kPiplResourceId));
  }
  const DWORD size = SizeofResource(module, resource);
  HGLOBAL loaded = LoadResource(module, resource);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr || size == 0) {
    throw ModuleError(module_path + ": no PiPL: its PiPL resource cannot be loaded (" +
                      LastErrorText() + ")");
  }
  if (size > kMaxPiplBytes) {
    throw ModuleError(module_path + ": malformed PiPL resource: " + std::to_string(size) +
                      " bytes is too large for a property list");
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  try {
    return ParsePipl(std::vector<uint8_t>(bytes, bytes + size));
  } catch (const PiplError& pipl_error) {
    throw ModuleError(module_path + ": malformed PiPL resource: " + pipl_error.what());
  }
}
#else
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

// A Linux module has its PiPL in the sidecar file beside it.
PiplInfo ReadLoadedModulePipl(void* /*library*/, const std::string& module_path) {
  return ReadModulePipl(module_path);
}
#endif

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
    pipl_ = ReadLoadedModulePipl(library_, path);
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
