// SPDX-License-Identifier: MIT
#include "tests/media/support/test_video.h"

#include <memory>
#include <random>

#include "headless/pixels/world.h"

namespace quorvel::media::test {

FileStatus WriteTestVideo(const std::filesystem::path& path, const VideoSettings& settings,
                          int count, Frames frames) {
  OutputTarget target;
  if (FileStatus resolved = ResolveOutput(path, target); !resolved) return resolved;
  FileStatus status;
  const std::unique_ptr<VideoWriter> writer = VideoWriter::Open(target, settings, status);
  if (!writer) return status;
  headless::OwnedWorld world(settings.width, settings.height);
  std::mt19937 random(7);
  for (int frame = 0; frame < count; ++frame) {
    for (A_long y = 0; y < world.height(); ++y) {
      for (A_long x = 0; x < world.width(); ++x) {
        const auto noise = static_cast<A_u_char>(random() & 0xff);
        world.At(x, y) = frames == Frames::kFlat ? PF_Pixel{255, 30, 144, 255}
                                                 : PF_Pixel{255, noise, noise, noise};
      }
    }
    if (FileStatus written = writer->Write(world.world()); !written) return written;
  }
  return writer->Finish();
}

}  // namespace quorvel::media::test
