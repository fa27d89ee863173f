// SPDX-License-Identifier: MIT
#include "headless/text/outline_path.h"

#include <cairo.h>

#include <cmath>
#include <utility>
#include <vector>

#include "headless/common/cairo_handles.h"

namespace quorvel::headless {
namespace {

// Turns cairo path elements into outlines: each vertex keeps its curve's control points as
// tangent offsets, and a closed contour that ends back on its first point shares that vertex.
class OutlineBuilder {
 public:
  void MoveTo(double x, double y) {
    Finish(false);
    start_ = Vertex(x, y);
    current_.push_back(start_);
  }
  void LineTo(double x, double y) {
    StartIfNeeded();
    current_.push_back(Vertex(x, y));
  }
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
    StartIfNeeded();
    PF_PathVertex& from = current_.back();
    from.tan_out_x = x1 - from.x;
    from.tan_out_y = y1 - from.y;
    PF_PathVertex to = Vertex(x3, y3);
    to.tan_in_x = x2 - x3;
    to.tan_in_y = y2 - y3;
    current_.push_back(to);
  }
  void Close() { Finish(true); }

  TextOutlines Take() {
    Finish(false);
    return std::move(outlines_);
  }

 private:
  static PF_PathVertex Vertex(double x, double y) { return PF_PathVertex{x, y, 0, 0, 0, 0}; }

  // A segment right after a close starts where the closed contour started, as in cairo.
  void StartIfNeeded() {
    if (current_.empty()) current_.push_back(start_);
  }

  void Finish(bool closed) {
    if (closed && current_.size() > 1) {
      const PF_PathVertex& last = current_.back();
      PF_PathVertex& first = current_.front();
      if (last.x == first.x && last.y == first.y) {
        first.tan_in_x = last.tan_in_x;
        first.tan_in_y = last.tan_in_y;
        current_.pop_back();
      }
    }
    // A lone point encloses nothing and has no segment to walk.
    if (current_.size() > 1) outlines_.push_back(TextOutline{std::move(current_), closed});
    current_.clear();
  }

  PF_PathVertex start_ = Vertex(0, 0);
  std::vector<PF_PathVertex> current_;
  TextOutlines outlines_;
};

TextOutlines ToOutlines(const cairo_path_t& path) {
  OutlineBuilder builder;
  for (int i = 0; i < path.num_data; i += path.data[i].header.length) {
    const cairo_path_data_t* data = &path.data[i];
    switch (data->header.type) {
      case CAIRO_PATH_MOVE_TO:
        builder.MoveTo(data[1].point.x, data[1].point.y);
        break;
      case CAIRO_PATH_LINE_TO:
        builder.LineTo(data[1].point.x, data[1].point.y);
        break;
      case CAIRO_PATH_CURVE_TO:
        builder.CurveTo(data[1].point.x, data[1].point.y, data[2].point.x, data[2].point.y,
                        data[3].point.x, data[3].point.y);
        break;
      case CAIRO_PATH_CLOSE_PATH:
        builder.Close();
        break;
    }
    if (data->header.length <= 0) break;
  }
  return builder.Take();
}

bool IsFinite(const PF_PathVertex& vertex) {
  return std::isfinite(vertex.x) && std::isfinite(vertex.y) && std::isfinite(vertex.tan_in_x) &&
         std::isfinite(vertex.tan_in_y) && std::isfinite(vertex.tan_out_x) &&
         std::isfinite(vertex.tan_out_y);
}

// A segment whose two tangents are zero is a straight line, any other a cubic Bézier curve.
void AppendSegment(cairo_t* cairo, const PF_PathVertex& from, const PF_PathVertex& to) {
  const bool straight =
      from.tan_out_x == 0 && from.tan_out_y == 0 && to.tan_in_x == 0 && to.tan_in_y == 0;
  if (straight) {
    cairo_line_to(cairo, to.x, to.y);
  } else {
    cairo_curve_to(cairo, from.x + from.tan_out_x, from.y + from.tan_out_y, to.x + to.tan_in_x,
                   to.y + to.tan_in_y, to.x, to.y);
  }
}

}  // namespace

void AppendOutline(cairo_t* cairo, const TextOutline& outline) {
  const std::vector<PF_PathVertex>& vertices = outline.vertices;
  if (vertices.empty()) return;
  for (const PF_PathVertex& vertex : vertices) {
    if (!IsFinite(vertex)) return;
  }
  cairo_move_to(cairo, vertices[0].x, vertices[0].y);
  for (size_t i = 1; i < vertices.size(); ++i) AppendSegment(cairo, vertices[i - 1], vertices[i]);
  if (outline.closed) {
    AppendSegment(cairo, vertices.back(), vertices[0]);
    cairo_close_path(cairo);
  }
}

TextOutlines TakePath(cairo_t* cairo) {
  const CairoPathPtr path(cairo_copy_path(cairo));
  cairo_new_path(cairo);
  if (path == nullptr || path->status != CAIRO_STATUS_SUCCESS) return {};
  return ToOutlines(*path);
}

}  // namespace quorvel::headless
