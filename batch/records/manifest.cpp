// SPDX-License-Identifier: MIT
#include "batch/records/manifest.h"

#include <fcntl.h>
#include <sys/stat.h>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

#include "batch/records/sha256.h"
#include "compose/errors.h"

namespace quorvel::batch {

using compose::Json;

namespace {

#if defined(_WIN32)
int OpenForAppending(const std::filesystem::path& path) {
  return _wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long WriteSome(int descriptor, const char* data, size_t size) {
  return _write(descriptor, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}
int Sync(int descriptor) {
  return _commit(descriptor);
}
int Close(int descriptor) {
  return _close(descriptor);
}
// Windows makes a new name lasting with the file's own flush.
void SyncFolder(const std::filesystem::path&) {}
#else
int OpenForAppending(const std::filesystem::path& path) {
  return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
}
long WriteSome(int descriptor, const char* data, size_t size) {
  return static_cast<long>(write(descriptor, data, size));
}
int Sync(int descriptor) {
  return fsync(descriptor);
}
int Close(int descriptor) {
  return close(descriptor);
}
// A new file's name lasts through a crash of the machine only once its folder is synced.
void SyncFolder(const std::filesystem::path& folder) {
  const int descriptor =
      open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  fsync(descriptor);
  close(descriptor);
}
#endif

std::string ReadWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whole numbers are read only as such: converting a fraction or a negative number to an unsigned
// type would be undefined.
uint64_t Count(const Json& line, const char* key) {
  const Json& value = line.at(key);
  if (!value.is_number_unsigned()) {
    throw compose::SceneError(std::string(key) + " is " + compose::Shown(value) +
                              ", not a whole number");
  }
  return value.get<uint64_t>();
}

ManifestEntry EntryOf(const Json& line) {
  ManifestEntry entry;
  entry.row = static_cast<size_t>(Count(line, "row"));
  entry.rows = static_cast<size_t>(Count(line, "rows"));
  entry.values = line.at("values");
  entry.output = line.at("output").get<std::string>();
  const std::string status = line.at("status").get<std::string>();
  if (status != "done" && status != "failed") {
    throw compose::SceneError("status '" + status + "' is neither done nor failed");
  }
  entry.done = status == "done";
  if (entry.row == 0 || entry.row > entry.rows || !entry.values.is_object()) {
    throw compose::SceneError("row " + std::to_string(entry.row) + " of " +
                              std::to_string(entry.rows) + " is no row of the data");
  }
  if (entry.done) {
    entry.frames = static_cast<int64_t>(std::min<uint64_t>(Count(line, "frames"), INT64_MAX));
    if (!line.at("seconds").is_number()) throw compose::SceneError("seconds is not a number");
    entry.seconds = line.at("seconds").get<double>();
    entry.bytes = Count(line, "bytes");
    entry.sha256 = line.at("sha256").get<std::string>();
  } else {
    entry.message = line.at("message").get<std::string>();
  }
  return entry;
}

}  // namespace

Json RowValues(const DataTable& table, size_t row) {
  Json values = Json::object();
  for (size_t c = 0; c < table.columns.size(); ++c) {
    values[table.columns[c]] = table.rows[row].values[c];
  }
  return values;
}

std::string ManifestLine(const ManifestEntry& entry) {
  Json line = {{"row", entry.row},
               {"rows", entry.rows},
               {"values", entry.values},
               {"output", entry.output},
               {"status", entry.done ? "done" : "failed"}};
  if (entry.done) {
    line["frames"] = entry.frames;
    // Milliseconds are all a reader of timings needs; more would only make lines differ.
    line["seconds"] = std::round(entry.seconds * 1000) / 1000;
    line["bytes"] = entry.bytes;
    line["sha256"] = entry.sha256;
  } else {
    line["message"] = entry.message;
  }
  // Bytes that are not UTF-8 (a CSV value) are written as U+FFFD rather than refused.
  return line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::vector<ManifestEntry> ParseManifest(const std::string& text, const std::string& file) {
  std::vector<ManifestEntry> entries;
  size_t line = 1;
  for (size_t at = 0; at < text.size(); ++line) {
    const size_t end = text.find('\n', at);
    if (end == std::string::npos) break;  // unfinished: its file was never recorded as done
    const std::string content = text.substr(at, end - at);
    at = end + 1;
    if (content.find_first_not_of(" \t\r") == std::string::npos) continue;
    const std::string place = file + ":" + std::to_string(line);
    const Json parsed = compose::ParseJsonText(content, place);
    try {
      entries.push_back(EntryOf(parsed));
    } catch (const std::exception& error) {
      throw compose::SceneError(place + ": not a line of a batch manifest: " + error.what());
    }
  }
  return entries;
}

std::map<size_t, ManifestEntry> LatestByRow(const std::vector<ManifestEntry>& entries) {
  std::map<size_t, ManifestEntry> latest;
  for (const ManifestEntry& entry : entries) latest[entry.row] = entry;
  return latest;
}

bool StillDone(const ManifestEntry& entry, const Json& values, const std::string& output) {
  if (!entry.done || entry.values != values || entry.output != output) return false;
  std::error_code error;
  // The size first: a changed file is found without reading it.
  if (std::filesystem::file_size(output, error) != entry.bytes || error) return false;
  const std::optional<FileDigest> digest = DigestOfFile(output);
  return digest && digest->bytes == entry.bytes && digest->sha256 == entry.sha256;
}

ManifestWriter::ManifestWriter(const std::filesystem::path& path) : path_(path) {
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error);
  if (existed) {
    const std::string text = ReadWhole(path);
    if (!text.empty() && text.back() != '\n') {
      const size_t last = text.rfind('\n');
      std::filesystem::resize_file(path, last == std::string::npos ? 0 : last + 1, error);
      if (error) {
        throw compose::RenderError("cannot write manifest " + path.string() + ": " +
                                   error.message());
      }
    }
  } else if (path.has_parent_path()) {
    std::filesystem::create_directories(path.parent_path(), error);
  }
  descriptor_ = OpenForAppending(path);
  if (descriptor_ < 0) {
    throw compose::RenderError("cannot write manifest " + path.string() + ": " +
                               std::strerror(errno));
  }
  if (!existed) SyncFolder(path.parent_path());
}

ManifestWriter::~ManifestWriter() {
  if (descriptor_ >= 0) Close(descriptor_);
}

void ManifestWriter::Append(const ManifestEntry& entry) {
  const std::string line = ManifestLine(entry);
  const std::lock_guard<std::mutex> lock(mutex_);
  size_t written = 0;
  while (written < line.size()) {
    const long wrote = WriteSome(descriptor_, line.data() + written, line.size() - written);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      throw compose::RenderError("cannot write manifest " + path_.string() + ": " +
                                 std::strerror(errno));
    }
    written += static_cast<size_t>(wrote);
  }
  if (Sync(descriptor_) != 0) {
    throw compose::RenderError("cannot sync manifest " + path_.string() + ": " +
                               std::strerror(errno));
  }
}

}  // namespace quorvel::batch
