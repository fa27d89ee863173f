// SPDX-License-Identifier: MIT
#include "captions/track/cue_layout.h"

#include <algorithm>

namespace quorvel::captions {
namespace {

// The anchor, alignment and point of the safe area that {\anN} names: numbered as a numeric
// keypad, 7 8 9 along the top, 1 2 3 along the bottom.
CuePlacement AtKeypadPoint(int number, const BoxRect& safe) {
  const int column = (number - 1) % 3;
  const int row = 2 - (number - 1) / 3;
  CuePlacement placed;
  placed.anchor = {column / 2.0, row / 2.0};
  placed.alignment = column == 0   ? headless::TextAlignment::kLeft
                     : column == 1 ? headless::TextAlignment::kCenter
                                   : headless::TextAlignment::kRight;
  placed.position = {safe.left + (safe.right - safe.left) * column / 2.0,
                     safe.top + (safe.bottom - safe.top) * row / 2.0};
  return placed;
}

// How far the box must move to lie inside the area (centred in it when it is larger).
double ShiftInto(double low, double high, double area_low, double area_high) {
  if (high - low > area_high - area_low) return (area_low + area_high - low - high) / 2;
  if (low < area_low) return area_low - low;
  if (high > area_high) return area_high - high;
  return 0;
}

std::string Place(const std::string& file, const Cue& cue) {
  return file + ":" + std::to_string(cue.line);
}

}  // namespace

BoxRect SafeArea(const headless::Composition& composition, double fraction) {
  const double margin_x = composition.width * (1 - fraction) / 2;
  const double margin_y = composition.height * (1 - fraction) / 2;
  return {margin_x, margin_y, composition.width - margin_x, composition.height - margin_y};
}

std::vector<CuePlacement> PlaceCues(const compose::SceneLayer& caption,
                                    const std::vector<const Cue*>& cues,
                                    const headless::Composition& composition, double safe_area,
                                    const std::string& file, std::vector<std::string>& warnings) {
  const BoxRect safe = SafeArea(composition, safe_area);
  std::vector<CuePlacement> placed;
  placed.reserve(cues.size());
  std::string moved_inward;
  std::string crowded;
  std::vector<size_t> showing;  // the cues placed so far that may still show
  for (size_t index = 0; index < cues.size(); ++index) {
    const Cue& cue = *cues[index];
    CuePlacement placement;
    if (cue.alignment) {
      placement = AtKeypadPoint(*cue.alignment, safe);
    } else {
      placement.anchor = caption.text.anchor;
      placement.alignment = caption.text.alignment;
      placement.position = caption.text.position.At(0);
    }
    headless::TextLayer layer = caption.text;
    layer.text = headless::Animated<std::string>(cue.text);
    layer.anchor = placement.anchor;
    layer.alignment = placement.alignment;
    layer.position = headless::Animated<headless::Point2>(placement.position);
    placement.box = BoxAround(caption, layer);
    if (placement.box.Empty()) {
      placed.push_back(placement);
      continue;  // not kept clear of: it draws nothing
    }
    // Inside the safe area.
    const double dx = ShiftInto(placement.box.left, placement.box.right, safe.left, safe.right);
    const double dy = ShiftInto(placement.box.top, placement.box.bottom, safe.top, safe.bottom);
    if (dx != 0 || dy != 0) {
      // A cue put at a point of the safe area by {\anN} lies at its edge by design.
      if (moved_inward.empty() && !cue.alignment) moved_inward = Place(file, cue);
      placement.box = placement.box.Moved(dx, dy);
      placement.position = {placement.position.x + dx, placement.position.y + dy};
    }
    // Clear of the boxes of the cues showing when it starts, which keep their places: upwards
    // from a style anchored below its middle, downwards otherwise.
    const bool upwards = placement.anchor.y >= 0.5;
    showing.erase(
        std::remove_if(showing.begin(), showing.end(),
                       [&](size_t earlier) { return cues[earlier]->end_ms <= cue.start_ms; }),
        showing.end());
    bool stacked = false;
    for (bool clear = false; !clear;) {
      clear = true;
      for (const size_t earlier : showing) {
        if (!placement.box.Overlaps(placed[earlier].box)) continue;
        const double shift = upwards ? placed[earlier].box.top - placement.box.bottom
                                     : placed[earlier].box.bottom - placement.box.top;
        placement.box = placement.box.Moved(0, shift);
        placement.position.y += shift;
        clear = false;
        stacked = true;
      }
    }
    if (stacked && (placement.box.top < safe.top || placement.box.bottom > safe.bottom) &&
        crowded.empty()) {
      crowded = Place(file, cue);
    }
    placed.push_back(placement);
    showing.push_back(index);
  }
  if (!moved_inward.empty()) {
    warnings.push_back(moved_inward + ": cues are moved inward to keep their boxes inside the " +
                       "safe area (" + compose::ShownNumber(safe_area * 100) +
                       " % of the frame); this is the first");
  }
  if (!crowded.empty()) {
    warnings.push_back(crowded + ": the cue cannot be kept inside the safe area clear of the " +
                       "cues showing with it");
  }
  return placed;
}

}  // namespace quorvel::captions
