// SPDX-License-Identifier: MIT
// Asks the host for the outlines of the effect's text layer at one shutter instant and hands
// their vertex positions, one by one, to a receiver.
#pragma once

#include "hostapi/host_api.h"

namespace quorvel {

// Receives vertex positions in walk order: full-resolution layer pixels, exactly as the host
// returned them. `first` is true for the first vertex of the whole walk only.
class VertexSink {
 public:
  virtual void Vertex(double x, double y, bool first) = 0;

 protected:
  ~VertexSink() = default;
};

// The two sample times of a frame, in units of in_data.time_scale.
struct ShutterInstants {
  A_long open;
  A_long close;
};

// open = truncate(time_step * shutter_phase / 65536 + current_time) and
// close = truncate(time_step * shutter_angle / 65536 + open), in double precision, truncating
// toward zero. An instant beyond the 32-bit range saturates at the range's nearer end, so a
// frame far from zero is still sampled at the latest (or earliest) time the host can name.
ShutterInstants ComputeShutterInstants(const PF_InData& in_data);

// Walks the outlines of the effect's layer at the shutter-open instant (at_shutter_open) or the
// shutter-close instant, handing every vertex to `sink` without building a list. Sets
// motion_blur_flag to 1 when both the layer's and the composition's motion-blur switches are
// on, and otherwise leaves it as it was. Host results are not examined: a failed query reads
// as an empty answer. Throws PF_Err_BAD_CALLBACK_PARAM when in_data carries no basic suite or a
// suite is missing; every suite and the outline list are given back on every path.
void QueryTextOutlines(PF_InData* in_data, bool at_shutter_open, A_long& motion_blur_flag,
                       VertexSink& sink);

}  // namespace quorvel
