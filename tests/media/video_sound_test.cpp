// SPDX-License-Identifier: MIT
// Sound in videos written through the library, read back with FFmpeg's own libraries: which
// stream the file holds, where it starts and ends against the frames, and whether its samples
// are the source's from the right instant.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "headless/common/interruption.h"
#include "headless/pixels/world.h"
#include "media/video/video_output.h"
#include "tests/media/support/media_probe.h"
#include "tests/media/support/test_video.h"

namespace quorvel::media {
namespace {

namespace fs = std::filesystem;
using test::DecodedSound;
using test::MediaProbe;
using test::StreamProbe;
using ::testing::HasSubstr;

// A 441 Hz tone with a beep at 4x its pitch at the start of every second: the beep marks which
// second a stretch of the sound comes from, the tone's phase the sample within it.
constexpr char kTone[] =
    "-f lavfi -i sine=frequency=441:beep_factor=4:sample_rate=48000:duration=3";

// The sources, made once for all the tests.
class VideoSound : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::random_device random;
    sources_ = new fs::path(fs::temp_directory_path() /
                            ("quorvel-sound-sources-" + std::to_string(random())));
    fs::create_directories(*sources_);
    const struct {
      const char* name;
      std::string arguments;
    } made[] = {
        {"tone.wav", std::string(kTone) + " -c:a pcm_s16le"},
        {"tone.m4a", std::string(kTone) + " -c:a aac -b:a 192k"},
        {"tone.mp3", std::string(kTone) + " -c:a libmp3lame -b:a 192k"},
        {"tone.webm", std::string(kTone) + " -c:a libopus -b:a 128k"},
        {"tone.ogg", std::string(kTone) + " -c:a libvorbis"},
        {"tone.aac", std::string(kTone) + " -c:a aac"},  // raw AAC, a header on each packet
        // Footage as a camera makes it: pictures and sound in one file.
        {"footage.mp4", "-f lavfi -i testsrc2=size=64x36:rate=30:duration=3 " + std::string(kTone) +
                            " -c:v libx264 -preset ultrafast -c:a aac -shortest"},
        {"pictures.mp4",
         "-f lavfi -i testsrc2=size=64x36:rate=30:duration=1 -c:v libx264 "
         "-preset ultrafast"},
    };
    for (const auto& source : made) {
      ASSERT_TRUE(test::MakeWithFfmpeg(source.arguments, *sources_ / source.name)) << source.name;
    }
    std::ofstream(*sources_ / "notes.txt") << "not a media file\n";
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(*sources_, ignored);
    delete sources_;
  }

  void SetUp() override {
    std::random_device random;
    folder_ = fs::temp_directory_path() / ("quorvel-sound-test-" + std::to_string(random()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    headless::ClearInterruption();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  static fs::path Source(const char* name) { return *sources_ / name; }

  // 64x36 at 30 frames a second, covering [start, end) of the composition, with sound.
  static VideoSettings Settings(VideoFormat format, const fs::path& source, double offset,
                                double start, double end) {
    VideoSettings settings;
    settings.format = format;
    settings.width = 64;
    settings.height = 36;
    settings.time_scale = 30;
    settings.frame_duration = 1;
    settings.background = {255, 0, 0, 0};
    settings.audio = AudioSource{source, offset, start, end};
    settings.library_messages = [](const std::string&) {};
    return settings;
  }

  static int FramesIn(const VideoSettings& settings) {
    return static_cast<int>(std::lround((settings.audio->end - settings.audio->start) * 30));
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  static fs::path* sources_;
  fs::path folder_;
};

fs::path* VideoSound::sources_ = nullptr;

VideoFormat FormatOf(const fs::path& path) {
  return VideoFormatFor(path).value_or(VideoFormat::kProRes4444);
}

// An audio frame: the most by which the sound may miss the video's end. AAC's are 1024 samples,
// Opus's 20 ms here; Vorbis's vary, their step at most 1024 samples in these files.
double FrameSeconds(const StreamProbe& audio) {
  return (audio.codec == AV_CODEC_ID_OPUS ? 960.0 : 1024.0) / audio.sample_rate;
}

// How a stretch of the decoded output from `output_from` seconds lines up with the decoded
// source from `source_from`: the lag (in samples, within `around` +- `most_lag`) at which they
// differ least, and that difference's root mean square over the source's.
struct Alignment {
  int lag = 0;
  double error = INFINITY;
};
Alignment AlignWithSource(const DecodedSound& output, double output_from,
                          const DecodedSound& source, double source_from, int around,
                          int most_lag) {
  constexpr long kStretch = 9600;  // 0.2 s at 48 kHz
  const long out_at = std::lround(output_from * output.rate);
  const long source_at = std::lround(source_from * source.rate);
  Alignment best;
  for (int lag = around - most_lag; lag <= around + most_lag; ++lag) {
    const long first = source_at + lag;
    if (first < 0 || first + kStretch > static_cast<long>(source.samples.size()) ||
        out_at + kStretch > static_cast<long>(output.samples.size())) {
      continue;
    }
    double difference = 0;
    double power = 0;
    for (long i = 0; i < kStretch; ++i) {
      const double wanted = source.samples[static_cast<size_t>(first + i)];
      const double got = output.samples[static_cast<size_t>(out_at + i)];
      difference += (got - wanted) * (got - wanted);
      power += wanted * wanted;
    }
    const double error = std::sqrt(difference / power);
    if (error < best.error) best = {lag, error};
  }
  return best;
}

double RootMeanSquare(const std::vector<float>& samples, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to && i < samples.size(); ++i) sum += samples[i] * samples[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// The sound ends with the frames, cut to them within a millisecond (measured: 1.5 s exactly in
// .mp4 and .mov, copied or encoded; 1.4995 s copied and 1.5 s encoded into .webm as Opus),
// except that WebM cannot cut Vorbis's last packet short (1.518 s): an audio frame's length.
TEST_F(VideoSound, EachContainerCarriesTheSoundFromTheFirstFrameForAsLongAsTheFrames) {
  // Composition 0.5 s to 2 s (45 frames) of sources that play from the composition's start.
  constexpr double kCut = 1e-3;
  constexpr double kFrame = -1;  // an audio frame
  const struct {
    const char* source;
    const char* output;
    AVCodecID codec;
    bool copied;  // the output's packets are the source's
    double most_miss;
  } cases[] = {
      {"tone.m4a", "copy.mp4", AV_CODEC_ID_AAC, true, kCut},
      {"tone.m4a", "copy.mov", AV_CODEC_ID_AAC, true, kCut},
      // Copied too, but the muxer strips each packet's header: none is the source's as it was.
      {"tone.aac", "adts.mp4", AV_CODEC_ID_AAC, false, kCut},
      {"footage.mp4", "footage.mov", AV_CODEC_ID_AAC, true, kCut},
      {"tone.webm", "copy.webm", AV_CODEC_ID_OPUS, true, kCut},
      {"tone.ogg", "vorbis.webm", AV_CODEC_ID_VORBIS, true, kFrame},
      {"tone.wav", "pcm.mp4", AV_CODEC_ID_AAC, false, kCut},
      {"tone.mp3", "mp3.mov", AV_CODEC_ID_AAC, false, kCut},
      {"tone.m4a", "aac.webm", AV_CODEC_ID_OPUS, false, kCut},
  };
  for (const auto& c : cases) {
    const fs::path output = folder_ / c.output;
    const VideoSettings settings = Settings(FormatOf(output), Source(c.source), 0, 0.5, 2.0);
    const FileStatus written = test::WriteTestVideo(output, settings, FramesIn(settings));
    ASSERT_TRUE(written) << c.output << ": " << written.message;
    const MediaProbe probe = test::ProbeMedia(output);
    const StreamProbe* video = probe.Find(AVMEDIA_TYPE_VIDEO);
    const StreamProbe* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(video, nullptr) << c.output;
    ASSERT_NE(audio, nullptr) << c.output;
    EXPECT_EQ(audio->codec, c.codec) << c.output;
    EXPECT_NEAR(video->start, 0, 1e-6) << c.output;
    EXPECT_NEAR(video->duration(), 1.5, 1e-3) << c.output;
    EXPECT_NEAR(audio->start, 0, 1e-3) << c.output;
    EXPECT_NEAR(audio->duration(), video->duration(),
                c.most_miss == kFrame ? FrameSeconds(*audio) : c.most_miss)
        << c.output;

    const MediaProbe source = test::ProbeMedia(Source(c.source));
    const StreamProbe* source_audio = source.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(source_audio, nullptr) << c.source;
    const std::set<std::string> source_packets(source_audio->packets.begin(),
                                               source_audio->packets.end());
    const auto copied = static_cast<size_t>(
        std::count_if(audio->packets.begin(), audio->packets.end(),
                      [&](const std::string& packet) { return source_packets.count(packet) > 0; }));
    if (c.copied) {
      EXPECT_EQ(copied, audio->packets.size()) << c.output;
    } else {
      EXPECT_EQ(copied, 0u) << c.output;
    }
  }
}

// Composition 1 s to 2 s of the tone: the output's sound is the source's (as decoded) from 1 s,
// with the beep at its start; a tone's period later it is still in step.
TEST_F(VideoSound, TheSpansSoundIsTheSourcesFromTheSpansStart) {
  const struct {
    const char* source;
    const char* output;
    int most_lag;  // samples by which the sound may be early (negative) or late
    double most_error;
  } cases[] = {
      // Encoded: sample-exact. The differences were measured at 0.062 (AAC), 0.018 (Opus) and
      // 0.25 (AAC smears the beep's end over the MP3's noise) at the start, all under 0.03 later.
      {"tone.wav", "pcm.mp4", 0, 0.1},
      {"tone.wav", "pcm.webm", 0, 0.1},
      {"tone.mp3", "mp3.mov", 0, 0.3},
      // Copied: the source's own samples, exact in MP4 and within a packet (20 ms) in WebM.
      {"tone.m4a", "copy.mp4", 0, 0.01},
      {"tone.webm", "copy.webm", 960, 0.01},
  };
  for (const auto& c : cases) {
    const fs::path output = folder_ / c.output;
    const VideoSettings settings = Settings(FormatOf(output), Source(c.source), 0, 1.0, 2.0);
    const FileStatus written = test::WriteTestVideo(output, settings, FramesIn(settings));
    ASSERT_TRUE(written) << c.output << ": " << written.message;
    const DecodedSound source = test::DecodeSound(Source(c.source));
    const DecodedSound sound = test::DecodeSound(output);
    ASSERT_EQ(sound.rate, 48000) << c.output;
    EXPECT_NEAR(static_cast<double>(sound.samples.size()), 48000, 1024) << c.output;
    // Searched far wider than any tolerance: a whole AAC frame either way. Within the beep the
    // lag is certain; after it, the tone repeats every 109 samples, so it is looked for near
    // the first.
    const Alignment start = AlignWithSource(sound, 0, source, 1.0, 0, 1100);
    const Alignment later = AlignWithSource(sound, 0.75, source, 1.75, start.lag, 50);
    EXPECT_LE(std::abs(start.lag), c.most_lag) << c.output;
    EXPECT_LT(start.error, c.most_error) << c.output;
    EXPECT_EQ(later.lag, start.lag) << c.output;
    EXPECT_LT(later.error, c.most_error) << c.output;
  }
}

// Footage that starts 0.5 s into the composition (offset -0.5): silence until it starts, then
// its sound from its own start. A source that could be copied is encoded then, so that the
// sound still starts with the first frame.
TEST_F(VideoSound, BeforeTheSourceStartsTheSoundIsSilent) {
  const DecodedSound tone = test::DecodeSound(Source("tone.wav"));
  for (const char* source : {"tone.wav", "tone.m4a"}) {
    const fs::path output = folder_ / (std::string(source) + ".mp4");
    const VideoSettings settings = Settings(VideoFormat::kH264, Source(source), -0.5, 0, 1.5);
    const FileStatus written = test::WriteTestVideo(output, settings, FramesIn(settings));
    ASSERT_TRUE(written) << source << ": " << written.message;
    const MediaProbe probe = test::ProbeMedia(output);
    const StreamProbe* audio = probe.Find(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(audio, nullptr) << source;
    EXPECT_NEAR(audio->start, 0, 1e-3) << source;
    EXPECT_NEAR(audio->duration(), 1.5, FrameSeconds(*audio)) << source;
    const DecodedSound sound = test::DecodeSound(output);
    ASSERT_GE(sound.samples.size(), 72000u - 1024u) << source;
    const double tone_level = RootMeanSquare(tone.samples, 0, 24000);
    // Measured at under 0.00001 of the tone's level over the first 0.49 s (AAC's ringing
    // before the tone starts reaches back a few samples at most).
    EXPECT_LT(RootMeanSquare(sound.samples, 0, 23500), tone_level * 0.01) << source;
    const Alignment aligned = AlignWithSource(sound, 0.5, tone, 0, 0, 1100);
    EXPECT_EQ(aligned.lag, 0) << source;
    EXPECT_LT(aligned.error, 0.2) << source;
  }
}

TEST_F(VideoSound, ASourceWithoutReadableSoundIsRefusedNamingItAndLeavesNoFile) {
  const struct {
    fs::path source;
    const char* why;
  } cases[] = {
      {folder_ / "missing.wav", "No such file or directory"},
      {Source("notes.txt"), "Invalid data found when processing input"},
      {Source("pictures.mp4"), "it has no sound"},
  };
  for (const auto& c : cases) {
    const fs::path output = folder_ / "v.mp4";
    const FileStatus written =
        test::WriteTestVideo(output, Settings(VideoFormat::kH264, c.source, 0, 0, 1), 30);
    EXPECT_FALSE(written) << c.source;
    EXPECT_EQ(written.message, "cannot write '" + output.string() +
                                   "': cannot read the sound of '" + c.source.string() +
                                   "': " + c.why);
    EXPECT_THAT(Entries(), ::testing::IsEmpty()) << c.source;
  }
}

TEST_F(VideoSound, ProbingTellsFilesWithoutSoundFromUnreadableOnes) {
  const struct {
    fs::path source;
    bool ok;
    bool has_audio;
  } cases[] = {
      {Source("tone.mp3"), true, true},        {Source("footage.mp4"), true, true},
      {Source("pictures.mp4"), true, false},   {Source("notes.txt"), false, false},
      {folder_ / "missing.wav", false, false},
  };
  for (const auto& c : cases) {
    const AudioProbe probe = ProbeAudio(c.source);
    EXPECT_EQ(probe.status.ok, c.ok) << c.source;
    EXPECT_EQ(probe.has_audio, c.has_audio) << c.source;
    if (!c.ok) {
      EXPECT_THAT(probe.status.message,
                  HasSubstr("cannot read the sound of '" + c.source.string() + "': "));
    }
  }
}

// Ctrl-C while the sound is being written (on a frame, or at the end) fails the video and
// leaves nothing of it.
TEST_F(VideoSound, AnInterruptedWriteLeavesNoFile) {
  for (const char* source : {"tone.m4a", "tone.wav"}) {
    for (const bool at_end : {false, true}) {
      const fs::path output = folder_ / "v.mp4";
      OutputTarget target;
      ASSERT_TRUE(ResolveOutput(output, target));
      FileStatus status;
      const std::unique_ptr<VideoWriter> writer =
          VideoWriter::Open(target, Settings(VideoFormat::kH264, Source(source), 0, 0, 2), status);
      ASSERT_TRUE(writer) << status.message;
      headless::OwnedWorld world(64, 36);
      for (int frame = 0; frame < 10; ++frame) ASSERT_TRUE(writer->Write(world.world()));
      headless::RequestInterruption();
      const FileStatus stopped = at_end ? writer->Finish() : writer->Write(world.world());
      headless::ClearInterruption();
      EXPECT_FALSE(stopped) << source;
      EXPECT_THAT(stopped.message, HasSubstr("interrupted")) << source;
    }
    EXPECT_THAT(Entries(), ::testing::IsEmpty()) << source;
  }
}

}  // namespace
}  // namespace quorvel::media
