// SPDX-License-Identifier: MIT
// Shards of a batch: the I-th of N workers renders the rows whose number k (from 0) has
// k mod N = I - 1, a fixed assignment, so that no two workers ever take the same row. A worker
// of a cluster scheduler's array job finds I in the index the scheduler gives it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace quorvel::batch {

struct Shard {
  size_t index = 0;  // from 0
  size_t count = 1;

  bool Takes(size_t row) const { return row % count == index; }
  // "2/3", as --shard names it.
  std::string Name() const { return std::to_string(index + 1) + "/" + std::to_string(count); }
};

// The value of an environment variable, if set.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;
// The process's own environment.
std::optional<std::string> ProcessEnvironment(const std::string& name);

// --shard's value: "I/N" with 1 <= I <= N; "auto/N", I taken from the array index of Kubernetes
// Indexed Jobs (JOB_COMPLETION_INDEX), Slurm job arrays (SLURM_ARRAY_TASK_ID counted from
// SLURM_ARRAY_TASK_MIN in steps of SLURM_ARRAY_TASK_STEP) or AWS Batch array jobs
// (AWS_BATCH_JOB_ARRAY_INDEX); "auto", N too from SLURM_ARRAY_TASK_COUNT. An ArgumentError names
// the variable that is missing, not a number or at odds with another or with N.
Shard ParseShard(const std::string& text, const Environment& environment);

// A shard's own manifest name: "{shard}" in `name` becomes the shard's number (from 1). Two
// shards of more than one must not append to one file (on a shared volume their lines could
// interleave): an ArgumentError when the name lacks it.
std::string ManifestNameForShard(const std::string& name, const Shard& shard);

}  // namespace quorvel::batch
