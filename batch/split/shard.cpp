// SPDX-License-Identifier: MIT
#include "batch/split/shard.h"

#include <cstdlib>
#include <vector>

#include "compose/errors.h"

namespace quorvel::batch {

using compose::ArgumentError;

namespace {

constexpr size_t kMostShards = 1000000;

// Decimal digits only, below kMostShards * 1000 (Slurm's ids need not start at 0).
std::optional<size_t> WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  size_t number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<size_t>(c - '0');
  }
  return number;
}

size_t NumberVariable(const Environment& environment, const std::string& name,
                      const std::string& option) {
  const std::optional<std::string> value = environment(name);
  if (!value) throw ArgumentError(option + ": " + name + " is not set");
  const std::optional<size_t> number = WholeNumber(*value);
  if (!number) throw ArgumentError(option + ": " + name + "='" + *value + "' is not a number");
  return *number;
}

struct ArrayIndex {
  std::string variable;  // what it was read from, for messages
  size_t index;          // from 0
};

// The array index of each scheduler whose variable is set.
std::vector<ArrayIndex> ArrayIndexes(const Environment& environment, const std::string& option) {
  std::vector<ArrayIndex> found;
  for (const char* name : {"JOB_COMPLETION_INDEX", "AWS_BATCH_JOB_ARRAY_INDEX"}) {
    if (environment(name)) found.push_back({name, NumberVariable(environment, name, option)});
  }
  if (environment("SLURM_ARRAY_TASK_ID")) {
    const size_t id = NumberVariable(environment, "SLURM_ARRAY_TASK_ID", option);
    const size_t first = NumberVariable(environment, "SLURM_ARRAY_TASK_MIN", option);
    const size_t step = environment("SLURM_ARRAY_TASK_STEP")
                            ? NumberVariable(environment, "SLURM_ARRAY_TASK_STEP", option)
                            : 1;
    if (id < first || step == 0 || (id - first) % step != 0) {
      throw ArgumentError(option + ": SLURM_ARRAY_TASK_ID=" + std::to_string(id) +
                          " is not a task of the array from SLURM_ARRAY_TASK_MIN=" +
                          std::to_string(first) + " in steps of " + std::to_string(step));
    }
    found.push_back({"SLURM_ARRAY_TASK_ID", (id - first) / step});
  }
  return found;
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

Shard ParseShard(const std::string& text, const Environment& environment) {
  const std::string option = "--shard " + text;
  const size_t slash = text.find('/');
  const std::string first = text.substr(0, slash);
  // 0: not given ("auto" alone)
  const size_t count =
      slash == std::string::npos ? 0 : WholeNumber(text.substr(slash + 1)).value_or(0);
  if ((slash != std::string::npos && (count == 0 || count > kMostShards)) ||
      (slash == std::string::npos && first != "auto")) {
    throw ArgumentError(option + ": expected I/N (shard I of N, from 1), auto/N or auto");
  }
  if (first != "auto") {
    const std::optional<size_t> index = WholeNumber(first);
    if (!index || *index == 0 || *index > count) {
      throw ArgumentError(option + ": the shard is a number from 1 to " + std::to_string(count));
    }
    return {*index - 1, count};
  }

  Shard shard;
  if (environment("SLURM_ARRAY_TASK_COUNT")) {
    const size_t tasks = NumberVariable(environment, "SLURM_ARRAY_TASK_COUNT", option);
    if (count != 0 && count != tasks) {
      throw ArgumentError(option + ": SLURM_ARRAY_TASK_COUNT=" + std::to_string(tasks) +
                          " tasks for " + std::to_string(count) + " shards");
    }
    shard.count = tasks;
  } else if (count != 0) {
    shard.count = count;
  } else {
    throw ArgumentError(option + ": SLURM_ARRAY_TASK_COUNT is not set; outside a Slurm array " +
                        "give the number of shards, as in --shard auto/4");
  }
  if (shard.count == 0 || shard.count > kMostShards) {
    throw ArgumentError(option + ": SLURM_ARRAY_TASK_COUNT=" + std::to_string(shard.count) +
                        " is no number of shards");
  }
  const std::vector<ArrayIndex> indexes = ArrayIndexes(environment, option);
  if (indexes.empty()) {
    throw ArgumentError(option + ": no array index is set (JOB_COMPLETION_INDEX, " +
                        "SLURM_ARRAY_TASK_ID or AWS_BATCH_JOB_ARRAY_INDEX); outside an array " +
                        "job give the shard, as in --shard 1/" + std::to_string(shard.count));
  }
  for (const ArrayIndex& other : indexes) {
    if (other.index != indexes.front().index) {
      throw ArgumentError(option + ": " + indexes.front().variable + " and " + other.variable +
                          " give different array indexes (" +
                          std::to_string(indexes.front().index) + " and " +
                          std::to_string(other.index) + ")");
    }
  }
  shard.index = indexes.front().index;
  if (shard.index >= shard.count) {
    throw ArgumentError(option + ": " + indexes.front().variable + " gives array index " +
                        std::to_string(shard.index) + ", past the " + std::to_string(shard.count) +
                        " shards (indexes 0 to " + std::to_string(shard.count - 1) + ")");
  }
  return shard;
}

std::string ManifestNameForShard(const std::string& name, const Shard& shard) {
  const std::string field = "{shard}";
  const size_t at = name.find(field);
  if (at == std::string::npos) {
    if (shard.count == 1) return name;
    throw ArgumentError("--manifest " + name + ": each shard writes its own manifest; put " +
                        "{shard} in its name, as in manifest-{shard}.jsonl");
  }
  return name.substr(0, at) + std::to_string(shard.index + 1) + name.substr(at + field.size());
}

}  // namespace quorvel::batch
