// SPDX-License-Identifier: MIT
// Videos rendered as consecutive segments of one composition joined into one file by copying
// their packets, nothing decoded or encoded again: each segment's timestamps are moved to where
// the ones before it end. Segments must agree in every codec parameter, since the joined file
// declares each stream once.
//
// Sound: where each segment copied its footage's packets, the packet cut at a join is in both
// segments, and is kept once, giving the packets of one render. Where each segment encoded its
// sound, the next segment's priming packet (coded before its first sample) is left out, so the
// sound keeps its duration; its first packet decodes without the one before, and the last
// packet of the segment before carries up to one packet of padding: a short seam at each join.
#pragma once

#include <filesystem>
#include <vector>

#include "media/image/file_output.h"
#include "media/video/ffmpeg_messages.h"

namespace quorvel::media {

// Joins the segments at `segment_paths`, in order, into the target, written under a temporary name
// and renamed into place. The container is the target's (by its extension); it must take the
// segments' codecs. Fails naming the segment and what it differs in, or the file that cannot be
// read or written. FFmpeg's warnings and errors about the output go to `library_messages` (standard
// error when not set).
FileStatus JoinVideos(const std::vector<std::filesystem::path>& segment_paths,
                      const OutputTarget& target, const LibraryMessageSink& library_messages);

}  // namespace quorvel::media
