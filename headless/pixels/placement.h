// SPDX-License-Identifier: MIT
// Where a world lands under a placement matrix, for transform_world: the map back from the
// destination to the source, the destination pixels it can reach, and the same map in pixman's
// fixed point.
#pragma once

#include <pixman.h>

#include <optional>
#include <utility>

#include "hostapi/host_api.h"

namespace quorvel::headless {

// x' = a·x + b·y + c, y' = d·x + e·y + f.
struct Affine {
  double a, b, c, d, e, f;
};

// Finite, with the third column of an affine matrix (0, 0, 1).
bool IsAffineMatrix(const PF_FloatMatrix& matrix);

// The matrix at fraction t (0..1) of the path through the list, element by element. Equal
// neighbours give exactly that matrix back.
PF_FloatMatrix PathPoint(const PF_FloatMatrix* matrices, A_long count, double t);

// One placement of the source: the map back from destination to source, and the destination
// pixels it can reach (inside the region).
struct Placement {
  Affine to_source;
  PF_Rect reach;
};

// The placement of `src` by the matrix (source to destination when src2dst, else the
// reverse) within `region`; none when the matrix squeezes the source to nothing, is not
// finite, or reaches no pixel of the region.
std::optional<Placement> Place(const PF_FloatMatrix& matrix, bool src2dst,
                               const PF_EffectWorld& src, const PF_Rect& region);

PF_Rect Union(const PF_Rect& a, const PF_Rect& b);
PF_Rect Intersection(const PF_Rect& a, const PF_Rect& b);

// The map from the pixels of a placement's reach (relative to its top-left corner, which keeps
// the numbers small) to source pixels, in pixman's fixed point; none when it falls outside
// pixman's 16.16 range (too far out to draw).
std::optional<pixman_transform> ReachToSource(const Placement& placement);

// The source rows [first, last) that the samples of destination rows [top, bottom) of the
// placement's reach can touch: the map's extremes over a rectangle lie at its corners, and a
// bilinear sample reads the rows on either side of its centre. Empty when none is in the source.
std::pair<A_long, A_long> SourceRowsFor(const Placement& placement, A_long top, A_long bottom,
                                        A_long source_height);

// The map moved up by a window's first row: a whole number of rows, exact in fixed point, so
// every sample lands where it would in the whole source. None when the moved translation leaves
// pixman's range.
std::optional<pixman_transform> MovedUp(const pixman_transform& transform, A_long first);

}  // namespace quorvel::headless
