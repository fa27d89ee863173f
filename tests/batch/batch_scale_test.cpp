// SPDX-License-Identifier: MIT
// What a batch at scale keeps and reads: the SHA-256 of each file, the manifest's lines and their
// merge across shards, and the shard a scheduler's array index names.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "batch/records/manifest.h"
#include "batch/records/manifest_merge.h"
#include "batch/records/sha256.h"
#include "batch/split/shard.h"
#include "compose/errors.h"

namespace quorvel::batch {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

std::string ErrorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& error) {
    return error.what();
  }
  return "no error";
}

std::string Digest(const std::string& text, size_t piece) {
  Sha256 sha;
  for (size_t at = 0; at < text.size(); at += piece) {
    sha.Add(text.data() + at, std::min(piece, text.size() - at));
  }
  return sha.HexDigest();
}

// The examples of FIPS 180-4 (and its one million a's), fed whole and in uneven pieces that cross
// the 64-byte blocks.
TEST(Sha256, GivesTheStandardsDigestsHoweverTheBytesArrive) {
  const std::pair<std::string, const char*> examples[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [text, digest] : examples) {
    for (const size_t piece : {size_t{1000000}, size_t{1}, size_t{63}, size_t{65}}) {
      if (piece == 1 && text.size() > 1000) continue;
      EXPECT_EQ(Digest(text, piece), digest) << text.size() << " bytes in pieces of " << piece;
    }
  }
  const fs::path file = fs::temp_directory_path() / "quorvel_sha256_test.bin";
  std::ofstream(file, std::ios::binary) << "abc";
  const std::optional<FileDigest> of_file = DigestOfFile(file);
  ASSERT_TRUE(of_file);
  EXPECT_EQ(of_file->bytes, 3u);
  EXPECT_EQ(of_file->sha256, examples[1].second);
  fs::remove(file);
  EXPECT_FALSE(DigestOfFile(file));
}

using Variables = std::map<std::string, std::string>;

Environment From(const Variables& variables) {
  return [variables](const std::string& name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

// The second of three workers, as each scheduler tells it so.
TEST(Shard, FindsTheWorkerInEachSchedulersArrayIndex) {
  const struct {
    const char* text;
    Variables variables;
  } second_of_three[] = {
      {"2/3", {}},
      {"auto/3", {{"JOB_COMPLETION_INDEX", "1"}}},
      {"auto/3", {{"AWS_BATCH_JOB_ARRAY_INDEX", "1"}}},
      {"auto/3", {{"SLURM_ARRAY_TASK_ID", "8"}, {"SLURM_ARRAY_TASK_MIN", "7"}}},
      {"auto",
       {{"SLURM_ARRAY_TASK_ID", "1"},
        {"SLURM_ARRAY_TASK_MIN", "0"},
        {"SLURM_ARRAY_TASK_COUNT", "3"}}},
      {"auto",
       {{"SLURM_ARRAY_TASK_ID", "12"},
        {"SLURM_ARRAY_TASK_MIN", "10"},
        {"SLURM_ARRAY_TASK_STEP", "2"},
        {"SLURM_ARRAY_TASK_COUNT", "3"}}},
      {"auto/3", {{"JOB_COMPLETION_INDEX", "1"}, {"AWS_BATCH_JOB_ARRAY_INDEX", "1"}}},
  };
  for (const auto& given : second_of_three) {
    const Shard shard = ParseShard(given.text, From(given.variables));
    EXPECT_EQ(shard.index, 1u) << given.text;
    EXPECT_EQ(shard.count, 3u) << given.text;
  }
  const Shard shard = ParseShard("2/3", From({}));
  std::vector<size_t> taken;
  for (size_t row = 0; row < 8; ++row) {
    if (shard.Takes(row)) taken.push_back(row);
  }
  EXPECT_EQ(taken, (std::vector<size_t>{1, 4, 7}));
  EXPECT_EQ(ManifestNameForShard("out/m-{shard}.jsonl", shard), "out/m-2.jsonl");
  EXPECT_THAT(ErrorOf([&] { ManifestNameForShard("out/m.jsonl", shard); }),
              HasSubstr("put {shard} in its name"));
  EXPECT_EQ(ManifestNameForShard("out/m.jsonl", ParseShard("1/1", From({}))), "out/m.jsonl");
}

TEST(Shard, RefusesMissingOrInconsistentVariablesNamingThem) {
  const struct {
    const char* text;
    Variables variables;
    const char* message;
  } refused[] = {
      {"0/3", {}, "the shard is a number from 1 to 3"},
      {"4/3", {}, "the shard is a number from 1 to 3"},
      {"2/0", {}, "expected I/N"},
      {"2", {}, "expected I/N"},
      {"auto/3", {}, "no array index is set (JOB_COMPLETION_INDEX"},
      {"auto", {{"JOB_COMPLETION_INDEX", "1"}}, "SLURM_ARRAY_TASK_COUNT is not set"},
      {"auto/3", {{"JOB_COMPLETION_INDEX", "one"}}, "JOB_COMPLETION_INDEX='one' is not a number"},
      {"auto/3", {{"JOB_COMPLETION_INDEX", "3"}}, "JOB_COMPLETION_INDEX gives array index 3, past"},
      {"auto/3", {{"SLURM_ARRAY_TASK_ID", "1"}}, "SLURM_ARRAY_TASK_MIN is not set"},
      {"auto/3",
       {{"SLURM_ARRAY_TASK_ID", "1"},
        {"SLURM_ARRAY_TASK_MIN", "0"},
        {"SLURM_ARRAY_TASK_COUNT", "4"}},
       "SLURM_ARRAY_TASK_COUNT=4 tasks for 3 shards"},
      {"auto/3",
       {{"JOB_COMPLETION_INDEX", "1"}, {"AWS_BATCH_JOB_ARRAY_INDEX", "2"}},
       "JOB_COMPLETION_INDEX and AWS_BATCH_JOB_ARRAY_INDEX give different array indexes"},
      {"auto/3",
       {{"SLURM_ARRAY_TASK_ID", "3"},
        {"SLURM_ARRAY_TASK_MIN", "0"},
        {"SLURM_ARRAY_TASK_STEP", "2"}},
       "SLURM_ARRAY_TASK_ID=3 is not a task of the array"},
  };
  for (const auto& given : refused) {
    EXPECT_THAT(ErrorOf([&] { ParseShard(given.text, From(given.variables)); }),
                HasSubstr(given.message))
        << given.text;
  }
}

ManifestEntry Entry(size_t row, size_t rows, bool done) {
  ManifestEntry entry;
  entry.row = row;
  entry.rows = rows;
  entry.values = compose::Json{{"name", "row " + std::to_string(row)}};
  entry.output = "out/" + std::to_string(row) + ".png";
  entry.done = done;
  if (done) {
    entry.frames = 1;
    entry.seconds = 0.25;
    entry.bytes = 3;
    entry.sha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  } else {
    entry.message = "no such font";
  }
  return entry;
}

// A line is read back as written; a last line cut short by a crash is no entry, and the writer
// drops it before appending, so that no line runs into it.
TEST(Manifest, ReadsItsLinesBackAndPassesOverALineACrashCutShort) {
  const std::string done = ManifestLine(Entry(2, 5, true));
  const std::string failed = ManifestLine(Entry(3, 5, false));
  EXPECT_EQ(done.back(), '\n');
  const std::vector<ManifestEntry> read =
      ParseManifest(done + failed + failed.substr(0, 20), "m.jsonl");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(ManifestLine(read[0]), done);
  EXPECT_EQ(ManifestLine(read[1]), failed);
  EXPECT_EQ(read[1].message, "no such font");

  EXPECT_THAT(ErrorOf([&] { ParseManifest(done + "{\"row\": 1}\n", "m.jsonl"); }),
              HasSubstr("m.jsonl:2: not a line of a batch manifest"));
  EXPECT_THAT(ErrorOf([&] { ParseManifest("[1,\n", "m.jsonl"); }), HasSubstr("m.jsonl:1"));
  std::string fraction = failed;
  fraction.replace(fraction.find("\"row\":3"), 7, "\"row\":-1.5");
  EXPECT_THAT(
      ErrorOf([&] { ParseManifest(fraction, "m.jsonl"); }),
      HasSubstr("m.jsonl:1: not a line of a batch manifest: row is -1.5, not a whole number"));
  EXPECT_THAT(ErrorOf([&] { ParseManifest(ManifestLine(Entry(6, 5, true)), "m.jsonl"); }),
              HasSubstr("m.jsonl:1: not a line of a batch manifest: row 6 of 5"));

  const fs::path file = fs::temp_directory_path() / "quorvel_manifest_test.jsonl";
  std::ofstream(file, std::ios::binary) << done << failed.substr(0, 20);
  {
    ManifestWriter writer(file);
    writer.Append(Entry(3, 5, true));
  }
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, done + ManifestLine(Entry(3, 5, true)));
  fs::remove(file);

  // A row rendered again on resuming: its last line holds.
  const std::map<size_t, ManifestEntry> latest =
      LatestByRow({Entry(3, 5, false), Entry(2, 5, true), Entry(3, 5, true)});
  ASSERT_EQ(latest.size(), 2u);
  EXPECT_TRUE(latest.at(3).done);
}

TEST(ManifestMerge, JoinsShardsAndTellsRowsMissingFailedOrInTwo) {
  const MergedManifest whole =
      MergeManifests({{"a.jsonl", {Entry(1, 4, true), Entry(3, 4, true)}},
                      {"b.jsonl", {Entry(4, 4, true), Entry(2, 4, false), Entry(2, 4, true)}}});
  EXPECT_TRUE(whole.Complete());
  ASSERT_EQ(whole.entries.size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(whole.entries[i].row, i + 1);

  const MergedManifest broken = MergeManifests(
      {{"a.jsonl", {Entry(1, 7, true), Entry(4, 7, false)}}, {"b.jsonl", {Entry(1, 7, true)}}});
  EXPECT_FALSE(broken.Complete());
  EXPECT_EQ(broken.missing, (std::vector<size_t>{2, 3, 5, 6, 7}));
  EXPECT_EQ(RowList(broken.missing), "2-3, 5-7");
  EXPECT_EQ(broken.failed, (std::vector<size_t>{4}));
  EXPECT_EQ(broken.duplicated, (std::vector<std::string>{"row 1: a.jsonl and b.jsonl"}));

  EXPECT_THAT(
      ErrorOf([&] {
        MergeManifests({{"a.jsonl", {Entry(1, 4, true)}}, {"b.jsonl", {Entry(2, 5, true)}}});
      }),
      HasSubstr("b.jsonl: row 2 is one of 5 rows, where a.jsonl counts 4"));
}

}  // namespace
}  // namespace quorvel::batch
