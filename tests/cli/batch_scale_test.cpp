// SPDX-License-Identifier: MIT
// Batches at scale, run as a cluster runs them: shards in separate processes with each
// scheduler's variables, a run killed and resumed, rows that fail while the rest go on, and
// progress read by a program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "compose/document/json_place.h"
#include "tests/media/support/media_probe.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using quorvel::compose::Json;
using quorvel::test::ProgramRun;
using quorvel::test::Quoted;
using quorvel::test::ReadBytes;
using ::testing::HasSubstr;

const std::string kRenderPath = QUORVEL_RENDER_PATH;

std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(Json::parse(line));
  return lines;
}

// The schedulers' own variables, cleared for every run so that the machine's do not count.
const char* const kSchedulerVariables[] = {
    "JOB_COMPLETION_INDEX", "SLURM_ARRAY_TASK_ID",       "SLURM_ARRAY_TASK_MIN",
    "SLURM_ARRAY_TASK_MAX", "SLURM_ARRAY_TASK_COUNT",    "SLURM_ARRAY_TASK_STEP",
    "SLURM_ARRAY_JOB_ID",   "AWS_BATCH_JOB_ARRAY_INDEX", "AWS_BATCH_JOB_ARRAY_SIZE"};

class BatchAtScale : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    dir_ = fs::temp_directory_path() /
           ("quorvel_scale_" + name + "_" + std::to_string(static_cast<long>(getpid())));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // A small frame keeps each row to a few milliseconds.
    std::ofstream(dir_ / "tag.json") << R"({
      "composition": {"width": 64, "height": 36, "fps": 10, "duration": 1,
                      "background": "#000000"},
      "layer": {"text": "{name}", "font": "DejaVu Sans", "size": 14, "color": "#ffffff",
                "position": [4, 8]},
      "effect": {"Expansion Uniform": 2, "Fill Color": "{color}"}})";
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Rows named n1, n2, ... with colours that differ, so that every file does.
  void WriteRows(size_t count, const std::set<size_t>& bad_rows = {}) const {
    std::ofstream data(dir_ / "d.csv");
    data << "name,color\n";
    for (size_t row = 1; row <= count; ++row) {
      char color[8];
      std::snprintf(color, sizeof color, "#%02x%02x40", static_cast<unsigned>(row * 9 % 256),
                    static_cast<unsigned>(255 - row * 4 % 256));
      data << "n" << row << "," << (bad_rows.count(row) ? "not a colour" : color) << "\n";
    }
  }

  std::string Command(const std::vector<std::string>& arguments,
                      const std::map<std::string, std::string>& variables) const {
    std::string command = "cd " + Quoted(dir_.string()) + " && exec env";
    for (const char* name : kSchedulerVariables) command += std::string(" -u ") + name;
    for (const auto& [name, value] : variables) command += " " + name + "=" + Quoted(value);
    command += " " + Quoted(kRenderPath) + " batch tag.json d.csv";
    for (const std::string& argument : arguments) command += " " + Quoted(argument);
    return command;
  }

  ProgramRun Run(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& variables = {},
                 const std::string& command_name = "batch") const {
    std::string command = Command(arguments, variables);
    if (command_name != "batch") {
      command = "cd " + Quoted(dir_.string()) + " && " + Quoted(kRenderPath) + " " + command_name;
      for (const std::string& argument : arguments) command += " " + Quoted(argument);
    }
    return quorvel::test::RunCaptured(command, dir_);
  }

  // The PNG files of a folder and their bytes (a SIGKILL may leave a hidden unfinished one).
  std::map<std::string, std::string> Pngs(const std::string& folder) const {
    std::map<std::string, std::string> files;
    if (!fs::exists(dir_ / folder)) return files;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir_ / folder)) {
      const std::string name = entry.path().filename().string();
      if (entry.path().extension() == ".png" && name[0] != '.') {
        files[name] = ReadBytes(entry.path());
      }
    }
    return files;
  }

  fs::path dir_;
};

// Three workers of each scheduler's array job, with the variables it sets, write between them
// exactly the files of one unsharded run; their manifests merge to every row once, and a shard
// that never ran is told.
TEST_F(BatchAtScale, ShardsOfEachSchedulerWriteTheUnshardedFilesAndMergeToEveryRowOnce) {
  constexpr size_t kRows = 7;
  WriteRows(kRows);
  ASSERT_EQ(Run({"-o", "whole/{name}.png"}).exit_code, 0);
  const std::map<std::string, std::string> whole = Pngs("whole");
  ASSERT_EQ(whole.size(), kRows);

  using Variables = std::map<std::string, std::string>;
  const struct {
    const char* name;
    const char* shard;
    std::vector<Variables> workers;
  } schedulers[] = {
      {"kubernetes",
       "auto/3",
       {{{"JOB_COMPLETION_INDEX", "0"}},
        {{"JOB_COMPLETION_INDEX", "1"}},
        {{"JOB_COMPLETION_INDEX", "2"}}}},
      // sbatch --array=4-6: ids from 4, and the count of tasks.
      {"slurm",
       "auto",
       {{{"SLURM_ARRAY_JOB_ID", "90"},
         {"SLURM_ARRAY_TASK_ID", "4"},
         {"SLURM_ARRAY_TASK_MIN", "4"},
         {"SLURM_ARRAY_TASK_MAX", "6"},
         {"SLURM_ARRAY_TASK_COUNT", "3"}},
        {{"SLURM_ARRAY_JOB_ID", "90"},
         {"SLURM_ARRAY_TASK_ID", "5"},
         {"SLURM_ARRAY_TASK_MIN", "4"},
         {"SLURM_ARRAY_TASK_MAX", "6"},
         {"SLURM_ARRAY_TASK_COUNT", "3"}},
        {{"SLURM_ARRAY_JOB_ID", "90"},
         {"SLURM_ARRAY_TASK_ID", "6"},
         {"SLURM_ARRAY_TASK_MIN", "4"},
         {"SLURM_ARRAY_TASK_MAX", "6"},
         {"SLURM_ARRAY_TASK_COUNT", "3"}}}},
      {"aws",
       "auto/3",
       {{{"AWS_BATCH_JOB_ARRAY_INDEX", "0"}, {"AWS_BATCH_JOB_ARRAY_SIZE", "3"}},
        {{"AWS_BATCH_JOB_ARRAY_INDEX", "1"}, {"AWS_BATCH_JOB_ARRAY_SIZE", "3"}},
        {{"AWS_BATCH_JOB_ARRAY_INDEX", "2"}, {"AWS_BATCH_JOB_ARRAY_SIZE", "3"}}}},
  };
  for (const auto& scheduler : schedulers) {
    const std::string name = scheduler.name;
    for (const Variables& worker : scheduler.workers) {
      const ProgramRun run = Run({"-o", name + "/{name}.png", "--shard", scheduler.shard,
                                  "--manifest", name + "-{shard}.jsonl", "--jobs", "1"},
                                 worker);
      ASSERT_EQ(run.exit_code, 0) << name << ": " << run.err;
    }
    EXPECT_EQ(Pngs(name), whole) << name;

    const ProgramRun merged = Run(
        {"merge", name + "-1.jsonl", name + "-2.jsonl", name + "-3.jsonl", "-o", name + ".jsonl"},
        {}, "manifest");
    EXPECT_EQ(merged.exit_code, 0) << name << ": " << merged.err;
    const std::vector<Json> lines = JsonLines(ReadBytes(dir_ / (name + ".jsonl")));
    ASSERT_EQ(lines.size(), kRows) << name;
    for (size_t i = 0; i < kRows; ++i) {
      EXPECT_EQ(lines[i]["row"], i + 1) << name;
      EXPECT_EQ(lines[i]["status"], "done") << name;
      EXPECT_EQ(lines[i]["rows"], kRows) << name;
      EXPECT_EQ(lines[i]["output"], name + "/n" + std::to_string(i + 1) + ".png") << name;
      EXPECT_EQ(lines[i]["bytes"], whole.at("n" + std::to_string(i + 1) + ".png").size());
    }

    // The second worker never ran: its rows (k mod 3 = 1, from 0) are missing.
    const ProgramRun partial = Run({"merge", name + "-1.jsonl", name + "-3.jsonl"}, {}, "manifest");
    EXPECT_EQ(partial.exit_code, 1) << name;
    EXPECT_THAT(partial.err, HasSubstr("2 of 7 rows missing: 2, 5")) << name;
    EXPECT_EQ(JsonLines(partial.out).size(), kRows - 2) << name;
  }
  std::ofstream(dir_ / "empty.jsonl").flush();
  const ProgramRun empty = Run({"merge", "empty.jsonl"}, {}, "manifest");
  EXPECT_EQ(empty.exit_code, 1);
  EXPECT_THAT(empty.err, HasSubstr("the manifests record no row"));
}

// A run killed outright part-way leaves a manifest line for each file it finished and none for
// the rest; resumed, it renders only the rest and the files are those of an uninterrupted run.
TEST_F(BatchAtScale, ARunKilledPartWayAndResumedRendersNoFinishedRowTwice) {
  constexpr size_t kRows = 60;
  WriteRows(kRows);
  ASSERT_EQ(Run({"-o", "whole/{name}.png"}).exit_code, 0);

  const std::vector<std::string> arguments = {"-o",      "out/{name}.png", "--manifest",
                                              "m.jsonl", "--jobs",         "1"};
  const std::string command = Command(arguments, {}) + " > /dev/null 2>&1 < /dev/null";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const auto lines_of = [&] {
    const std::string text = ReadBytes(dir_ / "m.jsonl");
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  };
  for (int wait = 0; wait < 20000 && lines_of() < 3; ++wait) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ASSERT_EQ(kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before it was killed";
  const std::vector<Json> before = JsonLines(ReadBytes(dir_ / "m.jsonl"));
  ASSERT_GE(before.size(), 3u);
  ASSERT_LT(before.size(), kRows);
  // Each line is of a file complete and in place.
  for (const Json& line : before) {
    const fs::path file = dir_ / line["output"].get<std::string>();
    EXPECT_EQ(fs::file_size(file), line["bytes"].get<uintmax_t>()) << file;
  }

  std::vector<std::string> resume = arguments;
  resume.push_back("--resume");
  const ProgramRun resumed = Run(resume);
  ASSERT_EQ(resumed.exit_code, 0) << resumed.err;
  EXPECT_THAT(resumed.out, HasSubstr("(" + std::to_string(before.size()) + " rows done before)"));
  EXPECT_EQ(Pngs("out"), Pngs("whole"));

  std::map<size_t, int> recorded;
  for (const Json& line : JsonLines(ReadBytes(dir_ / "m.jsonl"))) {
    EXPECT_EQ(line["status"], "done");
    ++recorded[line["row"].get<size_t>()];
  }
  ASSERT_EQ(recorded.size(), kRows);
  for (const auto& [row, times] : recorded) EXPECT_EQ(times, 1) << "row " << row;

  // A file changed since is rendered again; the rest are not.
  std::ofstream(dir_ / "out" / "n5.png", std::ios::app) << "x";
  const ProgramRun again = Run(resume);
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_THAT(again.out, HasSubstr("wrote 1 file for 1 row: out/n5.png"));
  EXPECT_EQ(Pngs("out"), Pngs("whole"));

  // Resuming needs the manifest, and a manifest records one file a row.
  const ProgramRun unnamed = Run({"-o", "out/{name}.png", "--resume"});
  EXPECT_EQ(unnamed.exit_code, 2);
  EXPECT_THAT(unnamed.err, HasSubstr("--resume reads what was done from --manifest FILE"));
  const ProgramRun sequences =
      Run({"-o", "seq/{name}_%d.png", "--frames", "0-1", "--manifest", "m.jsonl"});
  EXPECT_EQ(sequences.exit_code, 2);
  EXPECT_THAT(sequences.err, HasSubstr("--manifest records one file a row"));
}

// By default the first failed row stops the batch; with --keep-going every other row renders,
// the manifest records the failures, and the summary names the failed rows.
TEST_F(BatchAtScale, KeepGoingRendersEveryOtherRowAndNamesTheFailedOnes) {
  WriteRows(5, {2, 4});
  const ProgramRun stopped = Run({"-o", "stop/{name}.png", "--jobs", "1"});
  EXPECT_EQ(stopped.exit_code, 1);
  EXPECT_THAT(stopped.err, HasSubstr("d.csv:3 (row 2): "));
  EXPECT_EQ(Pngs("stop").size(), 1u);

  const ProgramRun going =
      Run({"-o", "go/{name}.png", "--jobs", "2", "--keep-going", "--manifest", "m.jsonl"});
  EXPECT_EQ(going.exit_code, 1);
  EXPECT_THAT(going.err, HasSubstr("quorvel-render: 2 of 5 rows failed: d.csv:3 (row 2), "
                                   "d.csv:5 (row 4)\n"));
  std::set<std::string> written;
  for (const auto& [name, bytes] : Pngs("go")) written.insert(name);
  EXPECT_EQ(written, (std::set<std::string>{"n1.png", "n3.png", "n5.png"}));
  std::map<size_t, std::string> status;
  for (const Json& line : JsonLines(ReadBytes(dir_ / "m.jsonl"))) {
    status[line["row"].get<size_t>()] = line["status"].get<std::string>();
    if (line["status"] == "failed") {
      EXPECT_THAT(line["message"].get<std::string>(), HasSubstr("not a colour"));
    }
  }
  EXPECT_EQ(status, (std::map<size_t, std::string>{
                        {1, "done"}, {2, "failed"}, {3, "done"}, {4, "failed"}, {5, "done"}}));
}

// A video a row over footage: each row's file holds the composition's frames, encoded as render
// encodes the row alone, and the footage's sound; the manifest records the frames.
TEST_F(BatchAtScale, AVideoPerRowOverFootageIsRenderOfThatRowWithItsSound) {
  namespace media_test = quorvel::media::test;
  ASSERT_TRUE(media_test::MakeWithFfmpeg(
      "-f lavfi -i testsrc2=size=64x36:rate=10:duration=0.5 -f lavfi -i "
      "sine=frequency=440:duration=0.5 -c:v libx264 -pix_fmt yuv420p -c:a aac -shortest",
      dir_ / "clip.mp4"));
  WriteRows(3);
  const ProgramRun run =
      Run({"-o", "vid/{name}.mp4", "--over", "clip.mp4", "--manifest", "m.jsonl", "--jobs", "2"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("wrote 3 videos for 3 rows"));
  const std::vector<Json> lines = JsonLines(ReadBytes(dir_ / "m.jsonl"));
  ASSERT_EQ(lines.size(), 3u);
  for (const Json& line : lines) EXPECT_EQ(line["frames"], 5);

  // The second row alone, as render writes it.
  const std::string data = ReadBytes(dir_ / "d.csv");
  const std::string second = data.substr(data.find("\nn2,") + 1, 10);
  const std::string command =
      "cd " + Quoted(dir_.string()) + " && " + Quoted(kRenderPath) +
      " render tag.json -o one.mp4 --over clip.mp4 --jobs 2 --set layer.text=n2 --set " +
      Quoted("effect.Fill Color=" + second.substr(3)) + " > /dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const media_test::MediaProbe alone = media_test::ProbeMedia(dir_ / "one.mp4");
  for (const char* name : {"n1", "n2", "n3"}) {
    const media_test::MediaProbe probe =
        media_test::ProbeMedia(dir_ / "vid" / (std::string(name) + ".mp4"));
    ASSERT_TRUE(probe.opened) << name;
    const media_test::StreamProbe* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    const media_test::StreamProbe* sound = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_TRUE(video && sound) << name;
    EXPECT_EQ(video->packets.size(), 5u) << name;
    EXPECT_NEAR(sound->duration(), 0.5, 0.03) << name;
    const bool same_as_alone = video->packets == alone.Find(AVMEDIA_TYPE_VIDEO)->packets;
    EXPECT_EQ(same_as_alone, std::string(name) == "n2") << name;
  }

  const ProgramRun one_frame = Run({"-o", "vid/{name}.mp4", "--frame", "2"});
  EXPECT_EQ(one_frame.exit_code, 2);
  EXPECT_THAT(one_frame.err, HasSubstr("--frame renders one image a row"));
}

// Ctrl-C in a batch of videos: the video being encoded is dropped, every video in place has its
// line in the manifest, and no line names a video that is not there.
TEST_F(BatchAtScale, CtrlCInAVideoBatchKeepsTheManifestToTheFilesInPlace) {
  // Long enough videos that the stop comes while one is being encoded.
  WriteRows(10);
  const std::string command = Command({"-o", "vid/{name}.mp4", "--manifest", "m.jsonl", "--jobs",
                                       "1", "--set", "composition.duration=200"},
                                      {}) +
                              " > /dev/null 2> " + Quoted((dir_ / "stderr").string()) +
                              " < /dev/null";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Stopped while the second row's video is being encoded, its first row in place.
  for (int wait = 0;
       wait < 20000 && ReadBytes(dir_ / "stderr").find("(row 2) frame 100 ") == std::string::npos;
       ++wait) {
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  ASSERT_EQ(kill(child, SIGINT), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_THAT(ReadBytes(dir_ / "stderr"), HasSubstr("quorvel-render: interrupted after "));

  std::set<std::string> recorded;
  for (const Json& line : JsonLines(ReadBytes(dir_ / "m.jsonl"))) {
    EXPECT_EQ(line["status"], "done");
    const std::string output = line["output"].get<std::string>();
    recorded.insert(fs::path(output).filename().string());
    EXPECT_EQ(fs::file_size(dir_ / output), line["bytes"].get<uintmax_t>()) << output;
  }
  std::set<std::string> in_place;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir_ / "vid")) {
    in_place.insert(entry.path().filename().string());
  }
  EXPECT_EQ(in_place, recorded);
  EXPECT_GE(recorded.size(), 1u);
  EXPECT_LT(recorded.size(), 10u);
}

// Each line of --progress json is one object; together they count every row and frame once.
TEST_F(BatchAtScale, ProgressJsonIsAnObjectALineCountingRowsAndFrames) {
  WriteRows(4);
  const ProgramRun run = Run({"-o", "out/{name}.png", "--jobs", "2", "--progress", "json"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::vector<Json> lines = JsonLines(run.err);
  ASSERT_EQ(lines.size(), 4u);
  std::set<size_t> rows;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Json& line = lines[i];
    EXPECT_EQ(line["done"], i + 1);
    EXPECT_EQ(line["total"], 4);
    EXPECT_EQ(line["rows_total"], 4);
    EXPECT_LE(line["rows_done"].get<size_t>(), i);
    EXPECT_GE(line["fps"].get<double>(), 0);
    EXPECT_TRUE(line["seconds_left"].is_null() || line["seconds_left"].get<double>() >= 0);
    rows.insert(line["row"].get<size_t>());
    EXPECT_EQ(line["detail"], "out/n" + std::to_string(line["row"].get<size_t>()) + ".png");
  }
  EXPECT_EQ(rows, (std::set<size_t>{1, 2, 3, 4}));
  EXPECT_EQ(lines.back()["seconds_left"], 0);

  // A sequence of render: frames, no rows.
  const std::string command =
      Quoted(kRenderPath) + " render " + Quoted((dir_ / "tag.json").string()) + " -o " +
      Quoted((dir_ / "f_%d.png").string()) +
      " --frames 0-2 --jobs 1 --progress json --set 'effect.Fill Color=#ff0000' 2> " +
      Quoted((dir_ / "stderr").string()) + " > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::vector<Json> frames = JsonLines(ReadBytes(dir_ / "stderr"));
  ASSERT_EQ(frames.size(), 3u);
  for (size_t i = 0; i < frames.size(); ++i) {
    EXPECT_EQ(frames[i]["done"], i + 1);
    EXPECT_EQ(frames[i]["item"], "frame " + std::to_string(i));
    EXPECT_FALSE(frames[i].contains("row"));
  }
}

}  // namespace
